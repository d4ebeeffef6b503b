#include "gui/ProgressDlg.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <thread>

#include "support/gui/GuiTestSupport.h"

namespace {

QProgressBar* Bar(const CProgressDlg& dlg, const char* name) {
  return kt::Control<QProgressBar>(&dlg, name);
}
QString Label(const CProgressDlg& dlg, const char* name) {
  return kt::Control<QLabel>(&dlg, name)->text();
}

// The progress window as an operation drives it: through a reporter.
struct Shown {
  explicit Shown(QWidget* owner = nullptr) : dlg(owner), progress(&dlg) {}
  CProgressDlg dlg;
  CProgress progress;
};

TEST(ProgressDlg, StartsWithTheShreddingCaptionAndEmptyBars) {
  QWidget owner;
  Shown shown(&owner);
  CProgressDlg& dlg = shown.dlg;
  shown.progress.Start();
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Shredding... "));
  EXPECT_EQ(dlg.windowModality(), Qt::WindowModal);
  for (const char* name : {CProgressDlg::kActionLabelName, CProgressDlg::kCountLabelName, CProgressDlg::kOverallBarName, CProgressDlg::kFileBarName, CProgressDlg::kCancelName}) EXPECT_NE(kt::FindControl(&dlg, name), nullptr) << name;
  shown.progress.SetTitle("Converting to WAV...");
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Converting to WAV..."));
}

TEST(ProgressDlg, StepsBeforeCountOrRangeDoNothing) {
  Shown shown;
  CProgress& progress = shown.progress;
  progress.StepFile();
  progress.StepOverall();
  progress.SetFileCount(2);
  progress.StepFile();  // no file range yet
  EXPECT_EQ(progress.State().file.position, 0u);
  EXPECT_EQ(Bar(shown.dlg, CProgressDlg::kFileBarName)->value(), 0);
  EXPECT_EQ(Bar(shown.dlg, CProgressDlg::kOverallBarName)->value(), 0);
}

TEST(ProgressDlg, SecondFileRangeIsIgnoredAndTheFileBarWraps) {
  Shown shown;
  CProgressDlg& dlg = shown.dlg;
  CProgress& progress = shown.progress;
  progress.Start();
  progress.SetFileCount(3);
  progress.SetFileRange(25000, 10000);
  progress.SetFileRange(99999, 1);  // a later piece: the first range stays
  EXPECT_EQ(progress.State().fileRange, 25000u);
  EXPECT_EQ(Bar(dlg, CProgressDlg::kFileBarName)->maximum(), 25000);
  progress.StepFile();
  progress.StepFile();
  EXPECT_EQ(Bar(dlg, CProgressDlg::kFileBarName)->value(), 20000);
  progress.StepFile();  // 30000 passes the end: starts again from 0
  EXPECT_EQ(Bar(dlg, CProgressDlg::kFileBarName)->value(), 0);
  for (int i = 0; i < 3; ++i) progress.StepOverall();
  EXPECT_EQ(Bar(dlg, CProgressDlg::kOverallBarName)->value(), 3);
  EXPECT_EQ(Bar(dlg, CProgressDlg::kOverallBarName)->maximum(), 3);
  progress.StepBoth();  // both bars move; the overall one passes its end
  EXPECT_EQ(Bar(dlg, CProgressDlg::kFileBarName)->value(), 10000);
  EXPECT_EQ(Bar(dlg, CProgressDlg::kOverallBarName)->value(), 0);
}

TEST(ProgressDlg, OverallMaximumIsASixteenBitValue) {
  Shown shown;
  shown.progress.SetFileCount(65536 + 7);
  EXPECT_EQ(Bar(shown.dlg, CProgressDlg::kOverallBarName)->maximum(), 7);
  EXPECT_EQ(shown.progress.State().fileCount, 65543u);
}

TEST(ProgressDlg, RangesBeyondIntAreShownScaled) {
  Shown shown;
  shown.progress.SetFileCount(1);
  shown.progress.SetFileRange(0xFFFFFFF0u, 0x40000000u);
  shown.progress.StepFile();
  const QProgressBar* bar = Bar(shown.dlg, CProgressDlg::kFileBarName);
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_NEAR(double(bar->value()) / bar->maximum(), 0.25, 0.01);
}

TEST(ProgressDlg, LabelsReadUpperCasedNamesAndTheFileCount) {
  Shown shown;
  CProgress& progress = shown.progress;
  progress.SetFileCount(5);
  progress.SetShreddingText("song.mp3", "song-1.mp3");
  EXPECT_EQ(Label(shown.dlg, CProgressDlg::kActionLabelName), QStringLiteral("Shredding SONG.MP3 to SONG-1.MP3"));
  progress.SetConvertingText("a.wav", "b.mp3");
  EXPECT_EQ(Label(shown.dlg, CProgressDlg::kActionLabelName), QStringLiteral("Converting A.WAV to B.MP3"));
  progress.SetFileNumber(2);
  EXPECT_EQ(Label(shown.dlg, CProgressDlg::kCountLabelName), QStringLiteral("2 out of 5 file(s)"));
}

TEST(ProgressDlg, CancelButtonSetsTheFlagWithoutClosing) {
  Shown shown;
  CProgressDlg& dlg = shown.dlg;
  shown.progress.Start();
  EXPECT_FALSE(shown.progress.IsCancelled());
  kt::Control<QPushButton>(&dlg, CProgressDlg::kCancelName)->click();
  EXPECT_TRUE(shown.progress.IsCancelled());
  EXPECT_TRUE(dlg.isVisible());
  // Escape and the close request do not close or cancel anything further.
  kt::KeyClick(&dlg, Qt::Key_Escape);
  dlg.close();
  EXPECT_TRUE(dlg.isVisible());
  shown.progress.Close();
  EXPECT_FALSE(dlg.isVisible());
}

TEST(ProgressDlg, AskingForCancelLetsAClickOnCancelThroughWhileWorkHoldsTheThread) {
  Shown shown;
  shown.progress.Start();
  auto* cancel = kt::Control<QPushButton>(&shown.dlg, CProgressDlg::kCancelName);
  // A click queued while "work" runs is delivered when the work asks.
  QMetaObject::invokeMethod(cancel, "click", Qt::QueuedConnection);
  QElapsedTimer clock;
  clock.start();
  while (!shown.progress.IsCancelled() && clock.elapsed() < 2000) {
  }
  EXPECT_TRUE(shown.progress.IsCancelled());
}

TEST(ProgressDlg, AClosedWindowRunsNoEventsWhenAsked) {
  Shown shown;
  shown.progress.Start();
  shown.progress.Close();
  // The operation goes on after closing the window (its own message comes
  // next): asking for a cancel must not run the program's events then.
  bool ran = false;
  QObject target;
  QMetaObject::invokeMethod(
      &target, [&ran] { ran = true; }, Qt::QueuedConnection);
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 3 * CProgressDlg::kPumpIntervalMs) shown.progress.IsCancelled();
  EXPECT_FALSE(ran);
  kt::Spin();
  EXPECT_TRUE(ran);
}

TEST(ProgressDlg, AskingFromAnotherThreadRunsNoEvents) {
  Shown shown;
  shown.progress.Start();
  bool ran = false;
  QObject target;
  QMetaObject::invokeMethod(
      &target, [&ran] { ran = true; }, Qt::QueuedConnection);
  std::thread worker([&] {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3 * CProgressDlg::kPumpIntervalMs) shown.progress.IsCancelled();
  });
  worker.join();
  EXPECT_FALSE(ran);
  kt::Spin();
  EXPECT_TRUE(ran);
}

}  // namespace
