// The information windows for real files, the About box and its links, and
// the help window.

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>

#include "gui/AboutDlg.h"
#include "gui/HelpViewer.h"
#include "gui/InfoDlgs.h"
#include "gui/MainWindowFixture.h"
#include "gui/ObjectName.h"
#include "gui/StaticLink.h"

namespace {

using InfoTest = kt::MainWindowTest;

// Runs the File information command and collects the window's texts by object name.
std::map<QString, QString> ShowInformation(CMainDlg& window, QString& title) {
  std::map<QString, QString> texts;
  kt::WhenModal([&](QWidget* modal) {
    title = modal->windowTitle();
    for (QWidget* w : modal->findChildren<QWidget*>()) {
      const QString name = w->objectName();
      if (auto* label = qobject_cast<QLabel*>(w)) texts[name] = label->text();
      if (auto* edit = qobject_cast<QLineEdit*>(w)) texts[name] = edit->text();
    }
    kt::Control<QPushButton>(modal, "ok")->click();
  });
  window.Action(CMainDlg::kFileInformation)->trigger();
  return texts;
}

TEST_F(InfoTest, WavInformationShowsTheHeaderFacts) {
  Open(kt::MakeWavFile(dir, "Ten.wav", 10.0));
  QString title;
  const auto texts = ShowInformation(*window, title);
  EXPECT_EQ(title, QStringLiteral("WAV File Information"));
  EXPECT_EQ(texts.at("fileName"), QStringLiteral("Filename - Ten.wav"));
  EXPECT_EQ(texts.at("fileSize"), QStringLiteral("File size (As in Header) - 1764044 bytes"));
  EXPECT_EQ(texts.at("channels"), QStringLiteral("Number of Channels - 2"));
  EXPECT_EQ(texts.at("sampleRate"), QStringLiteral("Samples per second - 44100"));
  EXPECT_EQ(texts.at("byteRate"), QStringLiteral("Average bytes per second - 176400 bytes"));
  EXPECT_EQ(texts.at("bitsPerSample"), QStringLiteral("Bits per sample - 16 bits"));
  EXPECT_EQ(texts.at("frameSize"), QStringLiteral("Sample frame size - 4 bytes"));
  EXPECT_EQ(texts.at("dataSize"), QStringLiteral("Data bytes size - 1764000 bytes"));
  EXPECT_EQ(texts.at("duration"), QStringLiteral("Playing duration - 10.00 seconds"));
}

TEST_F(InfoTest, Mp3InformationShowsFrameFactsAndTheLatin1Tag) {
  Open(kt::MakeMp3File(dir, "Tagged.mp3", 100, true, 17));
  ASSERT_NE(window->File(), nullptr);
  QString title;
  const auto texts = ShowInformation(*window, title);
  EXPECT_EQ(title, QStringLiteral("MP3 File Information"));
  EXPECT_EQ(texts.at("fileName"), QStringLiteral("Tagged.mp3"));
  EXPECT_EQ(texts.at("title"), QStringLiteral("Title \u00E9t\u00E9"));
  EXPECT_EQ(texts.at("artist"), QStringLiteral("Artist"));
  EXPECT_EQ(texts.at("album"), QStringLiteral("Album"));
  EXPECT_EQ(texts.at("year"), QStringLiteral("1999"));
  EXPECT_EQ(texts.at("comment"), QStringLiteral("Comment"));
  EXPECT_EQ(texts.at("genre"), QStringLiteral("Rock"));
  EXPECT_EQ(texts.at("fileSize"), QStringLiteral("File size - 41828 bytes"));
  EXPECT_EQ(texts.at("sampleRate"), QStringLiteral("Sampling Rate - 44100 Smp/sec"));
  EXPECT_EQ(texts.at("bitrate"), QStringLiteral("Bitrate - 128 Kbits/sec"));
  EXPECT_EQ(texts.at("frameLength"), QStringLiteral("Frame length - 417 bytes"));
  EXPECT_EQ(texts.at("mpegVersion"), QStringLiteral("MPEG version - 1.0"));
  EXPECT_EQ(texts.at("mpegLayer"), QStringLiteral("MPEG Layer - 3"));
  EXPECT_TRUE(texts.at("duration").startsWith(QStringLiteral("Play Duration - ")));
}

TEST_F(InfoTest, Mp3WithoutTagShowsUnknownInEveryTagField) {
  Open(kt::MakeMp3File(dir, "plain.mp3", 60, false));
  QString title;
  const auto texts = ShowInformation(*window, title);
  for (const char* name : CMp3InfoDlg::kTagNames) EXPECT_EQ(texts.at(name), QStringLiteral("Unknown")) << name;
  EXPECT_EQ(texts.at("bitrate"), QStringLiteral("Bitrate - 128 Kbits/sec"));
}

TEST_F(InfoTest, GenreOutsideTheTableShowsAnEmptyField) {
  Open(kt::MakeMp3File(dir, "nogenre.mp3", 60, true, 255));
  QString title;
  EXPECT_EQ(ShowInformation(*window, title).at("genre"), QString());
}

// ------------------------------------------------------------------- About

class AboutTest : public testing::Test {
 protected:
  void SetUp() override {
    prompt.Services().openLink = [this](const QString& link) {
      opened << link;
      return openSucceeds;
    };
    prompt.Services().beep = [this] { ++beeps; };
  }
  kt::ScriptedPrompt prompt;
  QStringList opened;
  bool openSucceeds = true;
  int beeps = 0;
};

TEST_F(AboutTest, AboutBoxShowsTheVersionAndThreeLinks) {
  CAboutDlg about(prompt.Services());
  EXPECT_EQ(about.windowTitle(), QStringLiteral("About Kestrune v1.1"));
  EXPECT_EQ(kt::FindControl(&about, CAboutDlg::kWebPageName), about.WebPageLink());
  EXPECT_EQ(kt::FindControl(&about, CAboutDlg::kEmailName), about.EmailLink());
  EXPECT_EQ(kt::FindControl(&about, CAboutDlg::kEncoderName), about.EncoderLink());
  EXPECT_TRUE(about.EncoderLink()->text().contains(QStringLiteral("lame")));
  for (CStaticLink* link : {about.WebPageLink(), about.EmailLink(), about.EncoderLink()}) {
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->CurrentColour(), QColor(0, 0, 255));
  }
}

