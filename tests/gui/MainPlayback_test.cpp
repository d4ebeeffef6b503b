// Playback on its own, without the main window: CMainPlayback over the
// window's controls, a real WAV file and a fake player, as PLAY, STOP, the
// slider and the player's own notifications drive it.
#include "gui/app/MainPlayback.h"

#include <gtest/gtest.h>

#include <QBoxLayout>
#include <QWidget>

#include "core/wav/WaveFile.h"
#include "gui/BitmapButton.h"
#include "gui/MainWindowFixture.h"
#include "gui/PositionSlider.h"
#include "gui/app/MainControls.h"

namespace {

class MainPlaybackTest : public testing::Test {
 protected:
  void SetUp() override {
    window.setLayout(controls.Layout());
    file = std::make_unique<CWaveFile>(kt::MakeWavFile(dir, "Ten.wav", 10.0));
    ASSERT_EQ(file->GetError(), 0u);
    controls.play->setEnabled(true);
    controls.slider->setEnabled(true);
    controls.slider->SetLength(file->GetDuration());
    CMainPlayback::Context context;
    context.window = &window;
    context.services = &prompt.Services();
    context.controls = &controls;
    context.file = [this] { return static_cast<const CAudioFile*>(open ? file.get() : nullptr); };
    context.thumbMoved = [this] { ++thumbMoves; };
    auto fake = std::make_unique<kt::FakePlayer>();
    player = fake.get();
    playback = std::make_unique<CMainPlayback>(std::move(context), std::move(fake));
  }

  bool PlayEnabled() const { return controls.play->isEnabled(); }
  bool StopEnabled() const { return controls.stop->isEnabled(); }

  kt::TempDir dir;
  kt::ScriptedPrompt prompt;
  QWidget window;
  CMainControls controls;
  std::unique_ptr<CWaveFile> file;
  bool open = true;
  int thumbMoves = 0;
  kt::FakePlayer* player = nullptr;
  std::unique_ptr<CMainPlayback> playback;
};

TEST_F(MainPlaybackTest, PlayPauseAndPlayAgainKeepTheLoadedFileAndTheButtonsInStep) {
  const struct {
    void (CMainPlayback::*command)();
    int state;
    bool play, stop, following;
  } steps[] = {
      {&CMainPlayback::Play, CMainPlayback::kPlaying, false, true, true},
      {&CMainPlayback::Pause, CMainPlayback::kPaused, true, false, false},
      {&CMainPlayback::Play, CMainPlayback::kPlaying, false, true, true},
      {&CMainPlayback::Stop, CMainPlayback::kStopped, true, false, false},
  };
  int index = 0;
  for (const auto& step : steps) {
    SCOPED_TRACE(index++);
    (playback.get()->*step.command)();
    EXPECT_EQ(playback->State(), step.state);
    EXPECT_EQ(PlayEnabled(), step.play);
    EXPECT_EQ(StopEnabled(), step.stop);
    EXPECT_EQ(playback->Following(), step.following);
  }
  // PLAY after a pause goes on with the loaded file: one load for two plays.
  EXPECT_EQ(player->Count(QStringLiteral("SetFileName:") + QString::fromStdString(file->GetFilePath())), 1);
  EXPECT_EQ(player->Count(QStringLiteral("Play")), 2);
  EXPECT_EQ(player->Count(QStringLiteral("Stop")), 1);
  EXPECT_TRUE(prompt.questions.empty());
}

TEST_F(MainPlaybackTest, ARefusedPlayIsReportedAndLeavesNothingPlaying) {
  player->refusePlay = true;
  playback->Play();
  EXPECT_EQ(prompt.MessageTexts(), QStringList{QStringLiteral("Cannot playback this audio file")});
  EXPECT_EQ(playback->State(), CMainPlayback::kStopped);
  EXPECT_FALSE(playback->Following());
  EXPECT_TRUE(PlayEnabled());
  EXPECT_FALSE(StopEnabled());
}

TEST_F(MainPlaybackTest, TheEndOfTheStreamAndAPlayerErrorStopAndTellWhy) {
  playback->Play();
  player->position = 5.0;
  playback->FollowPlayer();
  EXPECT_EQ(controls.slider->ThumbPosition(), 500);
  const int movesBefore = thumbMoves;
  player->FinishStream();
  EXPECT_EQ(playback->State(), CMainPlayback::kStopped);
  EXPECT_EQ(controls.slider->ThumbPosition(), 0);
  EXPECT_GT(thumbMoves, movesBefore);
  EXPECT_TRUE(PlayEnabled());

  playback->Play();
  player->Fail();
  EXPECT_EQ(prompt.MessageTexts().last(), player->errorText);
  EXPECT_EQ(playback->State(), CMainPlayback::kStopped);
  EXPECT_FALSE(playback->Following());
}

TEST_F(MainPlaybackTest, WithoutAFilePlayDoesNothing) {
  open = false;
  playback->Play();
  EXPECT_EQ(playback->State(), CMainPlayback::kStopped);
  EXPECT_TRUE(player->calls.isEmpty());
}

TEST_F(MainPlaybackTest, TheSliderMovesThePlayerExceptWhileTheThumbIsDragged) {
  playback->Play();
  controls.slider->SetPosition(0.25);
  playback->OnSliderAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(player->calls.last(), QStringLiteral("Play"));
  EXPECT_TRUE(player->calls.contains(QStringLiteral("SetCurrentPosition:2.500")));
  EXPECT_TRUE(playback->Following());
  controls.slider->setSliderDown(true);
  playback->OnSliderAction(QAbstractSlider::SliderMove);
  EXPECT_FALSE(playback->Following());
  controls.slider->setSliderDown(false);
  playback->OnSliderReleased();
  EXPECT_TRUE(playback->Following());
}

}  // namespace
