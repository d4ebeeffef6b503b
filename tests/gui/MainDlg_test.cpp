// The main window driven through its real widgets: start-up, opening files,
// menus, playback with a fake player, the selection and saving it.

#include "gui/app/MainDlg.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

#include "gui/MainWindowFixture.h"

namespace {

constexpr const char* kButtons[] = {CMainDlg::kStart, CMainDlg::kEnd,  CMainDlg::kSave, CMainDlg::kClear,
                                    CMainDlg::kPlay,  CMainDlg::kStop, CMainDlg::kShred};

using kt::MakeMp3File;
using kt::MakeWavFile;
using MainDlgTest = kt::MainWindowTest;

// ------------------------------------------------------------------ start-up

TEST_F(MainDlgTest, StartsCollapsedWithNoFileAndEverythingDisabled) {
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Kestrune v1.1"));
  EXPECT_EQ(window->height(), 270);
  EXPECT_FALSE(Slider()->isEnabled());
  for (const char* name : kButtons) EXPECT_FALSE(Enabled(name)) << name;
  EXPECT_EQ(Slider()->minimum(), 0);
  EXPECT_EQ(Slider()->maximum(), 1000);
  EXPECT_EQ(Slider()->pageStep(), 10);
  const std::set<int> ticks = Slider()->Ticks();
  EXPECT_EQ(ticks, (std::set<int>{1, 101, 201, 301, 401, 501, 601, 701, 801, 901}));
  EXPECT_EQ(LabelText(CMainDlg::kElapsed), QStringLiteral("Elapsed :  0.00 sec"));
  EXPECT_EQ(LabelText(CMainDlg::kSelection), QStringLiteral("Selected :  0.00 sec"));
  EXPECT_EQ(LabelText(CMainDlg::kLength), QStringLiteral("Length :  0.00 sec"));
  EXPECT_EQ(Button(CMainDlg::kPlay)->toolTip(),
            QStringLiteral("Starts playing from current slider position"));
  EXPECT_EQ(Slider()->toolTip(), QStringLiteral("Position the thumb from where you want to play or select"));
  EXPECT_EQ(Button(CMainDlg::kPlay)->CurrentState(), 'X');
}

TEST_F(MainDlgTest, MenusAreGrayedWithoutAFileAndFollowTheOpenFile) {
  emit window->FileMenu()->aboutToShow();
  emit window->ConvertMenu()->aboutToShow();
  for (const char* name : {CMainDlg::kFileShredEqually, CMainDlg::kFileInformation, CMainDlg::kFileSettings})
    EXPECT_FALSE(window->Action(name)->isEnabled()) << name;
  for (const char* name :
       {CMainDlg::kFileOpen, CMainDlg::kFileExit, CMainDlg::kHelpTopics, CMainDlg::kHelpAbout})
    EXPECT_TRUE(window->Action(name)->isEnabled()) << name;
  for (const char* name : {CMainDlg::kConvertToMp3, CMainDlg::kConvertToWav, CMainDlg::kConvertTo8Bit,
                           CMainDlg::kConvertTo16Bit, CMainDlg::kConvertRipChannels})
    EXPECT_FALSE(window->Action(name)->isEnabled()) << name;

  Open(MakeWavFile(dir, "a.wav", 1.0));
  emit window->FileMenu()->aboutToShow();
  emit window->ConvertMenu()->aboutToShow();
  for (const char* name : {CMainDlg::kFileShredEqually, CMainDlg::kFileInformation, CMainDlg::kFileSettings})
    EXPECT_TRUE(window->Action(name)->isEnabled()) << name;
  EXPECT_TRUE(window->Action(CMainDlg::kConvertToMp3)->isEnabled());
  EXPECT_TRUE(window->Action(CMainDlg::kConvertTo8Bit)->isEnabled());
  EXPECT_FALSE(window->Action(CMainDlg::kConvertTo16Bit)->isEnabled());
  EXPECT_FALSE(window->Action(CMainDlg::kConvertToWav)->isEnabled());
}

TEST_F(MainDlgTest, EnterAndEscapeDoNotEndTheWindow) {
  kt::KeyClick(window.get(), Qt::Key_Escape);
  kt::KeyClick(window.get(), Qt::Key_Return);
  kt::KeyClick(window.get(), Qt::Key_Enter);
  kt::Spin();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->result(), 0);
}

