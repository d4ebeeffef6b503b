// The Split dialog driven as a user drives it: from the File menu of the
// main window, Find cuts, untick a cut, Write pieces; cue sheets picked with
// Browse; exports through the save dialog; refusals as messages; nothing on
// disk before Write pieces.

#include "gui/SplitDlg.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <functional>

#include "MainWindowFixture.h"
#include "core/open/Formats.h"
#include "core/wav/WaveFile.h"
#include "gui/ProgressDlg.h"
#include "gui/WaveformPanel.h"
#include "gui/WaveformView.h"
#include "support/SilenceRecording.h"
#include "support/gui/GuiTestSupport.h"
#include "support/gui/ScriptedPrompt.h"

namespace fs = std::filesystem;

namespace {

// Silences at 3-4 s and 7.5-8.3 s of 11 s; pieces of 2 s at least.
kt::Recording Take() {
  return kt::MakeRecording({{3, false}, {1, true}, {3.5, false}, {0.8, true, -60}, {2.7, false}});
}

std::vector<std::string> Names(const kt::TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.Path())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

QStringList Column(QTableWidget* table, int column) {
  QStringList texts;
  for (int row = 0; row < table->rowCount(); ++row) texts << table->item(row, column)->text();
  return texts;
}

// Find cuts runs on a thread of its own: true once its result is shown.
bool Found(CSplitDlg& dlg) {
  return QTest::qWaitFor([&] { return !dlg.Finding(); });
}

using SplitFromMenuTest = kt::MainWindowTest;

TEST_F(SplitFromMenuTest, FindUntickWriteFromTheFileMenu) {
  const std::string path = dir.File("take.wav");
  kt::WriteAll(path, Take().wav);
  Open(path);
  ASSERT_NE(window->File(), nullptr);

  bool seen = false;
  kt::WhenModal([&](QWidget* modal) {
    auto* dlg = dynamic_cast<CSplitDlg*>(modal);
    ASSERT_NE(dlg, nullptr);
    seen = true;
    EXPECT_FALSE(dlg->WriteButton()->isEnabled());
    dlg->MinPiece()->setText("2");
    dlg->FindButton()->click();
    ASSERT_TRUE(Found(*dlg));
    EXPECT_EQ(Column(dlg->CutTable(), 0), (QStringList{"0:00:03.500", "0:00:07.900"}));
    EXPECT_EQ(Column(dlg->CutTable(), 1),
              (QStringList{"0:00:03.000 - 0:00:04.000", "0:00:07.500 - 0:00:08.300"}));
    EXPECT_EQ(Column(dlg->CutTable(), 2), (QStringList{"0:00:01.000", "0:00:00.800"}));
    EXPECT_EQ(window->Waveform()->View()->Markers(), (std::vector<std::uint64_t>{154350, 348390}));
    EXPECT_EQ(Column(dlg->PieceTable(), 3), (QStringList{"0:00:03.500", "0:00:04.400", "0:00:03.100"}));
    // Nothing is on disk before Write pieces.
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"take.wav"}));
    // Unticking the first cut joins the first two pieces.
    dlg->CutTable()->item(0, 0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(Column(dlg->PieceTable(), 3), (QStringList{"0:00:07.900", "0:00:03.100"}));
    EXPECT_EQ(dlg->Summary()->text(), "1 of 2 cuts ticked: 2 pieces. Untick a cut to leave it out.");
    EXPECT_EQ(window->Waveform()->View()->Markers(), (std::vector<std::uint64_t>{348390}));
    dlg->WriteButton()->click();
    // Written, the dialog stays for another go; Close ends it.
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->WriteButton()->isEnabled());
    dlg->reject();
  });
  window->Action(CMainDlg::kFileSplit)->trigger();
  EXPECT_TRUE(seen);
  EXPECT_TRUE(window->Waveform()->View()->Markers().empty()) << "the cuts leave the waveform with the dialog";
  EXPECT_EQ(prompt.MessageTexts(), QStringList{"2 pieces written."});
  EXPECT_EQ(Names(dir), (std::vector<std::string>{"TAKE-1.wav", "TAKE-2.wav", "take.wav"}));
  EXPECT_EQ(CWaveFile(dir.File("TAKE-1.wav")).GetDataSize(), 348390u * 4);  // 7.9 s
}

