// The main window's desktop habits: File > Recent files, Close and the
// shortcuts, the keyboard order, where file dialogs start, the slider's
// click-to-jump, the scale marks on their ticks and the no-device notice.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMouseEvent>

#include "ui/ConvertMp3Dlg.h"
#include "ui/MainWindowFixture.h"
#include "ui/Prompt.h"
#include "ui/RecentFiles.h"
#include "ui/RipChannelsDlg.h"

namespace {

using kt::MakeWavFile;
using DesktopTest = kt::MainWindowTest;

QStringList RecentEntries(CMainDlg& window) {
  QMenu* menu = window.RecentMenu();
  emit menu->aboutToShow();
  QStringList entries;
  for (QAction* action : menu->actions()) entries << action->text();
  return entries;
}

QAction* RecentEntry(CMainDlg& window, int index) {
  QMenu* menu = window.RecentMenu();
  emit menu->aboutToShow();
  return menu->actions().value(index);
}

// ------------------------------------------------------------ recent files

TEST_F(DesktopTest, RecentFilesListTheLastEightOpenedNewestFirst) {
  EXPECT_TRUE(RecentEntries(*window).isEmpty());
  EXPECT_FALSE(window->Action(CMainDlg::ID_FILE_RECENT)->isEnabled());
  std::vector<std::string> paths;
  for (int i = 1; i <= 10; ++i) {
    paths.push_back(MakeWavFile(dir, "Take " + std::to_string(i) + ".wav", 0.1));
    window->OnCloseFile();
    Open(paths.back());
  }
  EXPECT_EQ(RecentEntries(*window),
            (QStringList{"&1 Take 10.wav", "&2 Take 9.wav", "&3 Take 8.wav", "&4 Take 7.wav", "&5 Take 6.wav",
                         "&6 Take 5.wav", "&7 Take 4.wav", "&8 Take 3.wav"}));
  EXPECT_TRUE(window->Action(CMainDlg::ID_FILE_RECENT)->isEnabled());
  EXPECT_EQ(RecentEntry(*window, 0)->data().toString(), QString::fromStdString(paths[9]));

  // Opening a listed file moves it up, without listing it twice; the
  // question about the open file comes first.
  prompt.Answer(PromptAnswer::Yes);
  RecentEntry(*window, 5)->trigger();
  EXPECT_EQ(window->File()->GetFileName(), "Take 5.wav");
  const QStringList reordered = RecentEntries(*window);
  EXPECT_EQ(reordered.size(), 8);
  EXPECT_EQ(reordered.front(), QStringLiteral("&1 Take 5.wav"));
  EXPECT_EQ(reordered.filter(QStringLiteral("Take 5.wav")).size(), 1);

  // The list lives in the settings store: a new window shows it too.
  CMainDlg second(std::make_unique<kt::FakePlayer>());
  EXPECT_EQ(RecentEntries(second), reordered);
}

TEST_F(DesktopTest, ARecentFileGoneFromTheDiskIsReportedAndDropped) {
  const std::string kept = MakeWavFile(dir, "Kept.wav", 0.1);
  const std::string gone = MakeWavFile(dir, "Gone & lost, été.wav", 0.1);
  Open(kept);
  window->OnCloseFile();
  Open(gone);
  window->OnCloseFile();
  EXPECT_EQ(RecentEntries(*window), (QStringList{"&1 Gone && lost, été.wav", "&2 Kept.wav"}));
  EXPECT_EQ(RecentEntry(*window, 0)->data().toString(), QString::fromStdString(gone));
  ASSERT_TRUE(QFile::remove(QString::fromStdString(gone)));

  // Opening it fails with the open's own message, and it leaves the list.
  RecentEntry(*window, 0)->trigger();
  EXPECT_EQ(window->File(), nullptr);
  EXPECT_EQ(prompt.MessageTexts(), QStringList{"Cannot open audio file."});
  EXPECT_EQ(RecentEntries(*window), QStringList{"&2 Kept.wav"}.replaceInStrings("&2", "&1"));
  EXPECT_EQ(recent::Files(), QStringList{QString::fromStdString(kept)});
}

// ------------------------------------------------------ close and shortcuts

TEST_F(DesktopTest, MenusShowTheUsualShortcuts) {
  const std::pair<int, QKeySequence> expected[] = {
      {CMainDlg::ID_FILE_OPEN, QKeySequence(Qt::CTRL | Qt::Key_O)},
      {CMainDlg::ID_FILE_CLOSE, QKeySequence(Qt::CTRL | Qt::Key_W)},
      {CMainDlg::ID_FILE_SAVE_SELECTION, QKeySequence(Qt::CTRL | Qt::Key_S)},
      {CMainDlg::ID_FILE_EXIT, QKeySequence(Qt::CTRL | Qt::Key_Q)},
      {CMainDlg::ID_HELP_TOPICS, QKeySequence(Qt::Key_F1)},
  };
  for (const auto& [id, keys] : expected) {
    QAction* action = window->Action(id);
    ASSERT_NE(action, nullptr) << id;
    EXPECT_EQ(action->shortcut(), keys) << id;
    EXPECT_FALSE(action->associatedObjects().isEmpty()) << id;
    // Active wherever the focus is in the window.
    EXPECT_TRUE(window->actions().contains(action)) << id;
  }
}

TEST_F(DesktopTest, SaveSelectionFollowsSaveAndCloseAsksNothing) {
  QAction* save = window->Action(CMainDlg::ID_FILE_SAVE_SELECTION);
  QAction* close = window->Action(CMainDlg::ID_FILE_CLOSE);
  EXPECT_FALSE(save->isEnabled());
  Open(MakeWavFile(dir, "Song.wav", 10.0));
  Click(CMainDlg::IDC_START);
  DragThumbTo(400);
  EXPECT_FALSE(save->isEnabled());
  Click(CMainDlg::IDC_END);
  EXPECT_TRUE(save->isEnabled());

  const std::string out = dir.File("Part.wav");
  prompt.AnswerFile(QString::fromStdString(out));
  save->trigger();
  EXPECT_TRUE(std::filesystem::exists(out));
  EXPECT_FALSE(save->isEnabled());

  emit window->FileMenu()->aboutToShow();
  EXPECT_TRUE(close->isEnabled());
  close->trigger();
  EXPECT_EQ(window->File(), nullptr);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Kestrune v1.1"));
  EXPECT_FALSE(Enabled(CMainDlg::IDC_PLAY));
  emit window->FileMenu()->aboutToShow();
  EXPECT_FALSE(close->isEnabled());
  // The save's own notice, and no question from Close.
  EXPECT_EQ(prompt.MessageTexts(), QStringList{"This selection will last for 4.00 seconds"});
}

TEST_F(DesktopTest, TabRunsAlongTheSliderAndTheButtonsLeftToRight) {
  QWidget* expected[] = {Slider(),
                         Button(CMainDlg::IDC_START),
                         Button(CMainDlg::IDC_END),
                         Button(CMainDlg::IDC_SAVE),
                         Button(CMainDlg::IDC_CLEAR),
                         Button(CMainDlg::IDC_PLAY),
                         Button(CMainDlg::IDC_STOP),
                         Button(CMainDlg::IDC_SHRED)};
  for (std::size_t i = 0; i + 1 < std::size(expected); ++i) {
    // The next widget that takes Tab focus after this one.
    QWidget* next = expected[i]->nextInFocusChain();
    while (!(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    EXPECT_EQ(next, expected[i + 1]) << i;
  }
}

// ------------------------------------------------- where file dialogs start

TEST_F(DesktopTest, FileDialogsStartInTheOpenFilesFolderElseTheLastFolderUsed) {
  kt::TempDir other;
  const std::string song = MakeWavFile(dir, "Song.wav", 4.0);
  const QString folder = QString::fromStdString(dir.Path().string());

  // No file open and no folder used yet: the toolkit's choice.
  prompt.AnswerFile(QString::fromStdString(song));
  window->OnOpen();
  ASSERT_NE(window->File(), nullptr);
  EXPECT_EQ(prompt.questions.back().request.directory, QString());

  // Every output dialog of the open file starts beside it, nested ones too.
  prompt.AnswerFile(QString());
  window->OnConvertToWav();
  prompt.AnswerFile(QString());
  window->OnConvertTo8Bit();
  kt::WhenModal([this](QWidget* modal) {
    prompt.AnswerFile(QString());
    kt::Control<QAbstractButton>(modal, convertmp3id::kBrowse)->click();
    kt::Control<QAbstractButton>(modal, convertmp3id::kCancel)->click();
  });
  window->OnConvertToMp3();
  ASSERT_EQ(prompt.questions.size(), 4u);
  for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(prompt.questions[i].request.directory, folder) << i;

  // A file picked elsewhere makes that the last folder used; with no file
  // open, the next dialog starts there.
  const std::string elsewhere = other.File("Elsewhere.wav");
  prompt.AnswerFile(QString::fromStdString(elsewhere));
  window->OnConvertTo8Bit();
  window->OnCloseFile();
  prompt.AnswerFile(QString());
  window->OnOpen();
  EXPECT_EQ(prompt.questions.back().request.directory, QString::fromStdString(other.Path().string()));
  EXPECT_EQ(DialogStartFolder(window.get()), QString::fromStdString(other.Path().string()));
}

TEST_F(DesktopTest, NamesTypedWithoutAFolderLandBesideTheOpenFile) {
  Open(MakeWavFile(dir, "Song.wav", 1.0));
  kt::WhenModal([](QWidget* modal) {
    kt::Control<QLineEdit>(modal, ripid::kName)->setText(QStringLiteral("Right Only"));
    kt::Control<QAbstractButton>(modal, ripid::kRight)->click();
    kt::Control<QAbstractButton>(modal, ripid::kOk)->click();
  });
  window->OnRipChannels();
  EXPECT_TRUE(std::filesystem::exists(dir.Path() / "Right Only.wav"));
  kt::WhenModal([](QWidget* modal) {
    kt::Control<QLineEdit>(modal, convertmp3id::kName)->setText(QStringLiteral("Encoded"));
    kt::Control<QAbstractButton>(modal, convertmp3id::kOk)->click();
  });
  window->OnConvertToMp3();
  EXPECT_TRUE(std::filesystem::exists(dir.Path() / "Encoded.mp3"));
  EXPECT_TRUE(prompt.MessageTexts().isEmpty()) << prompt.MessageTexts().join("|").toStdString();
  // Without a window holding an open file a name stays as typed.
  EXPECT_EQ(InDocumentFolder(nullptr, QStringLiteral("x.wav")), QStringLiteral("x.wav"));
  EXPECT_EQ(InDocumentFolder(window.get(), QStringLiteral("/abs/x.wav")), QStringLiteral("/abs/x.wav"));
}

// ------------------------------------------------------------------ slider

void ClickAt(QWidget* widget, QPoint at, QEvent::Type type) {
  QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

TEST_F(DesktopTest, AClickOnTheTrackJumpsThereAndPlaybackFollows) {
  Open(MakeWavFile(dir, "Song.wav", 20.0));
  Click(CMainDlg::IDC_PLAY);
  ASSERT_EQ(window->PlayingState(), 1);
  for (int target : {750, 200, 1000}) {
    const QPoint at(Slider()->XOfValue(target), Slider()->height() / 2);
    ClickAt(Slider(), at, QEvent::MouseButtonPress);
    ClickAt(Slider(), at, QEvent::MouseButtonRelease);
    // The pixel grid is coarser than 1000 positions: within one pixel's worth.
    const int tolerance = 1000 / std::max(Slider()->XOfValue(1000) - Slider()->XOfValue(0), 1) + 1;
    EXPECT_NEAR(Slider()->ThumbPosition(), target, tolerance) << target;
    EXPECT_NEAR(player->position, Slider()->GetPositionSeconds(), 0.001) << target;
    EXPECT_TRUE(window->PlayTimerActive());
  }
}

TEST_F(DesktopTest, ScaleMarksSitOnTheirTicksInTheTextColour) {
  auto* scale = window->findChild<CSliderScale*>();
  ASSERT_NE(scale, nullptr);
  for (int i = 0; i < CSliderScale::kMarks; ++i) {
    QLabel* mark = scale->Mark(i);
    const int tick = Slider()->mapTo(window.get(), QPoint(Slider()->XOfValue(scale->MarkValue(i)), 0)).x();
    const int centre = mark->mapTo(window.get(), QPoint(mark->width() / 2, 0)).x();
    EXPECT_LE(std::abs(centre - tick), 1) << mark->text().toStdString();
    EXPECT_TRUE(mark->isEnabled());
    EXPECT_EQ(mark->palette().color(mark->foregroundRole()), window->palette().color(QPalette::WindowText));
  }
  EXPECT_EQ(scale->MarkValue(0), 0);
  EXPECT_EQ(scale->MarkValue(2), 500);
  EXPECT_EQ(scale->MarkValue(4), 1000);
}

// ---------------------------------------------------------- sound device

class SilentPlayer : public kt::FakePlayer {
 public:
  bool HasOutputDevice() const override { return false; }
};

TEST(NoSoundDevice, PlaySaysSoOnceAndPlaysOn) {
  kt::TempDir dir;
  kt::ScriptedPrompt prompt;
  CMainDlg window(std::make_unique<SilentPlayer>());
  window.OpenPath(QString::fromStdString(MakeWavFile(dir, "Song.wav", 2.0)));
  for (int i = 0; i < 2; ++i) {
    window.OnPlay();
    EXPECT_EQ(window.PlayingState(), 1);
    window.OnStop();
  }
  EXPECT_EQ(prompt.MessageTexts(), QStringList{"No sound output device was found."});
}

QStringList& Captured() {
  static QStringList messages;
  return messages;
}

TEST(NoSoundDevice, TheBackEndsWarningsStayOffTheTerminal) {
  const QtMessageHandler previous = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& text) { Captured() << text; });
  QuietMediaBackendWarnings();
  const QLoggingCategory player("qt.multimedia.player");
  qCWarning(player) << "Failed to connect";
  qWarning("PulseAudioService: pa_context_connect() failed");
  qWarning("an ordinary warning");
  EXPECT_EQ(Captured(), QStringList{QStringLiteral("an ordinary warning")});
  QLoggingCategory::setFilterRules(QString());
  qInstallMessageHandler(previous);
}

}  // namespace