TEST_F(MainDlgTest, ExitAndTheCloseBoxEndTheWindowWithoutAsking) {
  Open(MakeWavFile(dir, "a.wav", 1.0));
  window->Action(CMainDlg::kFileExit)->trigger();
  EXPECT_FALSE(window->isVisible());
  window->show();
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(prompt.questions.empty());
}

// ------------------------------------------------------------------- opening

TEST_F(MainDlgTest, OpeningAWavFileEnablesTheSliderAndStartPlayShred) {
  const std::string path = MakeWavFile(dir, "song.wav", 10.0);
  Open(path);
  ASSERT_NE(window->File(), nullptr);
  EXPECT_STREQ(window->File()->Format().Name(), "WAV");
  EXPECT_TRUE(Slider()->isEnabled());
  for (const char* name : {CMainDlg::kStart, CMainDlg::kPlay, CMainDlg::kShred})
    EXPECT_TRUE(Enabled(name)) << name;
  for (const char* name : {CMainDlg::kEnd, CMainDlg::kSave, CMainDlg::kClear, CMainDlg::kStop})
    EXPECT_FALSE(Enabled(name)) << name;
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Kestrune v1.1 - ") + QString::fromStdString(path));
  EXPECT_EQ(LabelText(CMainDlg::kLength), QStringLiteral("Length : 10.00 sec"));
  EXPECT_EQ(window->height(), 270);
  EXPECT_TRUE(prompt.questions.empty());
}

TEST_F(MainDlgTest, UpperCaseNamesKeepTheirCaseAndOpenByExtension) {
  ASSERT_TRUE(std::filesystem::create_directory(dir.Path() / "Music"));
  const std::string mp3 = MakeMp3File(dir, "Music/Song.MP3", 40, false);
  Open(mp3);
  ASSERT_NE(window->File(), nullptr);
  EXPECT_STREQ(window->File()->Format().Name(), "MP3");
  EXPECT_EQ(window->File()->GetFilePath(), mp3);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Kestrune v1.1 - ") + QString::fromStdString(mp3));
}

TEST_F(MainDlgTest, ANameWithMp3BeforeWavOpensAsMp3) {
  const std::string path = MakeMp3File(dir, "a.mp3.wav", 40, false);
  Open(path);
  ASSERT_NE(window->File(), nullptr);
  EXPECT_STREQ(window->File()->Format().Name(), "MP3");
}

TEST_F(MainDlgTest, OtherExtensionsAreRefusedAsNotSupported) {
  kt::WriteAll(dir.File("notes.txt"), {1, 2, 3});
  Open(dir.File("notes.txt"));
  Open("song.flac");
  EXPECT_EQ(window->File(), nullptr);
  ASSERT_EQ(prompt.questions.size(), 2u);
  EXPECT_EQ(prompt.questions[0].text, QStringLiteral("This file type is not supported"));
  EXPECT_EQ(prompt.questions[0].caption, QStringLiteral("Error"));
  EXPECT_EQ(prompt.questions[0].icon, MessageIcon::Error);
}

TEST_F(MainDlgTest, AFailedOpenShowsTheFilesMessageAndLeavesNoFile) {
  kt::WriteAll(dir.File("broken.wav"), std::vector<std::uint8_t>(100, 'x'));
  Open(dir.File("broken.wav"));
  Open(dir.File("missing.wav"));
  EXPECT_EQ(window->File(), nullptr);
  EXPECT_FALSE(Slider()->isEnabled());
  EXPECT_EQ(prompt.MessageTexts(),
            (QStringList{QStringLiteral("AIFF Wave header not found. This WAV file is corrupted."),
                         QStringLiteral("Cannot open audio file.")}));
  EXPECT_EQ(prompt.questions[0].caption, QStringLiteral("Error"));
}

