#pragma once
// The main window with a fake player and a scripted prompt, and makers of
// small real audio files, shared by the main window's tests.

#include <gtest/gtest.h>

#include <QLabel>
#include <QTemporaryDir>
#include <cstring>
#include <memory>

#include "gui/BitmapButton.h"
#include "gui/PositionSlider.h"
#include "gui/app/MainDlg.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"
#include "support/gui/FakePlayer.h"
#include "support/gui/GuiTestSupport.h"
#include "support/gui/ScriptedPrompt.h"

namespace kt {

// A PCM WAV file of the given seconds (16-bit stereo 44100 Hz by default).
inline std::string MakeWavFile(const TempDir& dir, const std::string& name, double seconds,
                               std::uint16_t channels = 2, std::uint16_t bits = 16) {
  WavSpec layout;
  layout.channels = channels;
  layout.bitsPerSample = bits;
  const auto bytes = static_cast<std::size_t>(seconds * layout.ByteRate());
  return MakeWav(dir, name, layout, PatternData(bytes - bytes % layout.BlockAlign()));
}

// A constant-bitrate MPEG 1 Layer III file: 128 kbit/s, 44100 Hz, unpadded
// 417-byte frames of silence, with an optional ID3v1 tag.
inline std::string MakeMp3File(const TempDir& dir, const std::string& name, int frames, bool tag,
                               std::uint8_t genre = 17) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < frames; ++i) {
    const std::uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x64};
    bytes.insert(bytes.end(), header, header + 4);
    bytes.resize(bytes.size() + 413, 0);
  }
  if (tag) {
    std::vector<std::uint8_t> t(128, 0);
    std::memcpy(t.data(), "TAG", 3);
    std::memcpy(t.data() + 3, "Title \xE9t\xE9", 10);  // Latin-1 "été"
    std::memcpy(t.data() + 33, "Artist", 6);
    std::memcpy(t.data() + 63, "Album", 5);
    std::memcpy(t.data() + 93, "1999", 4);
    std::memcpy(t.data() + 97, "Comment", 7);
    t[127] = genre;
    bytes.insert(bytes.end(), t.begin(), t.end());
  }
  const std::string path = dir.File(name);
  WriteAll(path, bytes);
  return path;
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    // Each test has a settings store of its own.
    ASSERT_TRUE(config.isValid());
    previousConfig = qgetenv("KESTRUNE_CONFIG_DIR");
    qputenv("KESTRUNE_CONFIG_DIR", config.path().toLocal8Bit());
    // The classic window unless a test asks for the waveform.
    if (!showWaveform) WindowServices().settings.SetShowWaveform(false);
    auto fake = std::make_unique<FakePlayer>();
    player = fake.get();
    window = std::make_unique<CMainDlg>(WindowServices(), std::move(fake));
    window->show();
  }
  void TearDown() override {
    window.reset();
    qputenv("KESTRUNE_CONFIG_DIR", previousConfig);
  }

  // The services the window is given: those asking prompt, unless a test
  // has its questions answered elsewhere.
  virtual CGuiServices& WindowServices() { return prompt.Services(); }
  CBitmapButton* Button(const char* name) const { return Control<CBitmapButton>(window.get(), name); }
  QString LabelText(const char* name) const { return Control<QLabel>(window.get(), name)->text(); }
  CPositionSlider* Slider() const { return window->Slider(); }
  bool Enabled(const char* name) const { return Button(name)->isEnabled(); }
  void Open(const std::string& path) { window->OpenPath(QString::fromStdString(path)); }
  // Clicks a button as the user does.
  void Click(const char* name) { Button(name)->click(); }
  // Drags the thumb to a position and lets go, as the mouse does.
  void DragThumbTo(int position) {
    Slider()->setSliderDown(true);
    Slider()->setSliderPosition(position);
    Slider()->triggerAction(QAbstractSlider::SliderMove);
    Slider()->setSliderDown(false);
  }

  bool showWaveform = false;
  QTemporaryDir config;
  QByteArray previousConfig;
  TempDir dir;
  ScriptedPrompt prompt;
  FakePlayer* player = nullptr;
  std::unique_ptr<CMainDlg> window;
};

}  // namespace kt
