// `kestrune [FILE]`, --help and --version through the real program on the
// offscreen platform, and the main window as the window manager sees it.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include "Version.h"
#include "support/TestSupport.h"
#include "support/gui/FakePlayer.h"
#include "ui/MainApp.h"
#include "ui/MainDlg.h"
#include "ui/MainWindowFixture.h"

namespace {

struct Finished {
  int exitCode = -1;
  QString out, err;
};

class CommandLineTest : public testing::Test {
 protected:
  void SetUp() override {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("KESTRUNE_CONFIG_DIR"), config.path());
    env.insert(QStringLiteral("KESTRUNE_TRACE"), QStringLiteral("1"));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
    process.setProgram(QStringLiteral(KESTRUNE_GUI_PATH));
  }
  void TearDown() override {
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished(10000);
    }
  }

  Finished RunToEnd(const QStringList& arguments) {
    process.setArguments(arguments);
    process.start();
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
  }

  // Standard error of the running program until a line starts with prefix.
  QString ErrorsUntil(const QString& prefix) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000 && process.state() != QProcess::NotRunning) {
      seen_ += QString::fromLocal8Bit(process.readAllStandardError());
      const QString& seen = seen_;
      for (const QString& line : seen.split(QLatin1Char('\n')))
        if (line.startsWith(prefix)) return seen;
      process.waitForReadyRead(1000);
    }
    ADD_FAILURE() << "no line " << prefix.toStdString() << " in: " << seen_.toStdString();
    return seen_;
  }

  QTemporaryDir config;
  kt::TempDir dir;
  QProcess process;
  QString seen_;  // standard error read so far
};

TEST_F(CommandLineTest, AFileArgumentIsOpenedByItsFullPathAndASecondIsIgnored) {
  kt::MakeWavFile(dir, "Tone.wav", 0.5, 1);
  process.setArguments({QStringLiteral("Tone.wav"), QStringLiteral("Other.wav")});
  process.start();
  ASSERT_TRUE(process.waitForStarted(10000));
  ErrorsUntil(QStringLiteral("kestrune-trace: caption"));
  // The window is drawn after the file opened; the player's warnings, if
  // any got through, would come by then.
  const QString errors = ErrorsUntil(QStringLiteral("kestrune-trace: window up"));
  const QString full = QDir(QString::fromStdString(dir.Path().string())).filePath(QStringLiteral("Tone.wav"));
  EXPECT_TRUE(errors.contains(QStringLiteral("kestrune-trace: caption Kestrune v" KESTRUNE_VERSION " - ") +
                              full + "\n"))
      << errors.toStdString();
  EXPECT_TRUE(
      errors.contains(QStringLiteral("kestrune: one file is opened at a time; Other.wav is ignored\n")))
      << errors.toStdString();
  // The multimedia back end's warnings do not reach the terminal.
  EXPECT_FALSE(errors.contains(QStringLiteral("qt.multimedia"))) << errors.toStdString();
  EXPECT_FALSE(errors.contains(QStringLiteral("PulseAudioService"))) << errors.toStdString();
  EXPECT_EQ(process.state(), QProcess::Running) << "the window stays up";
}

TEST_F(CommandLineTest, HelpAndVersionPrintAndExitWithoutAWindow) {
  const Finished help = RunToEnd({QStringLiteral("--help")});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* text : {"[FILE]", "--version", "--help", "The WAV or MP3 file to open."})
    EXPECT_TRUE(help.out.contains(QString::fromLatin1(text))) << text << " in " << help.out.toStdString();
  EXPECT_FALSE(help.err.contains(QStringLiteral("kestrune-trace: window up")));

  const Finished version = RunToEnd({QStringLiteral("--version")});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, QStringLiteral("kestrune " KESTRUNE_VERSION "\n"));

  const Finished wrong = RunToEnd({QStringLiteral("--no-such-option")});
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_TRUE(wrong.err.contains(QStringLiteral("Unknown option 'no-such-option'")))
      << wrong.err.toStdString();
}

TEST(MainWindowKind, AnOrdinaryTopLevelWindowWithTheProgramsIcon) {
  CMainDlg window(std::make_unique<kt::FakePlayer>());
  window.show();
  EXPECT_EQ(window.windowType(), Qt::Window);
  EXPECT_FALSE(window.isModal());
  EXPECT_EQ(window.parentWidget(), nullptr);
  EXPECT_FALSE(window.windowIcon().isNull());
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
}

}  // namespace
