// The Shred Equally dialog and its estimate window, driven through their
// widgets with scripted answers.

#include "gui/ShredEquallyDlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "gui/EstimateDlg.h"
#include "support/gui/GuiTestSupport.h"
#include "support/gui/ScriptedPrompt.h"

using kt::Control;

namespace {

// Clicks the button with that name, as the user does.
void Click(QWidget* window, const char* name) {
  kt::Control<QAbstractButton>(window, name)->click();
}

// 1000 bytes per second, one-byte frames: n pieces of dataSize / n bytes.
WaveSplitFacts Wave(std::uint32_t dataSize) {
  WaveSplitFacts facts;
  facts.dataSize = dataSize;
  facts.avgBytesPerSec = 1000;
  facts.blockAlign = 1;
  return facts;
}

struct Fixture : ::testing::Test {
  kt::ScriptedPrompt prompt;
  std::vector<std::vector<std::string>> estimates;  // lines of every estimate window shown

  // Closes the next estimate window with OK (or Esc), keeping its lines.
  void CloseEstimate(bool ok) {
    kt::WhenModal([this, ok](QWidget* modal) {
      auto* window = dynamic_cast<CEstimateDlg*>(modal);
      ASSERT_NE(window, nullptr) << "the estimate window should be open";
      std::vector<std::string> lines;
      for (const char* name : {estimatename::kIntroduction, estimatename::kSource, estimatename::kSplits,
                             estimatename::kSize, estimatename::kPlaytime, estimatename::kOverlap})
        lines.push_back(Control<QLabel>(window, name)->text().toStdString());
      estimates.push_back(lines);
      if (ok)
        Click(window, estimatename::kOk);
      else
        window->reject();  // what Esc and the close box do
    });
  }
  static void Type(QWidget* dlg, const char* name, const QString& text) {
    Control<QLineEdit>(dlg, name)->setText(text);
  }
};

using ShredEquallyDlg = Fixture;

TEST_F(ShredEquallyDlg, StartsWithTitleTooltipsAndTwoSplits) {
  CWaveShredEquallyDlg dlg(prompt.Services(), Wave(100000), "song.wav", "/music/song.wav", 0);
  EXPECT_EQ(dlg.windowTitle(), "Shred Equally");
  EXPECT_EQ(Control<QLabel>(&dlg, shredname::kTitle)->text(), "Shredding file - song.wav");
  EXPECT_EQ(Control<QLineEdit>(&dlg, shredname::kSplits)->text(), "2");
  EXPECT_EQ(dlg.GetNumberOfSplits(), 2u);
  EXPECT_EQ(Control<QLineEdit>(&dlg, shredname::kSplits)->toolTip(), "Enter number of splitss");
  EXPECT_EQ(Control<QLineEdit>(&dlg, shredname::kBaseFilename)->toolTip(), "Enter a base filename");
  EXPECT_EQ(Control<QWidget>(&dlg, shredname::kUseOriginal)->toolTip(),
            "Uses the original filename for base filename");
  EXPECT_EQ(Control<QWidget>(&dlg, shredname::kBrowse)->toolTip(), "Browse and select a base filename");
  EXPECT_EQ(Control<QWidget>(&dlg, shredname::kEstimate)->toolTip(),
            "Gives an estimated information about a split");
  EXPECT_EQ(Control<QWidget>(&dlg, shredname::kShred)->toolTip(), "Starts shredding");
}

TEST_F(ShredEquallyDlg, SpinArrowsStopAtTwoAndTwoHundredButTypedValuesStay) {
  CWaveShredEquallyDlg dlg(prompt.Services(), Wave(100000), "song.wav", "/music/song.wav", 0);
  auto* spin = Control<QWidget>(&dlg, shredname::kSpin);
  auto* edit = Control<QLineEdit>(&dlg, shredname::kSplits);
  auto arrows = spin->findChildren<QToolButton*>();
  ASSERT_EQ(arrows.size(), 2);
  QToolButton* up = arrows[0]->arrowType() == Qt::UpArrow ? arrows[0] : arrows[1];
  QToolButton* down = up == arrows[0] ? arrows[1] : arrows[0];
  down->click();
  EXPECT_EQ(edit->text(), "2");
  up->click();
  EXPECT_EQ(dlg.GetNumberOfSplits(), 3u);
  edit->setText("199");
  up->click();
  up->click();
  EXPECT_EQ(dlg.GetNumberOfSplits(), 200u);
  kt::KeyClick(edit, Qt::Key_Down);
  EXPECT_EQ(dlg.GetNumberOfSplits(), 199u) << "the Down key steps like the arrow";
  kt::KeyClick(edit, Qt::Key_Up);
  kt::KeyClick(edit, Qt::Key_Up);
  EXPECT_EQ(dlg.GetNumberOfSplits(), 200u);
  edit->setText("500");
  EXPECT_EQ(dlg.GetNumberOfSplits(), 500u) << "a typed value above the arrows' range is kept";
  edit->setText("");
  EXPECT_EQ(dlg.GetNumberOfSplits(), 0u);
  edit->setText("");
  kt::TypeText(edit, "1x2-");
  EXPECT_EQ(edit->text(), "12") << "the number edit takes digits only";
  edit->setText("99999999999");
  EXPECT_LE(edit->text().size(), 10);
}

TEST_F(ShredEquallyDlg, RefusesEmptyBaseNameBeforeLookingAtTheSplits) {
  CWaveShredEquallyDlg dlg(prompt.Services(), Wave(100000), "song.wav", "/music/song.wav", 0);
  Type(&dlg, shredname::kSplits, "");
  Click(&dlg, shredname::kShred);
  ASSERT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(prompt.questions[0].text, "Please enter the base filename.");
  EXPECT_EQ(prompt.questions[0].caption, "Error");
  EXPECT_EQ(prompt.questions[0].icon, MessageIcon::None);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_TRUE(estimates.empty());
}

TEST_F(ShredEquallyDlg, RefusesMissingTooFewAndTooManySplitsWithTheirMessages) {
  CWaveShredEquallyDlg dlg(prompt.Services(), Wave(10000), "song.wav", "/music/song.wav", 0);
  Type(&dlg, shredname::kBaseFilename, "/out/piece");
  const struct {
    const char* typed;
    int result;
    const char* message;
  } cases[] = {
      {"", -3, "Please enter the number of splits"},
      {"0", -3, "Please enter the number of splits"},
      {"1", -2, "Please enter splits value greater than 1"},
      {"11", -1, "The number of splits is too large so that it will not play even for 1 second"},
      {"500", -1, "The number of splits is too large so that it will not play even for 1 second"},
  };
  for (const auto& c : cases) {
    prompt.questions.clear();
    Type(&dlg, shredname::kSplits, c.typed);
    EXPECT_EQ(dlg.Estimate(), c.result) << c.typed;
    ASSERT_EQ(prompt.questions.size(), 1u) << c.typed;
    EXPECT_EQ(prompt.questions[0].text.toStdString(), c.message);
    EXPECT_EQ(prompt.questions[0].caption, "Error");
    prompt.questions.clear();
    Click(&dlg, shredname::kShred);
    EXPECT_EQ(prompt.MessageTexts(), QStringList{c.message}) << "Shred shows the same refusal";
  }
  EXPECT_EQ(dlg.result(), QDialog::Rejected) << "a refusal leaves the dialog open";
  EXPECT_TRUE(estimates.empty());
}

TEST_F(ShredEquallyDlg, ExactlyOneSecondPiecesPassAndOneByteShortIsRefused) {
  CWaveShredEquallyDlg shortDlg(prompt.Services(), Wave(9999), "a.wav", "/a.wav", 0);
  Type(&shortDlg, shredname::kSplits, "10");
  EXPECT_EQ(shortDlg.Estimate(), -1);
  CWaveShredEquallyDlg exact(prompt.Services(), Wave(10000), "a.wav", "/a.wav", 0);
  Type(&exact, shredname::kSplits, "10");
  CloseEstimate(true);
  EXPECT_EQ(exact.Estimate(), 0);
  ASSERT_EQ(estimates.size(), 1u);
  EXPECT_EQ(estimates[0][3], "File splits' size - 1044 bytes");
  EXPECT_EQ(estimates[0][4], "File splits' playtime - 1.00 Second(s)");
}

TEST_F(ShredEquallyDlg, EstimateWindowShowsSixLinesWithUpperCaseName) {
  WaveSplitFacts facts = Wave(21000);
  facts.blockAlign = 4;
  facts.factSize = 4;
  CWaveShredEquallyDlg dlg(prompt.Services(), facts, "Song.wav", "/music/Song.wav", 2);
  Type(&dlg, shredname::kSplits, "4");  // 5250 bytes, rounded up to 5252
  CloseEstimate(true);
  EXPECT_EQ(dlg.Estimate(), 0);
  ASSERT_EQ(estimates.size(), 1u);
  const std::vector<std::string> expected = {
      "SONG.WAV will be split into 4 file(s). A predictive estimate is given below. However, if overlap time "
      "is "
      "set, then the file split size and playtime may change.",
      "Source filename - SONG.WAV",
      "Number of splits - 4",
      "File splits' size - 5308 bytes",
      "File splits' playtime - 5.25 Second(s)",
      "Overlaping time - 2 Second(s)",
  };
  EXPECT_EQ(estimates[0], expected);
  EXPECT_TRUE(prompt.questions.empty()) << "an overlap within half the playtime asks nothing";
}

TEST_F(ShredEquallyDlg, Mp3TagAddsOneHundredTwentyEightBytesAtTheSamePlaytime) {
  Mp3SplitFacts facts{100000, 16000, false};
  CMp3ShredEquallyDlg plain(prompt.Services(), facts, "a.mp3", "/a.mp3", 0);
  facts.hasTag = true;
  CMp3ShredEquallyDlg tagged(prompt.Services(), facts, "a.mp3", "/a.mp3", 0);
  CloseEstimate(true);
  EXPECT_EQ(plain.Estimate(), 0);
  CloseEstimate(true);
  EXPECT_EQ(tagged.Estimate(), 0);
  ASSERT_EQ(estimates.size(), 2u);
  EXPECT_EQ(estimates[0][3], "File splits' size - 50000 bytes");
  EXPECT_EQ(estimates[1][3], "File splits' size - 50128 bytes");
  EXPECT_EQ(estimates[0][4], "File splits' playtime - 3.12 Second(s)");
  EXPECT_EQ(estimates[1][4], estimates[0][4]);
}

TEST_F(ShredEquallyDlg, EscInEstimateReturnsToTheDialogWithoutMessage) {
  CWaveShredEquallyDlg dlg(prompt.Services(), Wave(100000), "song.wav", "/music/song.wav", 0);
  Type(&dlg, shredname::kBaseFilename, "/out/piece");
  CloseEstimate(false);
  Click(&dlg, shredname::kShred);
  EXPECT_EQ(estimates.size(), 1u) << "Shred shows the estimate first";
  EXPECT_TRUE(prompt.questions.empty());
  EXPECT_FALSE(dlg.isVisible() && dlg.result() == QDialog::Accepted);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  CloseEstimate(false);
  EXPECT_EQ(dlg.Estimate(), -4);
}

TEST_F(ShredEquallyDlg, OkInEstimateAcceptsTheDialogWithItsValues) {
  CWaveShredEquallyDlg dlg(prompt.Services(), Wave(100000), "song.wav", "/music/song.wav", 0);
  Type(&dlg, shredname::kBaseFilename, "/out/piece");
  Type(&dlg, shredname::kSplits, "7");
  CloseEstimate(true);
  Click(&dlg, shredname::kShred);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.GetNumberOfSplits(), 7u);
  EXPECT_EQ(dlg.GetBaseFilename(), "/out/piece");
}

