// The main window's desktop habits: File > Recent files, where file dialogs
// start, the slider's click-to-jump and the no-device notice.

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTest>

#include "gui/ConvertMp3Dlg.h"
#include "gui/MainWindowFixture.h"
#include "gui/RipChannelsDlg.h"
#include "settings/SettingsStore.h"

namespace {

using kt::MakeWavFile;
using DesktopTest = kt::MainWindowTest;

QList<QAction*> RecentActions(CMainDlg& window) {
  emit window.RecentMenu()->aboutToShow();
  return window.RecentMenu()->actions();
}

QStringList RecentEntries(CMainDlg& window) {
  QStringList entries;
  for (QAction* action : RecentActions(window)) entries << action->text();
  return entries;
}

TEST_F(DesktopTest, RecentFilesKeepTheLastEightNewestFirstAndDropOnesGoneFromTheDisk) {
  EXPECT_FALSE(window->Action(CMainDlg::kFileRecent)->isEnabled());
  std::vector<std::string> paths;
  for (int i = 1; i <= 10; ++i) {
    paths.push_back(MakeWavFile(dir, "Take " + std::to_string(i) + (i == 10 ? " & été.wav" : ".wav"), 0.1));
    window->OnCloseFile();
    Open(paths.back());
  }
  EXPECT_EQ(RecentEntries(*window),
            (QStringList{"&1 Take 10 && été.wav", "&2 Take 9.wav", "&3 Take 8.wav", "&4 Take 7.wav",
                         "&5 Take 6.wav", "&6 Take 5.wav", "&7 Take 4.wav", "&8 Take 3.wav"}));
  EXPECT_TRUE(window->Action(CMainDlg::kFileRecent)->isEnabled());

  // Opening a listed file moves it up once, after the question about the open file.
  prompt.Answer(PromptAnswer::Yes);
  RecentActions(*window)[5]->trigger();
  EXPECT_EQ(window->File()->GetFileName(), "Take 5.wav");
  const QStringList reordered = RecentEntries(*window);
  EXPECT_EQ(reordered,
            (QStringList{"&1 Take 5.wav", "&2 Take 10 && été.wav", "&3 Take 9.wav", "&4 Take 8.wav",
                         "&5 Take 7.wav", "&6 Take 6.wav", "&7 Take 4.wav", "&8 Take 3.wav"}));
  // The list lives in the settings store: a new window shows it too.
  EXPECT_EQ(RecentEntries(*std::make_unique<CMainDlg>(prompt.Services(), std::make_unique<kt::FakePlayer>())),
            reordered);

  // A file gone from the disk is reported by name before any question, the
  // open file stays open (or none), and it leaves the list.
  for (const bool withFileOpen : {true, false}) {
    SCOPED_TRACE(withFileOpen);
    if (!withFileOpen) window->OnCloseFile();
    const QString gone = RecentActions(*window)[1]->data().toString();
    ASSERT_TRUE(QFile::remove(gone));
    const std::size_t asked = prompt.questions.size();
    RecentActions(*window)[1]->trigger();
    ASSERT_EQ(prompt.questions.size(), asked + 1);  // the message only
    EXPECT_EQ(prompt.MessageTexts().last(),
              QStringLiteral("Cannot open audio file.\n") + gone + QStringLiteral(" no longer exists."));
    if (withFileOpen)
      EXPECT_EQ(window->File() ? window->File()->GetFileName() : "", "Take 5.wav");
    else
      EXPECT_EQ(window->File(), nullptr);
    EXPECT_FALSE(WindowServices().settings.RecentFiles().contains(gone));
  }
  EXPECT_EQ(RecentEntries(*window).size(), 6);
}

// The output dialogs of the open file; a Browse button opens the file dialog
// of some, the command itself that of others.
struct OutputDialog {
  const char* name;
  void (CMainDlg::*command)();
  const char* browse = nullptr;
  const char* cancel = nullptr;
};
const OutputDialog kOutputDialogs[] = {
    {"to wav", &CMainDlg::OnConvertToWav},
    {"to 8 bit", &CMainDlg::OnConvertTo8Bit},
    {"to mp3", &CMainDlg::OnConvertToMp3, convertmp3name::kBrowse, convertmp3name::kCancel},
    {"rip", &CMainDlg::OnRipChannels, ripname::kBrowse, ripname::kCancel}};

TEST_F(DesktopTest, FileDialogsStartInTheOpenFilesFolderElseTheLastFolderUsed) {
  kt::TempDir other;
  const QString otherFolder = QString::fromStdString(other.Path().string());
  const QString folder = QString::fromStdString(dir.Path().string());
  const QString song = QString::fromStdString(MakeWavFile(dir, "Song.wav", 1.0));
  for (const OutputDialog& row : kOutputDialogs) {
    // No file open and no folder used yet: the toolkit's choice.
    window->OnCloseFile();
    WindowServices().settings.SetLastFolder(QString());
    prompt.AnswerFile(song);
    window->OnOpen();
    ASSERT_NE(window->File(), nullptr) << row.name;
    EXPECT_EQ(prompt.questions.back().request.directory, QString()) << row.name;
    // With a file open, beside it; a file picked elsewhere makes that the
    // last folder used, where Open starts once no file is open.
    const QString elsewhere = otherFolder + "/Elsewhere.wav";
    if (!row.browse)
      prompt.AnswerFile(elsewhere);
    else
      kt::WhenModal([&](QWidget* modal) {
        prompt.AnswerFile(elsewhere);
        kt::Control<QAbstractButton>(modal, row.browse)->click();
        kt::Control<QAbstractButton>(modal, row.cancel)->click();
      });
    (window.get()->*row.command)();
    EXPECT_EQ(prompt.questions.back().request.directory, QString::fromStdString(dir.Path().string()))
        << row.name;
    window->OnCloseFile();
    prompt.AnswerFile(QString());
    window->OnOpen();
    EXPECT_EQ(prompt.questions.back().request.directory, otherFolder) << row.name;
  }
}

TEST_F(DesktopTest, AClickOnTheTrackJumpsThereAndPlaybackFollows) {
  Open(MakeWavFile(dir, "Song.wav", 20.0));
  Click(CMainDlg::kPlay);
  // The pixel grid is coarser than 1000 positions: within one pixel's worth.
  const int tolerance = 1000 / std::max(Slider()->XOfValue(1000) - Slider()->XOfValue(0), 1) + 1;
  for (int target : {750, 200, 1000}) {
    const QPoint at(Slider()->XOfValue(target), Slider()->height() / 2);
    QTest::mouseClick(Slider(), Qt::LeftButton, {}, at);
    EXPECT_NEAR(Slider()->ThumbPosition(), target, tolerance) << target;
    EXPECT_NEAR(player->position, Slider()->GetPositionSeconds(), 0.001) << target;
    EXPECT_TRUE(window->PlayTimerActive());
  }
}

class SilentPlayer : public kt::FakePlayer {
 public:
  bool HasOutputDevice() const override { return false; }
};

TEST_F(DesktopTest, WithoutASoundDevicePlaySaysSoOnceAndPlaysOn) {
  window = std::make_unique<CMainDlg>(prompt.Services(), std::make_unique<SilentPlayer>());
  Open(MakeWavFile(dir, "Song.wav", 2.0));
  for (int i = 0; i < 2; ++i) {
    window->OnPlay();
    EXPECT_EQ(window->PlayingState(), 1);
    window->OnStop();
  }
  EXPECT_EQ(prompt.MessageTexts(), QStringList{"No sound output device was found."});
}

}  // namespace