TEST_F(MainDlgTest, ReplacingAskedNoKeepsTheOpenFile) {
  Open(MakeWavFile(dir, "first.wav", 1.0));
  prompt.Answer(PromptAnswer::No);
  window->OnOpen();
  ASSERT_EQ(prompt.questions.size(), 1u);
  EXPECT_EQ(prompt.questions[0].text,
            QStringLiteral("first.wav is already open. Do you wish to open another file ?"));
  EXPECT_EQ(prompt.questions[0].caption, QStringLiteral("Comfirm"));
  EXPECT_EQ(prompt.questions[0].buttons, PromptButtons::YesNo);
  EXPECT_EQ(prompt.questions[0].icon, MessageIcon::Warning);
  ASSERT_NE(window->File(), nullptr);
  EXPECT_EQ(window->File()->GetFileName(), "first.wav");
}

TEST_F(MainDlgTest, NamesOutsideAsciiAreShownAsTheyAre) {
  const std::string path = MakeWavFile(dir, "Chanson \xC3\xA9t\xC3\xA9.wav", 1.0);  // UTF-8 "été"
  Open(path);
  ASSERT_NE(window->File(), nullptr);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Kestrune v1.1 - ") + QString::fromUtf8(path.c_str()));
  prompt.Answer(PromptAnswer::No);
  window->OnOpen();
  EXPECT_EQ(prompt.questions.at(0).text,
            QStringLiteral("Chanson \u00E9t\u00E9.wav is already open. Do you wish to open another file ?"));
}

TEST_F(MainDlgTest, ReplacingAskedYesThenCancelledLeavesNoFileOpen) {
  Open(MakeWavFile(dir, "first.wav", 1.0));
  prompt.Answer(PromptAnswer::Yes).AnswerFile(QString());
  window->OnOpen();
  EXPECT_EQ(window->File(), nullptr);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Kestrune v1.1"));
  EXPECT_FALSE(Slider()->isEnabled());
  for (const char* name : kButtons) EXPECT_FALSE(Enabled(name)) << name;
  EXPECT_TRUE(player->fileName.isEmpty());
  // The open dialog offered the supported files.
  ASSERT_EQ(prompt.questions.size(), 2u);
  EXPECT_EQ(prompt.questions[1].request.filter,
            QStringLiteral("All Supported files| *.wav; *.mp3; *.flac;|Wave Files (*.wav)| *.wav|MP3 files "
                           "(*.mp3)| *.mp3|FLAC files (*.flac)| *.flac|All Files (*.*)|*.*||"));
}

TEST_F(MainDlgTest, ReplacingAskedYesOpensTheNewFile) {
  Open(MakeWavFile(dir, "first.wav", 1.0));
  const std::string second = MakeWavFile(dir, "second.wav", 2.0);
  prompt.Answer(PromptAnswer::Yes).AnswerFile(QString::fromStdString(second));
  window->OnOpen();
  ASSERT_NE(window->File(), nullptr);
  EXPECT_EQ(window->File()->GetFileName(), "second.wav");
  EXPECT_EQ(LabelText(CMainDlg::kLength), QStringLiteral("Length :  2.00 sec"));
}

TEST_F(MainDlgTest, DroppingThreeFilesOpensOnlyTheFirst) {
  const std::string a = MakeWavFile(dir, "a.wav", 1.0);
  const std::string b = MakeWavFile(dir, "b.wav", 1.0);
  const std::string c = MakeWavFile(dir, "c.wav", 1.0);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(a)),
                QUrl::fromLocalFile(QString::fromStdString(b)),
                QUrl::fromLocalFile(QString::fromStdString(c))});
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  // Delivered straight to the window, as the desktop's drag manager does.
  static_cast<QObject*>(window.get())->event(&drop);
  kt::Spin(20);
  ASSERT_NE(window->File(), nullptr);
  EXPECT_EQ(window->File()->GetFileName(), "a.wav");
  // A second drop asks first; No keeps a.wav.
  prompt.Answer(PromptAnswer::No);
  QDropEvent again(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  static_cast<QObject*>(window.get())->event(&again);
  kt::Spin(20);
  EXPECT_EQ(window->File()->GetFileName(), "a.wav");
}

}  // namespace
