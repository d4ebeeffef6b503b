// kestrune-cli batch end to end: the real binary converting a folder two
// files at a time, with its status lines, summary, exit code and a log whose
// entries keep the order of the files named.
#include "cli/CliBatch.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>

#include "audio/AudioError.h"
#include "batch/BatchLog.h"
#include "res/StringTable.h"
#include "support/CliRunner.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

namespace fs = std::filesystem;

namespace {

class CliBatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(in);
    setenv("KESTRUNE_STATE_DIR", dir.File("state").c_str(), 1);
  }

  // Stereo 22050 Hz.
  std::string Wav(const std::string& name, std::uint32_t seconds = 1) {
    return kt::PatternWav(dir, "Music In/" + name, seconds);
  }
  static std::string Log(const std::string& path) {
    const auto bytes = kt::ReadAll(path);
    return {bytes.begin(), bytes.end()};
  }
  BatchLogEntry Entry(const std::string& name, const std::string& output, const char* convertTo,
                      const char* status, AudioError reason) const {
    return {name, in + "/", output, in + "/", convertTo, status, LoadMessage(reason)};
  }

  kt::TempDir dir;
  std::string in = dir.File("Music In");
};

TEST_F(CliBatchTest, AFolderConvertsTwoAtATimeWithTheLogInTheOrderNamed) {
  Wav("a.wav", 2);
  Wav("b.wav");
  // c.wav's output is there already (in a folder of its own, so that the
  // existing output is not a source of the run too).
  const std::string other = dir.File("other");
  fs::create_directories(other);
  fs::rename(Wav("c.wav"), other + "/c.wav");
  kt::WriteAll(other + "/c.mp3", {1, 2, 3});
  kt::WriteAll(in + "/tune.mp3", kt::EncodedSine(1.0, kt::LameSpec{}));
  Wav("x.wav");  // x.wav's output is x.mp3's source and the other way round
  kt::WriteAll(in + "/x.mp3", kt::EncodedSine(0.5, kt::LameSpec{}));
  kt::WriteAll(in + "/bad.wav", kt::PatternData(3000));
  kt::WriteAll(dir.File("notes.txt"), {'h', 'i'});
  const auto xMp3 = kt::ReadAll(in + "/x.mp3");

  const std::string log = dir.File("run.log");
  kt::CliResult r = kt::RunCli(dir.Path().string(), {"batch", in, other + "/c.wav", dir.File("notes.txt"),
                                                     "--jobs", "2", "--log", log});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  // One line per file as it ends; finishing order is free.
  std::vector<std::string> lines;
  for (std::istringstream out(r.out); std::getline(out, lines.emplace_back());) {
  }
  lines.pop_back();
  ASSERT_EQ(lines.size(), 10u) << r.out;
  EXPECT_EQ(lines[8], "4 failures encountered. 1 files not converted");
  EXPECT_EQ(lines[9], "Please view log file for more information");
  lines.resize(8);
  std::sort(lines.begin(), lines.end());
  const std::vector<std::string> expected = {
      in + "/a.wav: Done",
      in + "/b.wav: Done",
      in + "/bad.wav: Failed: " + LoadMessage(err::kNoRiffHeader),
      in + "/tune.mp3: Done",
      in + "/x.mp3: Failed: Output file cannot be the same as the source file.",
      in + "/x.wav: Failed: Output file cannot be the same as the source file.",
      dir.File("notes.txt") + ": Failed: File conversion failed - Unknown file type",
      other + "/c.wav: File Exists",
  };
  EXPECT_EQ(lines, expected);

  // Entries in the order of the files named (the folder's by name), whatever
  // order the jobs ended in.
  const std::string want =
      FormatLogEntry(Entry("bad.wav", "bad.mp3", "MP3", "Failed", err::kNoRiffHeader)) +
      FormatLogEntry(Entry("x.mp3", "x.wav", "WAV", "Failed", err::kOutputIsSource)) +
      FormatLogEntry(Entry("x.wav", "x.mp3", "MP3", "Failed", err::kOutputIsSource)) +
      FormatLogEntry({"c.wav", other + "/", "c.mp3", other + "/", "MP3", "File Exists",
                      LoadMessage(err::kBatchOutputExists)}) +
      FormatLogEntry({"notes.txt", dir.Path().string() + "/", "notes.$$$", dir.Path().string() + "/", "",
                      "Failed", LoadMessage(err::kBatchUnknownType)});
  EXPECT_EQ(Log(log), want);

  // The outputs decode to the length of their sources; no source was touched.
  const kt::DecodedMp3 a = kt::DecodeMp3(in + "/a.mp3");
  EXPECT_NEAR(a.samplesPerChannel / 22050.0, 2.0, 0.1);
  EXPECT_EQ(a.badFrames, 0u);
  EXPECT_TRUE(fs::exists(in + "/tune.wav"));
  EXPECT_EQ(kt::ReadAll(in + "/x.mp3"), xMp3);
  EXPECT_EQ(kt::ReadAll(other + "/c.mp3"), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(CliBatchTest, AnAllGoodRunIntoAnOutputFolderEndsWithTheSuccessLineInTheDefaultLog) {
  const std::string a = Wav("A.WAV"), b = Wav("b.wav");
  const std::string outDir = dir.File("out/deeper");
  kt::CliResult r = kt::RunCli(dir.Path().string(), {"batch", a, b, "--out-dir", outDir, "--jobs", "2"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("All files converted sucessfully\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(outDir + "/A.mp3") && fs::exists(outDir + "/b.mp3"));
  EXPECT_EQ(Log(dir.File("state/batchconvert.log")), "All files converted sucessfully");

  // Again: both outputs exist now (exit 1); --overwrite replaces them.
  EXPECT_EQ(kt::RunCli(dir.Path().string(), {"batch", a, b, "--out-dir", outDir}).exitCode, 1);
  r = kt::RunCli(dir.Path().string(), {"batch", a, b, "--out-dir", outDir, "--overwrite", "--jobs", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(kt::RunCli(dir.Path().string(), {"batch", "--jobs", "0", a}).exitCode, 2);
  EXPECT_EQ(kt::RunCli(dir.Path().string(), {"batch", dir.File("empty")}).exitCode, 1);
}

// Ctrl-C in a real run: the tool is interrupted once the first of two files
// has ended (read from its output as it prints), while the second converts.
TEST_F(CliBatchTest, CtrlCDuringARunStopsTheRunningFileAtItsNextBlock) {
  const std::string small = Wav("a.wav"), big = Wav("b.wav", 30);
  const std::string log = dir.File("int.log");
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::alarm(60);
    ::execl(KESTRUNE_CLI_PATH, KESTRUNE_CLI_PATH, "batch", small.c_str(), big.c_str(), "--jobs", "1", "--log",
            log.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  std::string printed;
  char c;
  while (printed.find('\n') == std::string::npos && ::read(out[0], &c, 1) == 1) printed += c;
  EXPECT_EQ(printed, small + ": Done\n");
  ::kill(pid, SIGINT);
  while (::read(out[0], &c, 1) == 1) printed += c;
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  // The second file stopped (Queued), or never started if the signal came
  // first; no summary follows.
  EXPECT_TRUE(printed == small + ": Done\n" || printed == small + ": Done\n" + big + ": Queued\n") << printed;
  EXPECT_EQ(Log(log), batchlog::kAbortLine);
}

}  // namespace
