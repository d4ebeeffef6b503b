// The Rip Channels dialog: which boxes a file's channel count enables, the
// mask the boxes build, Browse and the two refusals.

#include "gui/RipChannelsDlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>

#include "support/gui/GuiTestSupport.h"
#include "support/gui/ScriptedPrompt.h"

using kt::Control;

namespace {

// Clicks the button with that name, as the user does.
void Click(QWidget* window, const char* name) {
  kt::Control<QAbstractButton>(window, name)->click();
}

const char* const kBoxes[] = {ripname::kLeft,     ripname::kRight,    ripname::kChannel3,
                      ripname::kChannel4, ripname::kChannel5, ripname::kChannel6};
const char* kWavFilter = "WAV files (*.wav)|*.wav|All files (*.*)|*.*||";

std::string Enabled(CRipChannelsDlg& dlg) {
  std::string pattern;
  for (const char* box : kBoxes) pattern += Control<QCheckBox>(&dlg, box)->isEnabled() ? '1' : '0';
  return pattern;
}

TEST(RipChannelsDlg, BoxesAreEnabledByChannelCount) {
  const std::pair<std::uint32_t, const char*> cases[] = {{1, "100000"}, {2, "110000"}, {3, "111000"},
                                                         {4, "111100"}, {5, "111110"}, {6, "111111"},
                                                         {8, "111111"}};
  kt::ScriptedPrompt prompt;
  for (auto [channels, pattern] : cases) {
    CRipChannelsDlg dlg(prompt.Services(), channels, kWavFilter);
    EXPECT_EQ(Enabled(dlg), pattern) << channels << " channels";
  }
}

TEST(RipChannelsDlg, EachBoxTogglesItsOwnBit) {
  kt::ScriptedPrompt prompt;
  CRipChannelsDlg dlg(prompt.Services(), 6, kWavFilter);
  EXPECT_EQ(dlg.windowTitle(), "Rip Channels");
  for (int k = 0; k < 6; ++k) {
    Click(&dlg, kBoxes[k]);
    EXPECT_EQ(dlg.GetChannelMask(), (1u << (k + 1)) - 1) << "after box " << k;
  }
  Click(&dlg, ripname::kRight);
  Click(&dlg, ripname::kChannel4);
  EXPECT_EQ(dlg.GetChannelMask(), 0x3Fu & ~0x02u & ~0x08u);
  Click(&dlg, ripname::kRight);
  EXPECT_EQ(dlg.GetChannelMask(), 0x37u);
}

TEST(RipChannelsDlg, NoChannelIsRefusedBeforeAnEmptyName) {
  kt::ScriptedPrompt prompt;
  CRipChannelsDlg dlg(prompt.Services(), 2, kWavFilter);
  Click(&dlg, ripname::kOk);
  EXPECT_EQ(prompt.MessageTexts(), QStringList{"Select a channel to rip."});
  Click(&dlg, ripname::kRight);
  Click(&dlg, ripname::kOk);
  EXPECT_EQ(prompt.MessageTexts().last(), "Enter filename to save");
  for (const auto& call : prompt.questions) {
    EXPECT_EQ(call.caption, "Error");
    EXPECT_EQ(call.icon, MessageIcon::None);
  }
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST(RipChannelsDlg, OkWithChannelFiveOfSixAndANameProceeds) {
  kt::ScriptedPrompt prompt;
  CRipChannelsDlg dlg(prompt.Services(), 6, kWavFilter);
  Click(&dlg, ripname::kChannel5);
  Control<QLineEdit>(&dlg, ripname::kName)->setText("/out/five");
  Click(&dlg, ripname::kOk);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.GetChannelMask(), 0x10u);
  EXPECT_EQ(dlg.GetOutputName(), "/out/five.wav") << "a name without extension gets .wav";
  EXPECT_TRUE(prompt.questions.empty());
}

TEST(RipChannelsDlg, OkAddsWavOnlyToANameWithoutExtension) {
  const std::pair<const char*, const char*> cases[] = {{"/music.d/Right Only", "/music.d/Right Only.wav"},
                                                       {"RIGHT.WAV", "RIGHT.WAV"},
                                                       {"right.raw", "right.raw"},
                                                       {".hidden", ".hidden.wav"},
                                                       {"right.", "right.wav"}};
  for (const auto& [typed, taken] : cases) {
    kt::ScriptedPrompt prompt;
    CRipChannelsDlg dlg(prompt.Services(), 2, kWavFilter);
    Click(&dlg, ripname::kRight);
    Control<QLineEdit>(&dlg, ripname::kName)->setText(QString::fromUtf8(typed));
    Click(&dlg, ripname::kOk);
    EXPECT_EQ(dlg.GetOutputName(), taken) << typed;
  }
}

TEST(RipChannelsDlg, BrowseUsesTheFileFilterAndFillsTheName) {
  kt::ScriptedPrompt prompt;
  CRipChannelsDlg dlg(prompt.Services(), 2, kWavFilter);
  Control<QLineEdit>(&dlg, ripname::kName)->setText("typed");
  prompt.AnswerFile(QString()).AnswerFile("/out/right.wav");
  Click(&dlg, ripname::kBrowse);
  EXPECT_EQ(Control<QLineEdit>(&dlg, ripname::kName)->text(), "typed");
  Click(&dlg, ripname::kBrowse);
  EXPECT_EQ(Control<QLineEdit>(&dlg, ripname::kName)->text(), "/out/right.wav");
  ASSERT_EQ(prompt.questions.size(), 2u);
  const FileDialogRequest& r = prompt.questions[0].request;
  EXPECT_EQ(r.title, "Browse - Output filename");
  EXPECT_EQ(r.filter, kWavFilter);
  EXPECT_EQ(r.initialName, "typed");
  EXPECT_EQ(r.defaultExtension, "");
  EXPECT_TRUE(r.overwritePrompt);
}

}  // namespace
