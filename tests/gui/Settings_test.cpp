// The Settings command and dialog: defaults from the store, saving and its
// failures, the run's flags, and when the overlap and the suffix reach the
// open file.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <optional>

#include "core/mp3/Mp3File.h"
#include "gui/MainWindowFixture.h"
#include "gui/SettingsDlg.h"
#include "settings/SettingsStore.h"

namespace {

struct SettingsAnswer {
  QString overlap{};  // typed over the overlap edit; null: leave as shown
  QString suffix{};   // typed over the suffix edit; null: leave as shown
  bool saveOverlap = false;
  bool saveSuffix = false;
  std::optional<bool> gapless{};  // set the "Gapless MP3 pieces" box; none: leave as shown
  bool saveGapless = false;
  bool ok = true;
  // What the dialog showed when it opened.
  QString shownOverlap{};
  QString shownSuffix{};
  bool shownGapless = false;
};

// Answers the Settings dialog the next command opens.
void AnswerSettings(SettingsAnswer& answer) {
  kt::WhenModal([&answer](QWidget* modal) {
    auto* overlap = kt::Control<QLineEdit>(modal, CSettingsDlg::kOverlapEditName);
    auto* suffix = kt::Control<QLineEdit>(modal, CSettingsDlg::kSuffixEditName);
    ASSERT_TRUE(overlap && suffix);
    answer.shownOverlap = overlap->text();
    answer.shownSuffix = suffix->text();
    if (!answer.overlap.isNull()) {
      overlap->selectAll();
      kt::TypeText(overlap, answer.overlap);
    }
    if (!answer.suffix.isNull()) {
      suffix->clear();
      kt::TypeText(suffix, answer.suffix);
    }
    kt::Control<QCheckBox>(modal, CSettingsDlg::kSaveOverlapName)->setChecked(answer.saveOverlap);
    kt::Control<QCheckBox>(modal, CSettingsDlg::kSaveSuffixName)->setChecked(answer.saveSuffix);
    auto* gapless = kt::Control<QCheckBox>(modal, CSettingsDlg::kGaplessName);
    answer.shownGapless = gapless->isChecked();
    if (answer.gapless) gapless->setChecked(*answer.gapless);
    kt::Control<QCheckBox>(modal, CSettingsDlg::kSaveGaplessName)->setChecked(answer.saveGapless);
    kt::Control<QPushButton>(modal, answer.ok ? "ok" : "cancel")->click();
  });
}

class SettingsTest : public kt::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Open(kt::MakeWavFile(dir, "one.wav", 2.0));
    ASSERT_NE(window->File(), nullptr);
  }
  // The store the window was given.
  const CSettingsStore& Store() { return WindowServices().settings; }
  void Replace(const std::string& name) {
    prompt.Answer(PromptAnswer::Yes).AnswerFile(QString::fromStdString(kt::MakeWavFile(dir, name, 1.0)));
    window->OnOpen();
    ASSERT_NE(window->File(), nullptr);
  }
};

TEST_F(SettingsTest, WithNoStoredValuesTheDialogShowsZeroAndEmptyAndSavingCreatesBoth) {
  SettingsAnswer answer;
  answer.saveOverlap = answer.saveSuffix = true;
  AnswerSettings(answer);
  window->OnSettings();
  EXPECT_EQ(answer.shownOverlap, QStringLiteral("0"));
  EXPECT_EQ(answer.shownSuffix, QString());
  // Both are stored, not merely missing and read as their defaults.
  QFile file(Store().FilePath());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  EXPECT_TRUE(text.contains("\nOverlap%20time=dword:00000000\n")) << text.toStdString();
  EXPECT_TRUE(text.contains("\nFilename%20Suffix=sz:\n")) << text.toStdString();
}

TEST_F(SettingsTest, SavedValuesAreShownAndReachTheNextRun) {
  SettingsAnswer answer{.overlap = QStringLiteral("15"),
                        .suffix = QStringLiteral("_part"),
                        .saveOverlap = true,
                        .saveSuffix = true};
  AnswerSettings(answer);
  window->OnSettings();
  EXPECT_EQ(Store().OverlapTime(), 15u);
  EXPECT_EQ(Store().Suffix(), "_part");
  EXPECT_TRUE(prompt.questions.empty());
  // A new window (a new run) starts from the store.
  CSettingsDlg fresh(prompt.Services());
  EXPECT_EQ(fresh.GetOverlapTime(), 15u);
  EXPECT_EQ(fresh.GetFilenameSuffix(), "_part");
}

TEST_F(SettingsTest, UnwritableStoreReportsBothFailuresAndTheValuesStillApply) {
  // A window whose store cannot be: its folder's parent is a file.
  kt::WriteAll(dir.File("blocker"), {1});
  const CGuiServices blocked(prompt, QString::fromStdString(dir.File("blocker") + "/sub/registry.ini"), {});
  window = std::make_unique<CMainDlg>(blocked, std::make_unique<kt::FakePlayer>());
  Open(kt::MakeWavFile(dir, "one.wav", 2.0));
  SettingsAnswer answer{.overlap = QStringLiteral("7"),
                        .suffix = QStringLiteral("_s"),
                        .saveOverlap = true,
                        .saveSuffix = true};
  AnswerSettings(answer);
  window->OnSettings();
  EXPECT_EQ(prompt.MessageTexts(), (QStringList{QStringLiteral("Unable save overlap time"),
                                                QStringLiteral("Unable save filename suffix")}));
  for (const auto& q : prompt.questions) {
    EXPECT_EQ(q.caption, QStringLiteral("Error"));
    EXPECT_EQ(q.icon, MessageIcon::Warning);
  }
  EXPECT_EQ(window->GetOverlapTime(), 7u);
  EXPECT_EQ(window->GetFilenameSuffix(), "_s");
  EXPECT_EQ(window->File()->GetOverlapTime(), 7u);
  window.reset();  // before the services it was given
}

