// The equal split and the Convert menu run from the main window itself:
// SHRED for WAV and MP3 with the nested Settings dialog, and conversions
// through their menu entries while playing.

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <filesystem>

#include "core/wav/WaveFile.h"
#include "gui/EstimateDlg.h"
#include "gui/MainWindowFixture.h"
#include "gui/RipChannelsDlg.h"
#include "gui/SettingsDlg.h"
#include "gui/ShredEquallyDlg.h"
#include "support/Mp3Builder.h"

namespace fs = std::filesystem;

namespace {

using kt::MakeMp3File;
using kt::MakeWavFile;

struct MainShredConvert : kt::MainWindowTest {
  // Opens path in place of the open file.
  void OpenFile(const std::string& path) {
    Open(path);
    ASSERT_NE(window->File(), nullptr) << path;
  }
  // Fills the Shred Equally dialog and accepts the estimate; with
  // settingsOverlap, first answers the nested Settings dialog with it.
  void AnswerShred(const std::string& base, int splits, const char* settingsOverlap = nullptr) {
    kt::WhenModal([=](QWidget* modal) {
      ASSERT_NE(dynamic_cast<CShredEquallyDlg*>(modal), nullptr);
      kt::Control<QLineEdit>(modal, shredname::kBaseFilename)->setText(QString::fromStdString(base));
      kt::Control<QLineEdit>(modal, shredname::kSplits)->setText(QString::number(splits));
      auto acceptEstimate = [] {
        kt::WhenModal([](QWidget* estimate) {
          ASSERT_NE(dynamic_cast<CEstimateDlg*>(estimate), nullptr);
          kt::Control<QAbstractButton>(estimate, estimatename::kOk)->click();
        });
      };
      if (settingsOverlap) {
        kt::WhenModal([=](QWidget* settings) {
          ASSERT_NE(dynamic_cast<CSettingsDlg*>(settings), nullptr);
          kt::Control<QLineEdit>(settings, CSettingsDlg::kOverlapEditName)->setText(settingsOverlap);
          acceptEstimate();
          kt::Control<QAbstractButton>(settings, "ok")->click();
        });
      } else {
        acceptEstimate();
      }
      kt::Control<QAbstractButton>(modal, shredname::kShred)->click();
    });
  }
  static std::uint32_t DataSize(const std::string& path) {
    CWaveFile file(path);
    EXPECT_EQ(file.GetError(), 0u) << path;
    return file.GetDataSize();
  }
};

TEST_F(MainShredConvert, ShredButtonWritesThePiecesAndReportsNothing) {
  OpenFile(MakeWavFile(dir, "song.wav", 6.0));
  AnswerShred(dir.File("piece"), 3);
  Click(CMainDlg::kShred);
  EXPECT_TRUE(prompt.MessageTexts().isEmpty()) << prompt.MessageTexts().join("|").toStdString();
  for (int i = 1; i <= 3; ++i)
    EXPECT_EQ(DataSize(dir.File("PIECE-" + std::to_string(i) + ".wav")), 44100u * 4 * 2);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the progress window is gone";
}

TEST_F(MainShredConvert, OverlapQuestionYesRunsTheSettingsDialogAndTheCutUsesItsOverlap) {
  OpenFile(MakeWavFile(dir, "song.wav", 4.0));
  window->File()->SetOverlapTime(3);  // 2-second pieces: 1 second is the most that passes unasked
  prompt.Answer(PromptAnswer::Yes);
  AnswerShred(dir.File("o"), 2, "1");
  window->Action(CMainDlg::kFileShredEqually)->trigger();
  ASSERT_EQ(prompt.MessageTexts().size(), 1);
  EXPECT_TRUE(prompt.MessageTexts()[0].startsWith("Overlap time is 3 Second(s),"));
  EXPECT_EQ(window->GetOverlapTime(), 1u);
  EXPECT_EQ(DataSize(dir.File("O-1.wav")), 44100u * 4 * 2);
  EXPECT_EQ(DataSize(dir.File("O-2.wav")), 44100u * 4 * 3) << "the second piece starts one second early";
}

TEST_F(MainShredConvert, Mp3ShredEstimatesWithTheTagAndCutsWholeFrames) {
  OpenFile(MakeMp3File(dir, "a.mp3", 200, true));  // 200 frames of 417 bytes at 16000 bytes a second
  std::vector<QString> lines;
  kt::WhenModal([&](QWidget* modal) {
    kt::Control<QLineEdit>(modal, shredname::kBaseFilename)->setText(QString::fromStdString(dir.File("m")));
    kt::WhenModal([&](QWidget* estimate) {
      for (const char* name : {estimatename::kSize, estimatename::kPlaytime})
        lines.push_back(kt::Control<QLabel>(estimate, name)->text());
      kt::Control<QAbstractButton>(estimate, estimatename::kOk)->click();
    });
    kt::Control<QAbstractButton>(modal, shredname::kShred)->click();
  });
  Click(CMainDlg::kShred);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "File splits' size - 41828 bytes");
  EXPECT_EQ(lines[1], "File splits' playtime - 2.61 Second(s)");
  EXPECT_TRUE(prompt.MessageTexts().isEmpty());
  // Gapless pieces of whole frames and a tag; besides the header, lead-in
  // and lead-out frames (three a piece) every source frame is in one piece.
  const auto one = kt::ReadAll(dir.File("M-1.mp3"));
  const auto two = kt::ReadAll(dir.File("M-2.mp3"));
  for (const auto* piece : {&one, &two}) {
    ASSERT_GT(piece->size(), 128u);
    EXPECT_EQ(kt::WalkEnd(*piece, 0, piece->size() - 128), piece->size() - 128) << "whole frames";
    EXPECT_EQ(piece->at(piece->size() - 128), 'T');
  }
  const std::size_t framesOne = kt::WalkFrames(one, 0, one.size() - 128).size();
  const std::size_t framesTwo = kt::WalkFrames(two, 0, two.size() - 128).size();
  EXPECT_EQ((framesOne - 3) + (framesTwo - 3), 200u);
}

