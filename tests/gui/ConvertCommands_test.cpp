// The Convert menu and the equal split run from the main window's commands:
// which conversions are offered, and each command end to end on generated
// files, with dialogs answered through their widgets.

#include "gui/ConvertCommands.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <filesystem>

#include "core/StringTable.h"
#include "core/mp3/Mp3File.h"
#include "core/wav/WaveFile.h"
#include "gui/ConvertMp3Dlg.h"
#include "gui/EstimateDlg.h"
#include "gui/RipChannelsDlg.h"
#include "gui/ShredEquallyDlg.h"
#include "support/TestSupport.h"
#include "support/gui/GuiTestSupport.h"
#include "support/gui/ScriptedPrompt.h"

using kt::Control;
namespace fs = std::filesystem;

namespace {

// Clicks the button with that name, as the user does.
void Click(QWidget* window, const char* name) {
  kt::Control<QAbstractButton>(window, name)->click();
}

// The main window as the commands see it: stops playback, counts progress
// windows; the messages are the prompt's OK boxes, each with the progress
// windows that were open when it came.
class FakeMainWindow {
 public:
  explicit FakeMainWindow(kt::ScriptedPrompt& prompt)
      : prompt_(prompt), commands(prompt.Services(), Host()) {}
  struct Shown {
    std::string caption, text;
    MessageIcon icon;
    int liveProgressWindows;
  };
  std::vector<Shown> Messages() const {
    std::vector<Shown> shown;
    for (std::size_t q = 0; q < prompt_.questions.size(); ++q) {
      const kt::PromptQuestion& question = prompt_.questions[q];
      if (question.kind != kt::PromptQuestion::Kind::Message || question.buttons != PromptButtons::Ok)
        continue;
      int live = 0;
      for (const auto& [opened, closed] : progressSpans_) live += opened <= q && q < closed ? 1 : 0;
      shown.push_back({question.caption.toStdString(), question.text.toStdString(), question.icon, live});
    }
    return shown;
  }
  int playbackStops = 0;
  int progressWindows = 0;

 private:
  kt::ScriptedPrompt& prompt_;
  // Per progress window: the questions asked before it opened and before it closed.
  std::vector<std::pair<std::size_t, std::size_t>> progressSpans_;

 public:
  CFileCommands commands;

 private:
  class Progress : public kt::ProgressRecord {
   public:
    explicit Progress(FakeMainWindow& w) : w_(w), index_(w.progressSpans_.size()) {
      w_.progressSpans_.push_back({w_.prompt_.questions.size(), SIZE_MAX});
    }
    ~Progress() override { w_.progressSpans_[index_].second = w_.prompt_.questions.size(); }

   private:
    FakeMainWindow& w_;
    std::size_t index_;
  };

  CCommandHost Host() {
    CCommandHost host;
    host.stopPlayback = [this] { ++playbackStops; };
    host.makeProgress = [this]() -> std::unique_ptr<CProgressSink> {
      ++progressWindows;
      return std::make_unique<Progress>(*this);
    };
    return host;
  }
};

struct ConvertCommands : ::testing::Test {
  kt::TempDir dir;
  kt::ScriptedPrompt prompt;
  FakeMainWindow main{prompt};

  std::unique_ptr<CWaveFile> OpenWave(const std::string& name, const kt::WavSpec& layout,
                                      const std::vector<std::uint8_t>& data, CWriteFaults* faults = nullptr) {
    auto file = std::make_unique<CWaveFile>(kt::MakeWav(dir, name, layout, data), faults);
    EXPECT_EQ(file->GetError(), 0u);
    return file;
  }
  std::unique_ptr<CWaveFile> OpenStereo16(std::uint32_t frames = 44100, CWriteFaults* faults = nullptr) {
    return OpenWave("stereo.wav", kt::WavSpec{}, kt::Sine16(frames, 2, 44100, 440.0), faults);
  }
  // The data bytes of a WAV file written by an operation.
  static std::vector<std::uint8_t> DataOf(const std::string& path, WaveFormat* format = nullptr) {
    CWaveFile file(path);
    EXPECT_EQ(file.GetError(), 0u) << path;
    if (format) *format = file.GetFormat();
    const auto bytes = kt::ReadAll(path);
    const auto at = static_cast<std::size_t>(file.GetDataOffset());
    const std::size_t size = std::min<std::size_t>(file.GetDataSize(), bytes.size() - at);
    return {bytes.begin() + static_cast<std::ptrdiff_t>(at),
            bytes.begin() + static_cast<std::ptrdiff_t>(at + size)};
  }
  std::size_t FilesInDir() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()));
  }
};

