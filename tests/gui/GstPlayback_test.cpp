// Real playback through Qt Multimedia and GStreamer, headless: where no
// sound device exists GStreamer plays into a sink that runs in real time, so
// the position advances and the end of the stream arrives.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QElapsedTimer>

#include "core/mp3/Mp3File.h"
#include "gui/MainWindowFixture.h"
#include "gui/MediaPlayer2.h"
#include "support/Mp3Builder.h"

namespace {

// Waits (running events) until done() holds or the bound passes.
bool WaitFor(const std::function<bool()>& done, int boundMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < boundMs) kt::Spin(10);
  return done();
}

// Without a sound device PLAY says so once and plays on in silence.
QStringList DeviceMessages(CMainDlg& window) {
  if (window.PreparePlayer().HasOutputDevice()) return {};
  return {QStringLiteral("No sound output device was found.")};
}

TEST(GstPlayback, AShortWavPlaysToItsEndAndTheWindowReturnsToStopped) {
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  kt::TempDir dir;
  kt::ScriptedPrompt prompt;
  kt::WavSpec layout;
  layout.channels = 1;
  layout.sampleRate = 22050;
  const std::string path = kt::MakeWav(dir, "Tone.wav", layout, kt::Sine16(22050 * 6 / 5, 1, 22050, 440.0));
  CMainDlg window(prompt.Services());  // the real player
  window.show();
  window.OpenPath(QString::fromStdString(path));
  ASSERT_NE(window.File(), nullptr);
  window.OnPlay();
  ASSERT_EQ(prompt.MessageTexts(), DeviceMessages(window));
  EXPECT_EQ(window.PlayingState(), 1);
  // The thumb leaves the start while playing ...
  EXPECT_TRUE(WaitFor([&] { return window.Slider()->ThumbPosition() > 0; }, 10000));
  // ... and the end of the stream puts it back and stops.
  EXPECT_TRUE(WaitFor([&] { return window.PlayingState() == 0; }, 15000));
  EXPECT_EQ(window.Slider()->ThumbPosition(), 0);
  EXPECT_FALSE(window.PlayTimerActive());
  EXPECT_EQ(prompt.MessageTexts(), DeviceMessages(window));
}

TEST(GstPlayback, ASourceThePlayerCannotReadIsRefusedByPlay) {
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  kt::TempDir dir;
  kt::WriteAll(dir.File("noise.wav"), std::vector<std::uint8_t>(4000, 0x5A));
  std::unique_ptr<CMediaPlayer2> player = CreateMediaPlayer();
  player->SetFileName(QString::fromStdString(dir.File("noise.wav")));
  // Loading is asynchronous; the refusal arrives either at once or shortly.
  bool refused = !player->Play();
  if (!refused) {
    int errors = 0;
    QObject::connect(player.get(), &CMediaPlayer2::Error, [&errors] { ++errors; });
    refused = WaitFor([&] { return errors > 0; }, 5000);
  }
  EXPECT_TRUE(refused);
  EXPECT_FALSE(player->GetErrorDescription().isEmpty());
}

// GStreamer clips the lead-in of a gapless piece whole and complains about
// the empty buffer on standard error; that complaint is not for the user.
TEST(GstPlayback, AGaplessMp3PiecePlaysToItsEndWithoutGStreamerComplaints) {
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  kt::TempDir dir;
  kt::ScriptedPrompt prompt;
  kt::LameSpec layout;
  layout.headerFrame = true;
  kt::WriteAll(dir.File("song.mp3"), kt::EncodedSine(4.0, layout));
  kt::ScriptedOwner owner;
  owner.shred.numberOfSplits = 3;
  owner.shred.baseFilename = dir.File("piece");
  ASSERT_EQ(kt::Owned<CMp3File>(dir.File("song.mp3"), &owner).SplitEqually(nullptr), 0u);
  // Standard error goes to a file while the piece plays.
  const int saved = ::dup(2);
  const int capture = ::open(dir.File("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(capture, 2);
  ::close(capture);
  {
    CMainDlg window(prompt.Services());
    window.show();
    window.OpenPath(QString::fromStdString(dir.File("PIECE-2.mp3")));
    window.OnPlay();
    EXPECT_EQ(window.PlayingState(), 1);
    EXPECT_TRUE(WaitFor([&] { return window.PlayingState() == 0; }, 15000));
    EXPECT_EQ(prompt.MessageTexts(), DeviceMessages(window));
  }
  ::dup2(saved, 2);
  ::close(saved);
  const std::vector<std::uint8_t> err = kt::ReadAll(dir.File("stderr.txt"));
  const std::string text(err.begin(), err.end());
  EXPECT_EQ(text.find("CRITICAL"), std::string::npos) << text;
  EXPECT_EQ(text.find("size > 0"), std::string::npos) << text;
}

}  // namespace
