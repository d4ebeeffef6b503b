#include "gui/ProgressDlg.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "support/gui/GuiTestSupport.h"

namespace {

QProgressBar* Bar(const CProgressDlg& dlg, int id) {
  return kt::Control<QProgressBar>(&dlg, id);
}
QString Label(const CProgressDlg& dlg, int id) {
  return kt::Control<QLabel>(&dlg, id)->text();
}

TEST(ProgressDlg, StartsWithTheShreddingCaptionAndEmptyBars) {
  QWidget owner;
  CProgressDlg dlg(&owner);
  dlg.Start();
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Shredding... "));
  EXPECT_EQ(dlg.windowModality(), Qt::WindowModal);
  for (int id : {1010, 1011, 1027, 1028, 1044}) EXPECT_NE(kt::FindControl(&dlg, id), nullptr) << id;
  dlg.SetTitle("Converting to WAV...");
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Converting to WAV..."));
}

TEST(ProgressDlg, StepsBeforeCountOrRangeDoNothing) {
  CProgressDlg dlg;
  dlg.StepFile();
  dlg.StepOverall();
  dlg.SetFileCount(2);
  dlg.StepFile();  // no file range yet
  EXPECT_EQ(dlg.FileBar().position, 0u);
  EXPECT_EQ(Bar(dlg, 1028)->value(), 0);
  EXPECT_EQ(Bar(dlg, 1027)->value(), 0);
}

TEST(ProgressDlg, SecondFileRangeIsIgnoredAndTheFileBarWraps) {
  CProgressDlg dlg;
  dlg.Start();
  dlg.SetFileCount(3);
  dlg.SetFileRange(25000, 10000);
  dlg.SetFileRange(99999, 1);  // a later piece: the first range stays
  EXPECT_EQ(dlg.FileRange(), 25000u);
  EXPECT_EQ(Bar(dlg, 1028)->maximum(), 25000);
  dlg.StepFile();
  dlg.StepFile();
  EXPECT_EQ(Bar(dlg, 1028)->value(), 20000);
  dlg.StepFile();  // 30000 passes the end: starts again from 0
  EXPECT_EQ(Bar(dlg, 1028)->value(), 0);
  for (int i = 0; i < 3; ++i) dlg.StepOverall();
  EXPECT_EQ(Bar(dlg, 1027)->value(), 3);
  EXPECT_EQ(Bar(dlg, 1027)->maximum(), 3);
}

TEST(ProgressDlg, OverallMaximumIsASixteenBitValue) {
  CProgressDlg dlg;
  dlg.SetFileCount(65536 + 7);
  EXPECT_EQ(Bar(dlg, 1027)->maximum(), 7);
  EXPECT_EQ(dlg.FileCount(), 65543u);
}

TEST(ProgressDlg, RangesBeyondIntAreShownScaled) {
  CProgressDlg dlg;
  dlg.SetFileCount(1);
  dlg.SetFileRange(0xFFFFFFF0u, 0x40000000u);
  dlg.StepFile();
  const QProgressBar* bar = Bar(dlg, 1028);
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_NEAR(double(bar->value()) / bar->maximum(), 0.25, 0.01);
}

TEST(ProgressDlg, LabelsReadUpperCasedNamesAndTheFileCount) {
  CProgressDlg dlg;
  dlg.SetFileCount(5);
  dlg.SetShreddingText("song.mp3", "song-1.mp3");
  EXPECT_EQ(Label(dlg, 1010), QStringLiteral("Shredding SONG.MP3 to SONG-1.MP3"));
  dlg.SetConvertingText("a.wav", "b.mp3");
  EXPECT_EQ(Label(dlg, 1010), QStringLiteral("Converting A.WAV to B.MP3"));
  dlg.SetFileNumber(2);
  EXPECT_EQ(Label(dlg, 1011), QStringLiteral("2 out of 5 file(s)"));
}

TEST(ProgressDlg, CancelButtonSetsTheFlagWithoutClosing) {
  CProgressDlg dlg;
  dlg.Start();
  EXPECT_FALSE(dlg.IsCancelled());
  kt::Control<QPushButton>(&dlg, 1044)->click();
  EXPECT_TRUE(dlg.IsCancelled());
  EXPECT_TRUE(dlg.isVisible());
  // Escape and the close request do not close or cancel anything further.
  kt::KeyClick(&dlg, Qt::Key_Escape);
  dlg.close();
  EXPECT_TRUE(dlg.isVisible());
  dlg.Close();
  EXPECT_FALSE(dlg.isVisible());
}

TEST(ProgressDlg, PumpLetsAClickOnCancelThroughWhileWorkHoldsTheThread) {
  CProgressDlg dlg;
  dlg.Start();
  auto* cancel = kt::Control<QPushButton>(&dlg, 1044);
  // A click queued while "work" runs is delivered by PumpOneMessage.
  QMetaObject::invokeMethod(cancel, "click", Qt::QueuedConnection);
  QElapsedTimer clock;
  clock.start();
  while (!dlg.IsCancelled() && clock.elapsed() < 2000) PumpOneMessage();
  EXPECT_TRUE(dlg.IsCancelled());
}

TEST(ProgressDlg, PumpOneMessageIsReleasedWithTheWindow) {
  { CProgressDlg dlg; }
  // With no window the pump runs nothing: a queued call stays queued.
  bool ran = false;
  QObject target;
  QMetaObject::invokeMethod(
      &target, [&ran] { ran = true; }, Qt::QueuedConnection);
  PumpOneMessage();
  EXPECT_FALSE(ran);
  kt::Spin();
  EXPECT_TRUE(ran);
}

}  // namespace