class SplitDlgTest : public ::testing::Test {
 protected:
  void SetUp() override { kt::WriteAll(dir.File("take.wav"), Take().wav); }
  kt::TempDir dir;
  kt::ScriptedPrompt prompt;
};

TEST_F(SplitDlgTest, ACueSheetPickedWithBrowseGivesTracksNamedByTitleAndExportsAsLabels) {
  const std::string text =
      "TITLE \"Set\"\nFILE \"other.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"Intro\"\n"
      "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"Main: Part\"\n    INDEX 01 00:05:00\n";
  kt::WriteAll(dir.File("set.cue"), std::vector<std::uint8_t>(text.begin(), text.end()));
  const std::unique_ptr<CAudioFile> take = OpenAudioFile(dir.File("take.wav"));
  CSplitDlg dlg(prompt.Services(), *take, "");
  dlg.CueMode()->click();
  EXPECT_FALSE(dlg.Threshold()->isEnabled());
  EXPECT_FALSE(dlg.Base()->isEnabled());
  prompt.AnswerFile(QString::fromStdString(dir.File("set.cue")));
  dlg.findChildren<QPushButton*>().at(0)->click();  // Browse... beside the sheet
  EXPECT_EQ(dlg.CueSheet()->text().toStdString(), dir.File("set.cue"));
  EXPECT_TRUE(fs::equivalent(dlg.OutDir()->text().toStdString(), dir.Path()));
  dlg.FindButton()->click();
  ASSERT_TRUE(Found(dlg));
  // The window's file is split, whatever the sheet's FILE says.
  EXPECT_EQ(Column(dlg.CutTable(), 0), QStringList{"0:00:05.000"});
  EXPECT_EQ(Column(dlg.CutTable(), 3), QStringList{"Main: Part"});
  EXPECT_EQ(Column(dlg.PieceTable(), 4).at(1).toStdString(), dir.Path().string() + "/02 - Main_ Part.wav");

  prompt.AnswerFile(QString::fromStdString(dir.File("cuts.txt")));
  dlg.ExportLabelsButton()->click();
  const auto labels = kt::ReadAll(dir.File("cuts.txt"));
  EXPECT_EQ(std::string(labels.begin(), labels.end()),
            "0.000000\t5.000000\tIntro\n5.000000\t11.000000\tMain: Part\n");
  EXPECT_EQ(Names(dir), (std::vector<std::string>{"cuts.txt", "set.cue", "take.wav"}));
}

TEST_F(SplitDlgTest, BadValuesAndBadSheetsAreRefusedWithTheirReasonAndChangesForgetTheList) {
  const std::unique_ptr<CAudioFile> take = OpenAudioFile(dir.File("take.wav"));
  CSplitDlg dlg(prompt.Services(), *take, "");
  dlg.MinSilence()->setText("0:99");
  dlg.FindButton()->click();
  ASSERT_TRUE(Found(dlg));
  ASSERT_EQ(prompt.MessageTexts().size(), 1);
  EXPECT_EQ(prompt.MessageTexts()[0], "\"0:99\" is not a time: seconds must be below 60.");
  EXPECT_EQ(dlg.Plan(), nullptr);

  dlg.MinSilence()->setText("5");
  dlg.FindButton()->click();
  ASSERT_TRUE(Found(dlg));
  EXPECT_TRUE(
      prompt.MessageTexts()[1].contains("no silence of at least 0:00:05.000 below -48.0 dBFS was found"));

  dlg.MinSilence()->setText("0.5");
  dlg.MinPiece()->setText("2");
  dlg.FindButton()->click();
  ASSERT_TRUE(Found(dlg));
  ASSERT_NE(dlg.Plan(), nullptr);
  EXPECT_TRUE(dlg.WriteButton()->isEnabled());
  kt::TypeText(dlg.MinPiece(), "0");  // an edit makes the list out of date
  EXPECT_EQ(dlg.Plan(), nullptr);
  EXPECT_FALSE(dlg.WriteButton()->isEnabled());

  const std::string bad =
      "FILE \"take.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
      "    INDEX 01 00:20:00\n";
  kt::WriteAll(dir.File("bad.cue"), std::vector<std::uint8_t>(bad.begin(), bad.end()));
  dlg.CueMode()->click();
  dlg.FindButton()->click();
  ASSERT_TRUE(Found(dlg));
  EXPECT_EQ(prompt.MessageTexts()[2], "Choose the cue sheet first.");
  dlg.CueSheet()->setText(QString::fromStdString(dir.File("bad.cue")));
  dlg.FindButton()->click();
  ASSERT_TRUE(Found(dlg));
  EXPECT_EQ(
      prompt.MessageTexts()[3].toStdString(),
      dir.File("bad.cue") + ": track 2: it starts at 0:00:20.000, past the end of the audio (0:00:11.000)");
  EXPECT_EQ(Names(dir), (std::vector<std::string>{"bad.cue", "take.wav"}));
}

