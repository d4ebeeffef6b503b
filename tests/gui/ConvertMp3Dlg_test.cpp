// The Convert to MP3 options dialog: defaults, the quality slider, Browse
// and the mapping of the controls to the encoder options.

#include "gui/ConvertMp3Dlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include "support/gui/GuiTestSupport.h"
#include "support/gui/ScriptedPrompt.h"

using kt::Control;
namespace names = convertmp3name;

namespace {

// Clicks the button with that name, as the user does.
void Click(QWidget* window, const char* name) {
  kt::Control<QAbstractButton>(window, name)->click();
}

struct ConvertMp3Dlg : ::testing::Test {
  kt::ScriptedPrompt prompt;
  CConvertMp3Dlg dlg{prompt.Services()};
  void Name(const QString& text) { Control<QLineEdit>(&dlg, names::kName)->setText(text); }
  bool QualityEnabled() {
    bool all = Control<QSlider>(&dlg, names::kQuality)->isEnabled();
    bool any = all;
    for (const char* label : {names::kQualityGroup, names::kLow, names::kMedium, names::kHigh}) {
      const bool on = Control<QWidget>(&dlg, label)->isEnabled();
      all = all && on;
      any = any || on;
    }
    EXPECT_EQ(all, any) << "the slider, its group and its labels change together";
    return all;
  }
};

TEST_F(ConvertMp3Dlg, OpensWithListsOnFirstItemsSliderAtFiveAndOriginalTicked) {
  EXPECT_EQ(dlg.windowTitle(), "Convert to MP3");
  auto* encoding = Control<QComboBox>(&dlg, names::kEncoding);
  auto* bitrate = Control<QComboBox>(&dlg, names::kBitrate);
  EXPECT_EQ(encoding->count(), 3);
  EXPECT_EQ(encoding->currentText(), "Constant Bitrate (CBR)");
  EXPECT_EQ(bitrate->count(), 15);
  EXPECT_EQ(bitrate->currentText(), "Automatic");
  EXPECT_EQ(bitrate->itemText(14), "320");
  auto* slider = Control<QSlider>(&dlg, names::kQuality);
  EXPECT_EQ(slider->minimum(), 0);
  EXPECT_EQ(slider->maximum(), 10);
  EXPECT_EQ(slider->value(), 5);
  EXPECT_FALSE(QualityEnabled());
  EXPECT_TRUE(Control<QCheckBox>(&dlg, names::kOriginal)->isChecked());
  EXPECT_FALSE(Control<QCheckBox>(&dlg, names::kCopyright)->isChecked());
  EXPECT_FALSE(Control<QCheckBox>(&dlg, names::kCrc)->isChecked());
  EXPECT_FALSE(Control<QCheckBox>(&dlg, names::kMono)->isChecked());
}

TEST_F(ConvertMp3Dlg, DefaultsMapToConstantAutomaticQualityFiveAndAppendMp3) {
  Name("/out/a");
  Click(&dlg, names::kOk);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.GetMp3Name(), "/out/a.mp3");
  EXPECT_EQ(dlg.GetBitrate(), 0);
  EXPECT_EQ(dlg.GetEncodingMode(), 0);
  EXPECT_EQ(dlg.GetVbrQuality(), 5);
  EXPECT_FALSE(dlg.GetMonoFlag());
  EXPECT_FALSE(dlg.GetCopyrightFlag());
  EXPECT_FALSE(dlg.GetCrcFlag());
  EXPECT_TRUE(dlg.GetOriginalFlag());
  const Mp3EncodeSettings s = dlg.GetSettings();
  EXPECT_EQ(s.bitrate, 0);
  EXPECT_EQ(s.vbrQuality, 5);
  EXPECT_TRUE(s.originalFlag);
  EXPECT_TRUE(prompt.questions.empty());
}

TEST_F(ConvertMp3Dlg, VariableBitrateEnablesSliderAndMapsPositionEightToQualityTwo) {
  auto* encoding = Control<QComboBox>(&dlg, names::kEncoding);
  encoding->setCurrentIndex(1);
  EXPECT_TRUE(QualityEnabled());
  Control<QSlider>(&dlg, names::kQuality)->setValue(8);
  Name("/out/v.mp3");
  Click(&dlg, names::kOk);
  EXPECT_EQ(dlg.GetEncodingMode(), 2);
  EXPECT_EQ(dlg.GetVbrQuality(), 2);
  EXPECT_EQ(dlg.GetMp3Name(), "/out/v.mp3");
  encoding->setCurrentIndex(2);
  EXPECT_FALSE(QualityEnabled());
  EXPECT_EQ(Control<QSlider>(&dlg, names::kQuality)->value(), 8) << "disabling keeps the position";
}