std::string Pattern(const ConvertMenuState& s) {
  return std::string(s.ripChannels ? "R" : "-") + (s.toMp3 ? "M" : "-") + (s.to8Bit ? "8" : "-") +
         (s.to16Bit ? "6" : "-") + (s.toWav ? "W" : "-");
}

TEST_F(ConvertCommands, MenuOffersConversionsByTypeChannelsAndBits) {
  kt::WavSpec mono16;
  mono16.channels = 1;
  EXPECT_EQ(Pattern(ConvertMenuFor(OpenWave("m16.wav", mono16, kt::PatternData(4000)).get())), "-M8--");
  kt::WavSpec stereo8;
  stereo8.bitsPerSample = 8;
  EXPECT_EQ(Pattern(ConvertMenuFor(OpenWave("s8.wav", stereo8, kt::PatternData(4000)).get())), "RM-6-");
  kt::WavSpec mono8 = stereo8;
  mono8.channels = 1;
  EXPECT_EQ(Pattern(ConvertMenuFor(OpenWave("m8.wav", mono8, kt::PatternData(4000)).get())), "-M-6-");
  kt::WavSpec stereo24;
  stereo24.bitsPerSample = 24;
  EXPECT_EQ(Pattern(ConvertMenuFor(OpenWave("s24.wav", stereo24, kt::PatternData(6000)).get())), "RM---");
  EXPECT_EQ(Pattern(ConvertMenuFor(nullptr)), "-----");

  // An MP3 file offers only the conversion to WAV.
  auto wave = OpenStereo16();
  ASSERT_EQ(wave->ConvertToMp3(dir.File("a.mp3"), nullptr, Mp3EncodeSettings{}), 0);
  CMp3File mp3(dir.File("a.mp3"));
  ASSERT_EQ(mp3.GetError(), 0u);
  EXPECT_EQ(Pattern(ConvertMenuFor(&mp3)), "----W");
}

