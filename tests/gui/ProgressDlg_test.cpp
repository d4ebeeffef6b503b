#include "gui/ProgressDlg.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "support/gui/GuiTestSupport.h"

namespace {

QProgressBar* Bar(const CProgressDlg& dlg, const char* name) {
  return kt::Control<QProgressBar>(&dlg, name);
}
QString Label(const CProgressDlg& dlg, const char* name) {
  return kt::Control<QLabel>(&dlg, name)->text();
}

TEST(ProgressDlg, StartsWithTheShreddingCaptionAndEmptyBars) {
  QWidget owner;
  CProgressDlg dlg(&owner);
  dlg.Start();
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Shredding... "));
  EXPECT_EQ(dlg.windowModality(), Qt::WindowModal);
  for (const char* name :
       {CProgressDlg::kActionLabelName, CProgressDlg::kCountLabelName, CProgressDlg::kOverallBarName,
        CProgressDlg::kFileBarName, CProgressDlg::kCancelName})
    EXPECT_NE(kt::FindControl(&dlg, name), nullptr) << name;
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
  EXPECT_EQ(Bar(dlg, CProgressDlg::kFileBarName)->value(), 0);
  EXPECT_EQ(Bar(dlg, CProgressDlg::kOverallBarName)->value(), 0);
}

TEST(ProgressDlg, SecondFileRangeIsIgnoredAndTheFileBarWraps) {
  CProgressDlg dlg;
  dlg.Start();
  dlg.SetFileCount(3);
  dlg.SetFileRange(25000, 10000);
  dlg.SetFileRange(99999, 1);  // a later piece: the first range stays
  EXPECT_EQ(dlg.FileRange(), 25000u);
  EXPECT_EQ(Bar(dlg, CProgressDlg::kFileBarName)->maximum(), 25000);
  dlg.StepFile();
  dlg.StepFile();
  EXPECT_EQ(Bar(dlg, CProgressDlg::kFileBarName)->value(), 20000);
  dlg.StepFile();  // 30000 passes the end: starts again from 0
  EXPECT_EQ(Bar(dlg, CProgressDlg::kFileBarName)->value(), 0);
  for (int i = 0; i < 3; ++i) dlg.StepOverall();
  EXPECT_EQ(Bar(dlg, CProgressDlg::kOverallBarName)->value(), 3);
  EXPECT_EQ(Bar(dlg, CProgressDlg::kOverallBarName)->maximum(), 3);
}

TEST(ProgressDlg, OverallMaximumIsASixteenBitValue) {
  CProgressDlg dlg;
  dlg.SetFileCount(65536 + 7);
  EXPECT_EQ(Bar(dlg, CProgressDlg::kOverallBarName)->maximum(), 7);
  EXPECT_EQ(dlg.FileCount(), 65543u);
}

TEST(ProgressDlg, RangesBeyondIntAreShownScaled) {
  CProgressDlg dlg;
  dlg.SetFileCount(1);
  dlg.SetFileRange(0xFFFFFFF0u, 0x40000000u);
  dlg.StepFile();
  const QProgressBar* bar = Bar(dlg, CProgressDlg::kFileBarName);
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_NEAR(double(bar->value()) / bar->maximum(), 0.25, 0.01);
}

TEST(ProgressDlg, LabelsReadUpperCasedNamesAndTheFileCount) {
  CProgressDlg dlg;
  dlg.SetFileCount(5);
  dlg.SetShreddingText("song.mp3", "song-1.mp3");
  EXPECT_EQ(Label(dlg, CProgressDlg::kActionLabelName), QStringLiteral("Shredding SONG.MP3 to SONG-1.MP3"));
  dlg.SetConvertingText("a.wav", "b.mp3");
  EXPECT_EQ(Label(dlg, CProgressDlg::kActionLabelName), QStringLiteral("Converting A.WAV to B.MP3"));
  dlg.SetFileNumber(2);
  EXPECT_EQ(Label(dlg, CProgressDlg::kCountLabelName), QStringLiteral("2 out of 5 file(s)"));
}

TEST(ProgressDlg, CancelButtonSetsTheFlagWithoutClosing) {
  CProgressDlg dlg;
  dlg.Start();
  EXPECT_FALSE(dlg.IsCancelled());
  kt::Control<QPushButton>(&dlg, CProgressDlg::kCancelName)->click();
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
  auto* cancel = kt::Control<QPushButton>(&dlg, CProgressDlg::kCancelName);
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
