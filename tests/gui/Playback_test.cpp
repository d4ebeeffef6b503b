// Playback through the main window with a fake player: PLAY, STOP and
// resume, the timer moving the thumb, end of stream, a player that refuses
// to play or fails, and moving the thumb while playing.

#include <gtest/gtest.h>

#include <optional>

#include "gui/MainWindowFixture.h"
#include "gui/ProgressDlg.h"

namespace {

class PlaybackTest : public kt::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    path = kt::MakeWavFile(dir, "Ten.wav", 10.0);
    Open(path);
    ASSERT_NE(window->File(), nullptr);
  }
  std::string path;
};

TEST_F(PlaybackTest, PlayLoadsTheFileAndStartsFromTheThumb) {
  Slider()->SetPosition(0.25);
  Click(CMainDlg::kPlay);
  EXPECT_EQ(window->PlayingState(), 1);
  EXPECT_EQ(player->fileName, QString::fromStdString(path));
  EXPECT_DOUBLE_EQ(player->position, 2.5);
  EXPECT_EQ(player->calls.back(), QStringLiteral("Play"));
  EXPECT_FALSE(Enabled(CMainDlg::kPlay));
  EXPECT_TRUE(Enabled(CMainDlg::kStop));
  EXPECT_TRUE(Button(CMainDlg::kStop)->hasFocus() || !window->isActiveWindow());
  EXPECT_TRUE(window->PlayTimerActive());
}

TEST_F(PlaybackTest, StopPausesAndPlayResumesFromTheThumbWithoutReloading) {
  Click(CMainDlg::kPlay);
  const int loads = player->loads;
  player->position = 4.0;
  window->OnTimer();
  Click(CMainDlg::kStop);
  EXPECT_EQ(window->PlayingState(), 2);
  EXPECT_EQ(player->calls.back(), QStringLiteral("Pause"));
  EXPECT_FALSE(window->PlayTimerActive());
  EXPECT_TRUE(Enabled(CMainDlg::kPlay));
  EXPECT_FALSE(Enabled(CMainDlg::kStop));
  // STOP again while paused changes nothing.
  window->OnStop();
  EXPECT_EQ(window->PlayingState(), 2);
  Slider()->SetPosition(0.6);
  const int sourceCalls = player->Count(QStringLiteral("SetFileName"));
  Click(CMainDlg::kPlay);
  EXPECT_EQ(window->PlayingState(), 1);
  EXPECT_EQ(player->loads, loads);
  EXPECT_EQ(player->Count(QStringLiteral("SetFileName")), sourceCalls);  // the paused player keeps its source
  EXPECT_DOUBLE_EQ(player->position, 6.0);
}

TEST_F(PlaybackTest, TimerMovesTheThumbAndTheLabels) {
  Click(CMainDlg::kPlay);
  player->position = 5.0;
  window->OnTimer();
  EXPECT_EQ(Slider()->ThumbPosition(), 500);
  EXPECT_EQ(LabelText(CMainDlg::kElapsed), QStringLiteral("Elapsed :  5.00 sec"));
  // The real timer runs every 50 ms while playing.
  player->position = 7.5;
  kt::Spin(150);
  EXPECT_EQ(Slider()->ThumbPosition(), 750);
  // A position past the end keeps the thumb at the end.
  player->position = 11.0;
  window->OnTimer();
  EXPECT_EQ(Slider()->ThumbPosition(), 1000);
}

TEST_F(PlaybackTest, EndOfStreamReturnsTheThumbToTheStart) {
  Click(CMainDlg::kPlay);
  player->position = 9.0;
  window->OnTimer();
  player->FinishStream();
  EXPECT_EQ(window->PlayingState(), 0);
  EXPECT_EQ(Slider()->ThumbPosition(), 0);
  EXPECT_FALSE(window->PlayTimerActive());
  EXPECT_TRUE(Enabled(CMainDlg::kPlay));
  EXPECT_FALSE(Enabled(CMainDlg::kStop));
  EXPECT_EQ(LabelText(CMainDlg::kElapsed), QStringLiteral("Elapsed :  0.00 sec"));
  // PLAY starts from the beginning again.
  Click(CMainDlg::kPlay);
  EXPECT_DOUBLE_EQ(player->position, 0.0);
}

TEST_F(PlaybackTest, RefusedPlaybackLeavesTheWindowAsBeforePlay) {
  player->refusePlay = true;
  Click(CMainDlg::kPlay);
  ASSERT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(prompt.questions[0].text, QStringLiteral("Cannot playback this audio file"));
  EXPECT_EQ(prompt.questions[0].caption, QStringLiteral("Kestrune"));
  EXPECT_EQ(window->PlayingState(), 0);
  EXPECT_TRUE(Enabled(CMainDlg::kPlay));
  EXPECT_FALSE(Enabled(CMainDlg::kStop));
  EXPECT_FALSE(window->PlayTimerActive());
  // From pause the state stays paused.
  player->refusePlay = false;
  Click(CMainDlg::kPlay);
  Click(CMainDlg::kStop);
  player->refusePlay = true;
  Click(CMainDlg::kPlay);
  EXPECT_EQ(window->PlayingState(), 2);
  EXPECT_TRUE(Enabled(CMainDlg::kPlay));
  EXPECT_FALSE(window->PlayTimerActive());
}