TEST_F(MainShredConvert, RipOnAMonoFileRefusesAndKeepsPlaying) {
  OpenFile(MakeWavFile(dir, "mono.wav", 2.0, 1, 16));
  Click(CMainDlg::kPlay);
  ASSERT_EQ(window->PlayingState(), 1);
  window->OnRipChannels();
  ASSERT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(prompt.questions[0].text, "This is a single channel file");
  EXPECT_EQ(prompt.questions[0].caption, "Error");
  EXPECT_EQ(window->PlayingState(), 1);
}

TEST_F(MainShredConvert, RipFromTheMenuStopsPlaybackAndWritesTheChannels) {
  OpenFile(MakeWavFile(dir, "stereo.wav", 1.0));
  Click(CMainDlg::kPlay);
  const std::string out = dir.File("left.wav");
  kt::WhenModal([&](QWidget* modal) {
    EXPECT_EQ(window->PlayingState(), 0) << "playback stops before the dialog";
    kt::Control<QAbstractButton>(modal, ripname::kLeft)->click();
    kt::Control<QLineEdit>(modal, ripname::kName)->setText(QString::fromStdString(out));
    kt::Control<QAbstractButton>(modal, ripname::kOk)->click();
  });
  window->Action(CMainDlg::kConvertRipChannels)->trigger();
  EXPECT_TRUE(prompt.MessageTexts().isEmpty());
  EXPECT_EQ(DataSize(out), 44100u * 2);
}

TEST_F(MainShredConvert, CancelledConvertDialogWritesNothing) {
  OpenFile(MakeWavFile(dir, "stereo8.wav", 0.5, 2, 8));
  prompt.AnswerFile(QString());
  window->Action(CMainDlg::kConvertTo16Bit)->trigger();
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
  EXPECT_TRUE(prompt.MessageTexts().isEmpty());
}

}  // namespace
