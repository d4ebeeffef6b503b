// Real playback through Qt Multimedia and GStreamer, headless: where no
// sound device exists GStreamer plays into a sink that runs in real time, so
// the position advances and the end of the stream arrives.

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "ui/MainWindowFixture.h"
#include "ui/MediaPlayer2.h"

namespace {

// Waits (running events) until done() holds or the bound passes.
bool WaitFor(const std::function<bool()>& done, int boundMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < boundMs) kt::Spin(10);
  return done();
}

TEST(GstPlayback, AShortWavPlaysToItsEndAndTheWindowReturnsToStopped) {
  if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "gstreamer");
  kt::TempDir dir;
  kt::ScriptedPrompt prompt;
  kt::WavSpec layout;
  layout.channels = 1;
  layout.sampleRate = 22050;
  const std::string path = kt::MakeWav(dir, "Tone.wav", layout, kt::Sine16(22050 * 6 / 5, 1, 22050, 440.0));
  CMainDlg window;  // the real player
  window.show();
  window.OpenPath(QString::fromStdString(path));
  ASSERT_NE(window.File(), nullptr);
  window.OnPlay();
  // Without a sound device PLAY says so once and plays on in silence.
  const QStringList expected = window.PreparePlayer().HasOutputDevice()
                                   ? QStringList()
                                   : QStringList{QStringLiteral("No sound output device was found.")};
  ASSERT_EQ(prompt.MessageTexts(), expected);
  EXPECT_EQ(window.PlayingState(), 1);
  // The thumb leaves the start while playing ...
  EXPECT_TRUE(WaitFor([&] { return window.Slider()->ThumbPosition() > 0; }, 10000));
  // ... and the end of the stream puts it back and stops.
  EXPECT_TRUE(WaitFor([&] { return window.PlayingState() == 0; }, 15000));
  EXPECT_EQ(window.Slider()->ThumbPosition(), 0);
  EXPECT_FALSE(window.PlayTimerActive());
  EXPECT_EQ(prompt.MessageTexts(), expected);
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

}  // namespace