TEST_F(SplitDlgTest, EqualPiecesShowWhichCutsFoundNoSilence) {
  const std::unique_ptr<CAudioFile> take = OpenAudioFile(dir.File("take.wav"));
  CSplitDlg dlg(prompt.Services(), *take, "_s");
  dlg.EqualMode()->click();
  dlg.Pieces()->setValue(2);
  dlg.Snap()->setText("0.2");
  dlg.FindButton()->click();
  ASSERT_TRUE(Found(dlg));
  EXPECT_EQ(Column(dlg.CutTable(), 0), QStringList{"0:00:05.500"});
  EXPECT_EQ(Column(dlg.CutTable(), 3), QStringList{"no silence near: stays at its equal point"});
  EXPECT_EQ(Column(dlg.PieceTable(), 4).at(1).toStdString(), dir.File("TAKE_s-2.wav"));
}

// Find cuts reads on its own thread behind the progress window: the dialog
// answers meanwhile, Cancel drops the result at once, and Find cuts comes
// back when the reading has let go of the file.
TEST_F(SplitDlgTest, FindCutsRunsBesideTheWindowAndCancelDropsItsResult) {
  const std::unique_ptr<CAudioFile> take = OpenAudioFile(dir.File("take.wav"));
  std::atomic<bool> release{false};
  std::atomic<int> plans{0};
  CSplitDlg dlg(prompt.Services(), *take, "");
  // Whatever happens below, the held reading ends before the dialog does.
  const std::unique_ptr<void, std::function<void(void*)>> releaser(&release, [&](void*) {
    release = true;
    release.notify_all();
  });
  QPointer<CProgressDlg> progress;
  dlg.SetProgressFactory([&]() -> std::unique_ptr<CProgressSink> {
    auto window = std::make_unique<CProgressDlg>(&dlg);
    progress = window.get();
    return window;
  });
  dlg.SetPlanner([&](CAudioFile& file, const split::SplitRequest& request, const split::CueSheet* sheet) {
    release.wait(false);
    ++plans;
    return split::BuildSplitPlan(file, request, sheet);
  });
  dlg.MinPiece()->setText("2");
  dlg.show();
  dlg.FindButton()->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return progress && progress->isVisible(); }));
  EXPECT_TRUE(dlg.Finding());
  EXPECT_FALSE(dlg.FindButton()->isEnabled());
  EXPECT_EQ(dlg.Summary()->text(), "Finding cuts...");
  kt::Control<QPushButton>(progress, CProgressDlg::kCancelName)->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.Summary()->text() == "Find cuts was cancelled."; }));
  EXPECT_TRUE(dlg.Finding()) << "the reading still holds the file";
  release = true;
  release.notify_all();
  ASSERT_TRUE(Found(dlg));
  EXPECT_EQ(dlg.Plan(), nullptr);
  EXPECT_EQ(dlg.CutTable()->rowCount(), 0);
  EXPECT_TRUE(dlg.FindButton()->isEnabled());
  dlg.FindButton()->click();
  ASSERT_TRUE(Found(dlg));
  ASSERT_NE(dlg.Plan(), nullptr);
  EXPECT_EQ(plans, 2);
  EXPECT_GT(dlg.CutTable()->rowCount(), 0);
}

// Every label with a keyboard key names the field it leads to, so it shows
// the key underlined rather than a literal "&".
TEST_F(SplitDlgTest, EveryLabelWithAKeyHasItsField) {
  const std::unique_ptr<CAudioFile> take = OpenAudioFile(dir.File("take.wav"));
  CSplitDlg dlg(prompt.Services(), *take, "");
  int keyed = 0;
  for (QLabel* label : dlg.findChildren<QLabel*>()) {
    if (!label->text().contains('&')) continue;
    ++keyed;
    EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
  }
  EXPECT_GE(keyed, 8);
}

}  // namespace