TEST_F(ConvertCommands, RipRefusesASingleChannelFileBeforeTouchingPlayback) {
  kt::WavSpec mono;
  mono.channels = 1;
  auto file = OpenWave("mono.wav", mono, kt::PatternData(2000));
  main.commands.RipChannels(*file);
  ASSERT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(prompt.questions[0].text, "This is a single channel file");
  EXPECT_EQ(prompt.questions[0].caption, "Error");
  EXPECT_EQ(prompt.questions[0].icon, MessageIcon::Warning);
  EXPECT_EQ(main.playbackStops, 0);
  EXPECT_EQ(main.progressWindows, 0);
  EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(ConvertCommands, RipRightChannelOfStereoWritesAMonoFile) {
  auto file = OpenStereo16(1000);
  const std::string out = dir.File("right.wav");
  kt::WhenModal([&](QWidget* modal) {
    auto* dlg = dynamic_cast<CRipChannelsDlg*>(modal);
    ASSERT_NE(dlg, nullptr);
    Click(dlg, ripname::kRight);
    Control<QLineEdit>(dlg, ripname::kName)->setText(QString::fromStdString(out));
    Click(dlg, ripname::kOk);
  });
  main.commands.RipChannels(*file);
  EXPECT_EQ(main.playbackStops, 1);
  EXPECT_EQ(main.progressWindows, 1);
  EXPECT_TRUE(main.Messages().empty());
  WaveFormat format;
  const auto data = DataOf(out, &format);
  EXPECT_EQ(format.channels, 1);
  EXPECT_EQ(format.blockAlign, 2);
  const auto source = DataOf(file->GetFilePath());
  ASSERT_EQ(data.size(), source.size() / 2);
  for (std::size_t frame = 0; frame < data.size() / 2; ++frame) {
    ASSERT_EQ(data[frame * 2], source[frame * 4 + 2]) << frame;
    ASSERT_EQ(data[frame * 2 + 1], source[frame * 4 + 3]) << frame;
  }
}

TEST_F(ConvertCommands, RipsChannelFiveOfAnExtensibleSixChannelPcmFile) {
  kt::WavSpec layout;
  layout.formatTag = 0xFFFE;
  layout.channels = 6;
  layout.fmtSize = 40;
  layout.fmtExtra = {22, 0, 16, 0, 0x3F, 0, 0, 0};  // cbSize, valid bits, speaker mask
  for (std::uint8_t b : {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71})  // PCM sub-format
    layout.fmtExtra.push_back(b);
  const auto samples = kt::PatternData(12 * 500);
  auto file = OpenWave("six.wav", layout, samples);
  EXPECT_TRUE(ConvertMenuFor(file.get()).ripChannels);
  const std::string out = dir.File("five.wav");
  kt::WhenModal([&](QWidget* modal) {
    auto* dlg = dynamic_cast<CRipChannelsDlg*>(modal);
    ASSERT_NE(dlg, nullptr);
    Click(dlg, ripname::kChannel5);
    Control<QLineEdit>(dlg, ripname::kName)->setText(QString::fromStdString(out));
    Click(dlg, ripname::kOk);
  });
  main.commands.RipChannels(*file);
  EXPECT_TRUE(main.Messages().empty()) << main.Messages().at(0).text;
  WaveFormat format;
  const auto data = DataOf(out, &format);
  EXPECT_EQ(format.channels, 1);
  ASSERT_EQ(data.size(), 1000u);
  for (std::size_t frame = 0; frame < 500; ++frame) {
    ASSERT_EQ(data[frame * 2], samples[frame * 12 + 8]);
    ASSERT_EQ(data[frame * 2 + 1], samples[frame * 12 + 9]);
  }
}

TEST_F(ConvertCommands, BitDepthConversionsAskForANameAndWriteTheFile) {
  auto file = OpenStereo16(1000);
  prompt.AnswerFile(QString::fromStdString(dir.File("eight.wav")));
  main.commands.ConvertTo8Bit(*file);
  ASSERT_EQ(prompt.questions.size(), 1u);
  const FileDialogRequest& r = prompt.questions[0].request;
  EXPECT_EQ(r.filter, "WAV files (*.wav)|*.wav|All files (*.*)|*.*||");
  EXPECT_EQ(r.defaultExtension, "wav");
  EXPECT_EQ(r.initialName, "");
  EXPECT_TRUE(r.overwritePrompt);
  EXPECT_EQ(main.playbackStops, 1);
  WaveFormat format;
  EXPECT_EQ(DataOf(dir.File("eight.wav"), &format).size(), 2000u);
  EXPECT_EQ(format.bitsPerSample, 8);

  auto eight = std::make_unique<CWaveFile>(dir.File("eight.wav"));
  EXPECT_EQ(Pattern(ConvertMenuFor(eight.get())), "RM-6-");
  prompt.AnswerFile(QString::fromStdString(dir.File("sixteen.wav")));
  main.commands.ConvertTo16Bit(*eight);
  EXPECT_EQ(DataOf(dir.File("sixteen.wav"), &format).size(), 4000u);
  EXPECT_EQ(format.bitsPerSample, 16);
  EXPECT_TRUE(main.Messages().empty());
}

TEST_F(ConvertCommands, CancelledDialogsChangeNothing) {
  auto file = OpenStereo16(1000);
  prompt.AnswerFile(QString());
  main.commands.ConvertTo8Bit(*file);
  kt::WhenModal([](QWidget* modal) { Click(modal, ripname::kCancel); });
  main.commands.RipChannels(*file);
  kt::WhenModal([](QWidget* modal) { Click(modal, convertmp3name::kCancel); });
  main.commands.ConvertToMp3(*file);
  kt::WhenModal([](QWidget* modal) { Click(modal, shredname::kCancel); });
  main.commands.ShredEqually(*file);
  EXPECT_EQ(main.progressWindows, 0) << "every dialog comes before its progress window";
  EXPECT_TRUE(main.Messages().empty());
  EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(ConvertCommands, WaveToMp3ForEachModeAndBackToWave) {
  auto file = OpenStereo16(44100);
  struct Mode {
    int encoding;
    const char* bitrate;
    const char* name;
  } modes[] = {{0, "Automatic", "cbr"}, {1, "Automatic", "vbr"}, {2, "192", "abr"}};
  for (const Mode& mode : modes) {
    kt::WhenModal([&](QWidget* modal) {
      auto* dlg = dynamic_cast<CConvertMp3Dlg*>(modal);
      ASSERT_NE(dlg, nullptr);
      Control<QComboBox>(dlg, convertmp3name::kEncoding)->setCurrentIndex(mode.encoding);
      Control<QComboBox>(dlg, convertmp3name::kBitrate)->setCurrentText(mode.bitrate);
      Control<QSlider>(dlg, convertmp3name::kQuality)->setValue(8);
      Control<QLineEdit>(dlg, convertmp3name::kName)->setText(QString::fromStdString(dir.File(mode.name)));
      Click(dlg, convertmp3name::kOk);
    });
    main.commands.ConvertToMp3(*file);
    const std::string mp3Path = dir.File(std::string(mode.name) + ".mp3");
    ASSERT_TRUE(fs::exists(mp3Path)) << "the .mp3 extension is appended";
    CMp3File mp3(mp3Path);
    EXPECT_EQ(mp3.GetError(), 0u) << mode.name;
    EXPECT_NEAR(mp3.GetDuration(), 1.0, 0.2) << mode.name;
  }
  EXPECT_TRUE(main.Messages().empty());

  auto mp3 = std::make_unique<CMp3File>(dir.File("abr.mp3"));
  prompt.AnswerFile(QString::fromStdString(dir.File("back.wav")));
  main.commands.ConvertToWav(*mp3);
  ASSERT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(prompt.questions[0].request.defaultExtension, "wav");
  EXPECT_EQ(prompt.questions[0].request.filter, "WAV files (*.wav)|*.wav|All files (*.*)|*.*||");
  EXPECT_TRUE(prompt.questions[0].request.overwritePrompt);
  WaveFormat format;
  const auto data = DataOf(dir.File("back.wav"), &format);
  EXPECT_EQ(format.channels, 2);
  EXPECT_EQ(format.bitsPerSample, 16);
  EXPECT_GE(data.size(), 44100u * 4);
  EXPECT_TRUE(main.Messages().empty());
}

TEST_F(ConvertCommands, OutputOverTheOpenFileIsRefusedAndTheSourceKept) {
  auto file = OpenStereo16(1000);
  const auto before = kt::ReadAll(file->GetFilePath());
  prompt.AnswerFile(QString::fromStdString(file->GetFilePath()));
  main.commands.ConvertTo8Bit(*file);
  ASSERT_EQ(main.Messages().size(), 1u);
  EXPECT_EQ(main.Messages()[0].text, LoadMessage(err::kOutputIsSource));
  EXPECT_EQ(kt::ReadAll(file->GetFilePath()), before);
}

TEST_F(ConvertCommands, FailureIsReportedAfterTheProgressWindowCloses) {
  auto file = OpenStereo16(1000);
  prompt.AnswerFile(QString::fromStdString(dir.File("missing/folder/out.wav")));
  main.commands.ConvertTo8Bit(*file);
  ASSERT_EQ(main.Messages().size(), 1u);
  EXPECT_EQ(main.Messages()[0].text, LoadMessage(err::kCannotCreateOutput));
  EXPECT_EQ(main.Messages()[0].caption, "Error");
  EXPECT_EQ(main.Messages()[0].liveProgressWindows, 0);
}

TEST_F(ConvertCommands, FullDiskDuringTheCutIsReportedOnceWithItsFileMessage) {
  kt::DiskFullAfter disk(50000);
  auto file = OpenStereo16(44100 * 4, &disk);
  kt::WhenModal([&](QWidget* modal) {
    Control<QLineEdit>(modal, shredname::kBaseFilename)->setText(QString::fromStdString(dir.File("full")));
    kt::WhenModal([](QWidget* estimate) { Click(estimate, estimatename::kOk); });
    Click(modal, shredname::kShred);
  });
  main.commands.ShredEqually(*file);
  ASSERT_EQ(main.Messages().size(), 1u);
  // The fault seam fails every later write, so the piece's header could not
  // be corrected either: the piece was removed.
  EXPECT_EQ(main.Messages()[0].text,
            FileFailureMessage(FileCause::DiskFull, dir.File("FULL-1.wav")) + " " + msg::kOutputRemoved);
  EXPECT_EQ(main.Messages()[0].caption, "Kestrune");
  EXPECT_EQ(main.Messages()[0].liveProgressWindows, 0);
}

}  // namespace