TEST_F(AboutTest, ASuccessfulClickOpensTheLinkAndTurnsItPurple) {
  CAboutDlg about(prompt.Services());
  about.EmailLink()->Click();
  about.WebPageLink()->Click();
  EXPECT_EQ(opened, (QStringList{QStringLiteral("mailto:") + QString::fromLatin1(kMakerEmail),
                                 QString::fromLatin1(kMakerWebPage)}));
  EXPECT_TRUE(about.EmailLink()->Visited());
  EXPECT_EQ(about.EmailLink()->CurrentColour(), QColor(128, 0, 128));
  EXPECT_EQ(about.EmailLink()->palette().color(QPalette::WindowText), QColor(128, 0, 128));
  EXPECT_FALSE(about.EncoderLink()->Visited());
  EXPECT_EQ(beeps, 0);
  // Each opening of the box starts unvisited.
  CAboutDlg again(prompt.Services());
  EXPECT_FALSE(again.EmailLink()->Visited());
}

TEST_F(AboutTest, ALinkThatCannotBeOpenedOnlyBeepsAndStaysBlue) {
  openSucceeds = false;
  CAboutDlg about(prompt.Services());
  about.EncoderLink()->Click();
  EXPECT_EQ(beeps, 1);
  EXPECT_FALSE(about.EncoderLink()->Visited());
  EXPECT_EQ(about.EncoderLink()->CurrentColour(), QColor(0, 0, 255));
}

TEST_F(AboutTest, TheHelpMenuOpensTheAboutBox) {
  CMainDlg window(prompt.Services(), std::make_unique<kt::FakePlayer>());
  QString title;
  kt::WhenModal([&title](QWidget* modal) {
    title = modal->windowTitle();
    kt::Control<QPushButton>(modal, "ok")->click();
  });
  window.Action(CMainDlg::kHelpAbout)->trigger();
  EXPECT_EQ(title, QStringLiteral("About Kestrune v1.1"));
}

// -------------------------------------------------------------------- Help

TEST(Help, HelpTopicsOpensTheContentsAndTopicsOpenByName) {
  kt::ScriptedPrompt prompt;
  CMainDlg window(prompt.Services(), std::make_unique<kt::FakePlayer>());
  EXPECT_EQ(window.Action(CMainDlg::kHelpTopics)->shortcut(), QKeySequence(Qt::Key_F1));
  window.Action(CMainDlg::kHelpTopics)->trigger();
  CHelpViewer* viewer = CHelpViewer::Instance();
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_EQ(viewer->Browser()->documentTitle(), QStringLiteral("Kestrune Help"));
  CHelpViewer::ShowTopic(&window, QStringLiteral("batch_convert"));
  EXPECT_EQ(CHelpViewer::Instance(), viewer);  // one help window
  EXPECT_EQ(viewer->Browser()->documentTitle(), QStringLiteral("Batch conversion"));
  // Every topic the contents page links to exists and has a title.
  for (const char* topic :
       {"opening", "playing", "selecting", "shredding", "settings", "converting", "information", "files"}) {
    viewer->GoTo(QString::fromLatin1(topic));
    EXPECT_FALSE(viewer->Browser()->documentTitle().isEmpty()) << topic;
    EXPECT_GT(viewer->Browser()->toPlainText().size(), 200) << topic;
  }
  viewer->close();
}

}  // namespace