TEST_F(ShredEquallyDlg, EstimateButtonNeverClosesTheDialog) {
  CWaveShredEquallyDlg dlg(prompt.Services(), Wave(100000), "song.wav", "/music/song.wav", 0);
  CloseEstimate(true);
  Click(&dlg, shredname::kEstimate);
  EXPECT_EQ(estimates.size(), 1u);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST_F(ShredEquallyDlg, UseOriginalFilenameFillsAndDisablesThenClears) {
  CWaveShredEquallyDlg dlg(prompt.Services(), Wave(100000), "song.wav", "/music/song.wav", 0);
  auto* edit = Control<QLineEdit>(&dlg, shredname::kBaseFilename);
  edit->setText("typed");
  Click(&dlg, shredname::kUseOriginal);
  EXPECT_EQ(edit->text(), "/music/song.wav");
  EXPECT_FALSE(edit->isEnabled());
  Click(&dlg, shredname::kUseOriginal);
  EXPECT_EQ(edit->text(), "");
  EXPECT_TRUE(edit->isEnabled());
}

TEST_F(ShredEquallyDlg, BrowseOutcomes) {
  CWaveShredEquallyDlg dlg(prompt.Services(), Wave(100000), "song.wav", "/music/song.wav", 0);
  auto* edit = Control<QLineEdit>(&dlg, shredname::kBaseFilename);
  auto* check = Control<QCheckBox>(&dlg, shredname::kUseOriginal);

  // Unchecked: the chosen path, after a dialog with no initial name.
  prompt.AnswerFile("/out/base");
  Click(&dlg, shredname::kBrowse);
  EXPECT_EQ(edit->text(), "/out/base");
  ASSERT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(prompt.questions[0].kind, kt::PromptQuestion::Kind::SaveFile);
  EXPECT_EQ(prompt.questions[0].request.title, "Browse - Base filename");
  EXPECT_EQ(prompt.questions[0].request.filter, "WAV files (*.wav)|*.wav|All files (*.*)|*.*||");
  EXPECT_EQ(prompt.questions[0].request.initialName, "");
  EXPECT_EQ(prompt.questions[0].request.defaultExtension, "");

  // Cancel: nothing changes.
  prompt.AnswerFile(QString());
  Click(&dlg, shredname::kBrowse);
  EXPECT_EQ(edit->text(), "/out/base");

  // Checked and the same name in other letter case: taken without a question.
  Click(&dlg, shredname::kUseOriginal);
  prompt.questions.clear();
  prompt.AnswerFile("/elsewhere/SONG.WAV");
  Click(&dlg, shredname::kBrowse);
  EXPECT_EQ(edit->text(), "/elsewhere/SONG.WAV");
  EXPECT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(prompt.questions[0].request.initialName, "song.wav");

  // Checked, another name, Yes: the chosen path.
  prompt.questions.clear();
  prompt.AnswerFile("/elsewhere/other");
  prompt.Answer(PromptAnswer::Yes);
  Click(&dlg, shredname::kBrowse);
  EXPECT_EQ(edit->text(), "/elsewhere/other");
  ASSERT_EQ(prompt.questions.size(), 2u);
  EXPECT_EQ(
      prompt.questions[1].text,
      "Use original filename option is enabled, but you have changed the base filename. Do you wish to use "
      "the changed filename ?");
  EXPECT_EQ(prompt.questions[1].caption, "Confirm");
  EXPECT_EQ(prompt.questions[1].icon, MessageIcon::Question);
  EXPECT_EQ(prompt.questions[1].buttons, PromptButtons::YesNo);

  // No: the chosen folder with the source file's name.
  prompt.AnswerFile("/elsewhere/deep/other");
  prompt.Answer(PromptAnswer::No);
  Click(&dlg, shredname::kBrowse);
  EXPECT_EQ(edit->text(), "/elsewhere/deep/song.wav");
  EXPECT_TRUE(check->isChecked()) << "the check box keeps its state";
}

TEST_F(ShredEquallyDlg, Mp3BrowseUsesTheMp3Filter) {
  CMp3ShredEquallyDlg dlg(prompt.Services(), Mp3SplitFacts{100000, 16000, false}, "a.mp3", "/a.mp3", 0);
  prompt.AnswerFile(QString());
  Click(&dlg, shredname::kBrowse);
  ASSERT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(prompt.questions[0].request.filter, "MP3 files (*.mp3)|*.mp3|All files (*.*)|*.*||");
}

TEST_F(ShredEquallyDlg, OverlapWithinHalfThePlaytimeAsksNothing) {
  CWaveShredEquallyDlg dlg(prompt.Services(), Wave(21800), "a.wav", "/a.wav", 5);  // 10.9 s pieces: half is 5
  int settingsRuns = 0;
  dlg.SetSettingsCommand([&] { return ++settingsRuns, 0u; });
  CloseEstimate(true);
  EXPECT_EQ(dlg.Estimate(), 0);
  EXPECT_TRUE(prompt.questions.empty());
  EXPECT_EQ(settingsRuns, 0);
}

TEST_F(ShredEquallyDlg, OverlapYesRunsSettingsAndAsksAgainUntilItFits) {
  CWaveShredEquallyDlg dlg(prompt.Services(), Wave(19800), "a.wav", "/a.wav", 5);  // 9.9 s pieces: half is 4
  std::vector<std::uint32_t> overlaps = {6, 3};
  int settingsRuns = 0;
  dlg.SetSettingsCommand([&] { return overlaps[settingsRuns++]; });
  prompt.Answer(PromptAnswer::Yes).Answer(PromptAnswer::Yes);
  CloseEstimate(true);
  EXPECT_EQ(dlg.Estimate(), 0);
  EXPECT_EQ(settingsRuns, 2);
  const auto texts = prompt.MessageTexts();
  ASSERT_EQ(texts.size(), 2);
  EXPECT_EQ(
      texts[0],
      "Overlap time is 5 Second(s), is high for the split of playtime 9 Second(s). Set the overlap time "
      "about 4 Second(s). Do you wish to change the overlap time?");
  EXPECT_TRUE(texts[1].startsWith("Overlap time is 6 Second(s),"));
  EXPECT_EQ(prompt.questions[0].caption, "Confirm");
  EXPECT_EQ(dlg.GetOverlapTime(), 3u);
  ASSERT_EQ(estimates.size(), 1u);
  EXPECT_EQ(estimates[0][5], "Overlaping time - 3 Second(s)") << "the estimate shows the re-read overlap";
}

TEST_F(ShredEquallyDlg, OverlapNoShowsTheNoticeAndKeepsTheOverlap) {
  CWaveShredEquallyDlg dlg(prompt.Services(), Wave(19800), "a.wav", "/a.wav", 5);
  int settingsRuns = 0;
  dlg.SetSettingsCommand([&] { return ++settingsRuns, 0u; });
  prompt.Answer(PromptAnswer::No);
  CloseEstimate(true);
  EXPECT_EQ(dlg.Estimate(), 0);
  EXPECT_EQ(settingsRuns, 0);
  ASSERT_EQ(prompt.questions.size(), 2u);
  EXPECT_EQ(prompt.questions[1].text, "Estimated time may not be exact for all splits");
  EXPECT_EQ(prompt.questions[1].caption, "Information");
  EXPECT_EQ(prompt.questions[1].icon, MessageIcon::Warning);
  EXPECT_EQ(estimates.at(0)[5], "Overlaping time - 5 Second(s)");
}

TEST_F(ShredEquallyDlg, OverlapYesWithoutSettingsCommandEndsWithTheNotice) {
  CWaveShredEquallyDlg dlg(prompt.Services(), Wave(19800), "a.wav", "/a.wav", 5);
  prompt.Answer(PromptAnswer::Yes);
  CloseEstimate(true);
  EXPECT_EQ(dlg.Estimate(), 0);
  EXPECT_EQ(prompt.MessageTexts().last(), "Estimated time may not be exact for all splits");
}

TEST_F(ShredEquallyDlg, EstimateWithZeroSizeSaysNotEstimated) {
  CEstimateDlg window("x.wav", 2, 0, 0, 1.5);
  EXPECT_EQ(Control<QLabel>(&window, estimatename::kSize)->text(), "File splits' size - Not estimated");
  EXPECT_EQ(window.windowTitle(), "Estimate");
}

}  // namespace