TEST_F(SettingsTest, CancelStillSetsTheFlagsWithTheValuesItOpenedWith) {
  ASSERT_TRUE(Store().SetOverlapTime(4));
  ASSERT_TRUE(Store().SetSuffix("_r"));
  Replace("two.wav");
  EXPECT_EQ(window->File()->GetOverlapTime(), 4u);
  SettingsAnswer answer{.overlap = QStringLiteral("50"), .suffix = QStringLiteral("_zz"), .ok = false};
  AnswerSettings(answer);
  window->OnSettings();
  EXPECT_EQ(answer.shownOverlap, QStringLiteral("4"));
  EXPECT_EQ(answer.shownSuffix, QStringLiteral("_r"));
  EXPECT_TRUE(window->OverlapSet());
  EXPECT_TRUE(window->SuffixSet());
  EXPECT_EQ(window->GetOverlapTime(), 4u);
  // From now on the window's values win over the store.
  ASSERT_TRUE(Store().SetOverlapTime(9));
  Replace("three.wav");
  EXPECT_EQ(window->File()->GetOverlapTime(), 4u);
  EXPECT_EQ(window->File()->GetSuffix(), "_r");
}

TEST_F(SettingsTest, StoredValuesApplyAtEachOpenUntilSettingsRuns) {
  ASSERT_TRUE(Store().SetOverlapTime(3));
  Replace("two.wav");
  EXPECT_EQ(window->File()->GetOverlapTime(), 3u);
  ASSERT_TRUE(Store().SetOverlapTime(8));
  ASSERT_TRUE(Store().SetSuffix("_n"));
  Replace("three.wav");
  EXPECT_EQ(window->File()->GetOverlapTime(), 8u);
  EXPECT_EQ(window->File()->GetSuffix(), "_n");
}

TEST_F(SettingsTest, OverlapAppliesToTheOpenFileAtOnceAndTheSuffixAtTheNextOpen) {
  SettingsAnswer answer{.overlap = QStringLiteral("12"), .suffix = QStringLiteral("_x")};
  AnswerSettings(answer);
  window->OnSettings();
  EXPECT_EQ(window->File()->GetOverlapTime(), 12u);
  EXPECT_EQ(window->File()->GetSuffix(), "");
  Replace("two.wav");
  EXPECT_EQ(window->File()->GetSuffix(), "_x");
  EXPECT_EQ(window->File()->GetOverlapTime(), 12u);
}

TEST_F(SettingsTest, GaplessMp3PiecesReachesTheOpenMp3FileAndIsStoredOnlyWithItsSaveBox) {
  Open(kt::MakeMp3File(dir, "one.mp3", 40, false));
  auto* mp3 = dynamic_cast<CMp3File*>(window->File());
  ASSERT_NE(mp3, nullptr);
  EXPECT_TRUE(mp3->GetGaplessPieces());
  SettingsAnswer off{.gapless = false};
  AnswerSettings(off);
  window->OnSettings();
  EXPECT_TRUE(off.shownGapless);
  EXPECT_FALSE(mp3->GetGaplessPieces());
  EXPECT_TRUE(Store().GaplessMp3()) << "stored although its Save box was clear";
  // The dialog shows the run's value; with its Save box it is stored.
  SettingsAnswer save{.saveGapless = true};
  AnswerSettings(save);
  window->OnSettings();
  EXPECT_FALSE(save.shownGapless);
  EXPECT_FALSE(Store().GaplessMp3());
}

TEST(SettingsDlg, SuffixRefusesFileNameCharactersAndOverlapTakesTypedValuesAbove200) {
  kt::ScriptedPrompt prompt;
  CSettingsDlg dlg(prompt.Services(), 0, "", true, true);
  dlg.show();
  auto* suffix = kt::Control<QLineEdit>(&dlg, CSettingsDlg::kSuffixEditName);
  kt::TypeText(suffix, QStringLiteral("a<b>c:d*e?f/g\\h"));
  EXPECT_EQ(suffix->text(), QStringLiteral("abcdefgh"));
  // Pasted text is not filtered.
  suffix->insert(QStringLiteral("<"));
  EXPECT_EQ(suffix->text(), QStringLiteral("abcdefgh<"));

  auto* spin = kt::Control<QSpinBox>(&dlg, CSettingsDlg::kSpinName);
  auto* overlap = kt::Control<QLineEdit>(&dlg, CSettingsDlg::kOverlapEditName);
  overlap->selectAll();
  kt::TypeText(overlap, QStringLiteral("x300"));
  EXPECT_EQ(overlap->text(), QStringLiteral("300"));  // digits only
  spin->stepBy(1);
  EXPECT_EQ(spin->value(), 200);  // the arrows stop at 200
  spin->setValue(0);
  spin->stepBy(-1);
  EXPECT_EQ(spin->value(), 0);
  overlap->selectAll();
  kt::TypeText(overlap, QStringLiteral("300"));
  dlg.accept();
  EXPECT_EQ(dlg.GetOverlapTime(), 300u);
  EXPECT_EQ(dlg.GetFilenameSuffix(), "abcdefgh<");
}

TEST(SettingsDlg, AnEmptyOverlapReadsAsZero) {
  kt::ScriptedPrompt prompt;
  CSettingsDlg dlg(prompt.Services(), 33, "s", true, true);
  kt::Control<QLineEdit>(&dlg, CSettingsDlg::kOverlapEditName)->clear();
  dlg.accept();
  EXPECT_EQ(dlg.GetOverlapTime(), 0u);
}

}  // namespace
