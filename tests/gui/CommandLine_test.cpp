// `kestrune [FILE]`, --help and --version through the real program on the
// offscreen platform.

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "Version.h"
#include "gui/MainWindowFixture.h"

namespace {

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
  void TearDown() override { process.kill(), process.waitForFinished(); }
  QTemporaryDir config;
  kt::TempDir dir;
  QProcess process;
};

TEST_F(CommandLineTest, AFileArgumentIsOpenedByItsFullPathAndASecondIsIgnored) {
  kt::MakeWavFile(dir, "Tone.wav", 0.5, 1);
  process.setArguments({QStringLiteral("Tone.wav"), QStringLiteral("Other.wav")});
  process.setReadChannel(QProcess::StandardError);
  process.start();
  // The window is drawn after the file opened.
  QString errors;
  while (!errors.contains(QStringLiteral("kestrune-trace: window up")) && process.waitForReadyRead(30000))
    errors += QString::fromLocal8Bit(process.readAllStandardError());
  const QString full = QDir(QString::fromStdString(dir.Path().string())).filePath(QStringLiteral("Tone.wav"));
  EXPECT_TRUE(errors.contains("kestrune-trace: caption Kestrune v" KESTRUNE_VERSION " - " + full + "\n"))
      << errors.toStdString();
  EXPECT_TRUE(errors.contains("kestrune: one file is opened at a time; Other.wav is ignored\n"))
      << errors.toStdString();
  // The multimedia back end's warnings do not reach the terminal.
  EXPECT_FALSE(errors.contains("qt.multimedia") || errors.contains("PulseAudioService"))
      << errors.toStdString();
  EXPECT_EQ(process.state(), QProcess::Running) << "the window stays up";
}

TEST_F(CommandLineTest, HelpVersionAndAWrongOptionPrintAndExitWithoutAWindow) {
  const std::tuple<const char*, int, QString> runs[] = {
      {"--help", 0, "The WAV or MP3 file to open."},
      {"--version", 0, "kestrune (Kestrune) " KESTRUNE_VERSION "\n"},
      {"--no-such-option", 1, "Unknown option 'no-such-option'"}};
  for (const auto& [argument, code, text] : runs) {
    process.setArguments({QString::fromLatin1(argument)});
    process.start();
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), code) << argument;
    const QString output = process.readAllStandardOutput() + process.readAllStandardError();
    EXPECT_TRUE(output.contains(text)) << output.toStdString();
    EXPECT_FALSE(output.contains(QStringLiteral("window up"))) << argument;
  }
}

// Without any display at all, help and the version still print (the toolkit
// is not started for them); into a full disk they fail with exit 1.
TEST_F(CommandLineTest, HelpAndVersionNeedNoDisplayAndFailOnAFullDisk) {
  QProcessEnvironment env = process.processEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(QString::fromLatin1(name));
  process.setProcessEnvironment(env);
  const std::pair<const char*, QString> runs[] = {
      {"--help", QStringLiteral("Report bugs to: <" KESTRUNE_CONTACT ">\n")},
      {"-v", QStringLiteral("License GPL-3.0-or-later")},
      {"--help-all", QStringLiteral("-platform")}};
  for (const auto& [argument, text] : runs) {
    process.setArguments({QString::fromLatin1(argument)});
    process.start();
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << argument;
    EXPECT_TRUE(process.readAllStandardOutput().contains(text.toUtf8())) << argument;

    process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.start();
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1) << argument;
    EXPECT_EQ(process.readAllStandardError(), "kestrune: write error: No space left on device\n");
    process.setStandardOutputFile(QString());
  }
}

}  // namespace