TEST_F(ConvertMp3Dlg, SliderEndsMapToBestAndWorstQuality) {
  auto* slider = Control<QSlider>(&dlg, names::kQuality);
  Name("x");
  const std::pair<int, int> cases[] = {{10, 0}, {5, 5}, {1, 9}, {0, 9}};
  for (auto [position, quality] : cases) {
    slider->setValue(position);
    Click(&dlg, names::kOk);
    EXPECT_EQ(dlg.GetVbrQuality(), quality) << "position " << position;
  }
}

TEST_F(ConvertMp3Dlg, AverageBitrateWith192) {
  Control<QComboBox>(&dlg, names::kEncoding)->setCurrentIndex(2);
  Control<QComboBox>(&dlg, names::kBitrate)->setCurrentText("192");
  Name("b");
  Click(&dlg, names::kOk);
  EXPECT_EQ(dlg.GetBitrate(), 192);
  EXPECT_EQ(dlg.GetEncodingMode(), 3);
}

TEST_F(ConvertMp3Dlg, FlagsFollowTheirBoxes) {
  Click(&dlg, names::kOriginal);
  Click(&dlg, names::kCopyright);
  Click(&dlg, names::kCrc);
  Click(&dlg, names::kMono);
  Name("f");
  Click(&dlg, names::kOk);
  EXPECT_FALSE(dlg.GetOriginalFlag());
  EXPECT_TRUE(dlg.GetCopyrightFlag());
  EXPECT_TRUE(dlg.GetCrcFlag());
  EXPECT_TRUE(dlg.GetMonoFlag());
  Click(&dlg, names::kOriginal);
  EXPECT_TRUE(dlg.GetOriginalFlag());
  EXPECT_TRUE(dlg.GetSettings().originalFlag);
}

TEST_F(ConvertMp3Dlg, Mp3ExtensionRules) {
  EXPECT_EQ(CConvertMp3Dlg::WithMp3Extension("song.mp3"), "song.mp3");
  EXPECT_EQ(CConvertMp3Dlg::WithMp3Extension("SONG.MP3"), "SONG.MP3.mp3") << "the search is case-sensitive";
  EXPECT_EQ(CConvertMp3Dlg::WithMp3Extension(".mp3"), ".mp3.mp3");
  EXPECT_EQ(CConvertMp3Dlg::WithMp3Extension("a.mp3.bak"), "a.mp3.bak");
  EXPECT_EQ(CConvertMp3Dlg::WithMp3Extension(".mp3x.mp3"), ".mp3x.mp3") << "found after the first character";
  EXPECT_EQ(CConvertMp3Dlg::WithMp3Extension("a"), "a.mp3");
}

TEST_F(ConvertMp3Dlg, EmptyNameIsRefusedAndTheDialogStaysOpen) {
  Click(&dlg, names::kOk);
  ASSERT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(prompt.questions[0].text, "Please enter the MP3 filename.");
  EXPECT_EQ(prompt.questions[0].caption, "Error");
  EXPECT_EQ(prompt.questions[0].icon, MessageIcon::None);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST_F(ConvertMp3Dlg, BrowseFillsTheNameAndCancelKeepsIt) {
  Name("/music/start");
  prompt.AnswerFile("/music/chosen.mp3").AnswerFile(QString());
  Click(&dlg, names::kBrowse);
  auto* edit = Control<QLineEdit>(&dlg, names::kName);
  EXPECT_EQ(edit->text(), "/music/chosen.mp3");
  Click(&dlg, names::kBrowse);
  EXPECT_EQ(edit->text(), "/music/chosen.mp3");
  ASSERT_EQ(prompt.questions.size(), 2u);
  const FileDialogRequest& r = prompt.questions[0].request;
  EXPECT_EQ(r.title, "Browse - MP3 Output filename");
  EXPECT_EQ(r.filter, "MP3 files (*.mp3)|*.mp3|All files (*.*)|*.*||");
  EXPECT_EQ(r.defaultExtension, "mp3");
  EXPECT_EQ(r.initialName, "/music/start");
  EXPECT_TRUE(r.overwritePrompt);
  EXPECT_EQ(prompt.questions[1].request.initialName, "/music/chosen.mp3");
}

}  // namespace