TEST_F(PlaybackTest, PlayerErrorShowsItsDescriptionAndStops) {
  Click(CMainDlg::kPlay);
  player->errorText = QStringLiteral("Could not decode stream.");
  player->Fail();
  ASSERT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(prompt.questions[0].text, QStringLiteral("Could not decode stream."));
  EXPECT_EQ(prompt.questions[0].caption, QStringLiteral("Error"));
  EXPECT_EQ(prompt.questions[0].icon, MessageIcon::Error);
  EXPECT_EQ(window->PlayingState(), 0);
  EXPECT_FALSE(window->PlayTimerActive());
  EXPECT_TRUE(Enabled(CMainDlg::kPlay));
  EXPECT_FALSE(Enabled(CMainDlg::kStop));
}

TEST_F(PlaybackTest, PagingTheThumbWhilePlayingSeeksThePlayer) {
  Click(CMainDlg::kPlay);
  Slider()->setSliderPosition(300);
  Slider()->triggerAction(QAbstractSlider::SliderPageStepAdd);  // 310
  EXPECT_DOUBLE_EQ(player->position, 3.1);
  EXPECT_EQ(player->calls.back(), QStringLiteral("Play"));
  EXPECT_TRUE(window->PlayTimerActive());
  // While paused the thumb moves alone.
  Click(CMainDlg::kStop);
  const int calls = player->calls.size();
  Slider()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(player->calls.size(), calls);
}

TEST_F(PlaybackTest, DraggingWhilePlayingHoldsTheTimerUntilRelease) {
  Click(CMainDlg::kPlay);
  Slider()->setSliderDown(true);
  Slider()->setSliderPosition(800);
  Slider()->triggerAction(QAbstractSlider::SliderMove);
  EXPECT_FALSE(window->PlayTimerActive());
  EXPECT_EQ(window->PlayingState(), 1);
  Slider()->setSliderDown(false);  // released: play from there
  EXPECT_DOUBLE_EQ(player->position, 8.0);
  EXPECT_TRUE(window->PlayTimerActive());
}

TEST_F(PlaybackTest, OpeningAnotherFileStopsPlayback) {
  Click(CMainDlg::kPlay);
  prompt.Answer(PromptAnswer::Yes).AnswerFile(QString());
  window->OnOpen();
  EXPECT_EQ(window->PlayingState(), 0);
  EXPECT_TRUE(player->calls.contains(QStringLiteral("Stop")));
  EXPECT_FALSE(window->PlayTimerActive());
  EXPECT_TRUE(player->fileName.isEmpty());
  EXPECT_FALSE(Enabled(CMainDlg::kPlay));
}

}  // namespace

namespace {

// Notes, at each question, whether a progress window is still up.
class ProgressAwarePrompt : public kt::ScriptedPrompt {
 public:
  std::vector<bool> progressUp;
  PromptAnswer Ask(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                   PromptButtons buttons) override {
    bool up = false;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<CProgressDlg*>(w) && w->isVisible()) up = true;
    progressUp.push_back(up);
    return ScriptedPrompt::Ask(parent, caption, text, icon, buttons);
  }
};

TEST(Operations, ProgressWindowBlocksTheMainWindowAndIsGoneBeforeTheReport) {
  kt::TempDir dir;
  auto prompt = std::make_unique<ProgressAwarePrompt>();
  CMainDlg window(prompt->Services(), std::make_unique<kt::FakePlayer>());
  window.show();
  window.OpenPath(QString::fromStdString(kt::MakeWavFile(dir, "a.wav", 1.0)));
  ASSERT_NE(window.File(), nullptr);
  bool blocking = false;
  window.RunWithProgress([&](CAudioFile&, CProgress* progress) -> OperationResult {
    progress->Start();
    auto* dlg = dynamic_cast<CProgressDlg*>(progress->Sink());
    blocking =
        dlg && dlg->isVisible() && dlg->parentWidget() == &window && dlg->windowModality() == Qt::WindowModal;
    throw CFileException(FileCause::DiskFull, "/data/out.wav");
  });
  EXPECT_TRUE(blocking);
  ASSERT_EQ(prompt->questions.size(), 1u);
  EXPECT_EQ(prompt->questions[0].text, QStringLiteral("Disk full while accessing /data/out.wav."));
  EXPECT_EQ(prompt->questions[0].caption, QStringLiteral("Kestrune"));
  EXPECT_EQ(prompt->questions[0].icon, MessageIcon::Error);
  EXPECT_EQ(prompt->progressUp, std::vector<bool>{false});
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
