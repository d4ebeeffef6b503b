// kestrune-cli stopped by a signal at chosen points of its run (an event the
// run causes: its hidden output appearing, its reads of the source), never
// after a sleep: SIGINT, SIGTERM and SIGHUP end every phase alike with
// 128 + the signal, one line, and no output left under way; --keep-partial
// keeps it, ended honestly; kill -9 never leaves a part under a final name,
// and the next run in the folder clears what it left.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>

#include <filesystem>

#include "core/WholeOutput.h"
#include "support/CliRunner.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

class CliSignals : public testing::Test {
 protected:
  void SetUp() override { setenv("KESTRUNE_CONFIG_DIR", dir.File("config").c_str(), 1); }
  std::size_t HiddenFiles() const {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
      count += IsWholeOutputName(entry.path().filename().string()) ? 1 : 0;
    return count;
  }
  kt::CliChild::Gate HiddenOutputAppears() const { return {dir.Path().string(), IN_CREATE, true}; }
  kt::TempDir dir;
};

TEST_F(CliSignals, EachStopSignalInEachPhaseEndsTheRunAndRemovesTheOutputUnderWay) {
  const std::string src = kt::PatternWav(dir, "long.wav", 300);
  const std::string out = dir.File("out.mp3");
  const struct Case {
    const char* what;
    std::vector<std::string> args;
    int signal;
    bool analysis;     // stopped while the source is read, before any output
    std::string line;  // empty: any line that says the output was removed
  } cases[] = {
      {"to-mp3, SIGTERM while encoding",
       {"-q", "to-mp3", src, "-o", out},
       SIGTERM,
       false,
       "kestrune-cli: stopped by SIGTERM; removed the incomplete output " + out + "\n"},
      {"to-flac, SIGINT while encoding",
       {"-q", "to-flac", src, "-o", dir.File("out.flac")},
       SIGINT,
       false,
       ""},
      {"batch, SIGHUP while converting", {"-q", "batch", src, "--log", dir.File("b.log")}, SIGHUP, false, ""},
      {"split, SIGINT while finding silences",
       {"-q", "split", src, "--silence"},
       SIGINT,
       true,
       "kestrune-cli: stopped by SIGINT\n"},
      {"split, SIGTERM while finding silences",
       {"-q", "split", src, "--silence"},
       SIGTERM,
       true,
       "kestrune-cli: stopped by SIGTERM\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    kt::CliChild::Gate gate = HiddenOutputAppears();
    if (c.analysis) gate = {src, IN_OPEN, false};
    kt::CliChild child(dir.Path().string(), c.args, gate);
    // The split's first open of its source starts its analysis, which
    // reads all of it before any piece is written. (Its second open cannot
    // be counted: inotify merges it with the first when that is unread.)
    ASSERT_TRUE(child.WaitForEvents(1)) << child.Wait().err;
    child.Signal(c.signal);
    const kt::CliResult r = child.Wait();
    EXPECT_EQ(r.exitCode, 128 + c.signal) << r.err;
    if (!c.line.empty())
      EXPECT_EQ(r.err, c.line);
    else
      EXPECT_NE(r.err.find("; removed the incomplete output "), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(HiddenFiles(), 0u);
    for (const char* name : {"out.mp3", "out.flac", "long.mp3", "long-1.wav"})
      EXPECT_FALSE(fs::exists(dir.File(name))) << name;
  }
}

TEST_F(CliSignals, KeepPartialKeepsAnHonestOutputUnderItsName) {
  const std::string src = kt::PatternWav(dir, "long.wav", 300);
  const std::string out = dir.File("out.mp3");
  kt::CliChild child(dir.Path().string(), {"-q", "--keep-partial", "to-mp3", src, "-o", out},
                     HiddenOutputAppears());
  ASSERT_TRUE(child.WaitForEvents(1));
  child.Signal(SIGHUP);
  const kt::CliResult r = child.Wait();
  EXPECT_EQ(r.exitCode, 129) << r.err;
  EXPECT_EQ(r.err, "kestrune-cli: stopped by SIGHUP; the partial output was kept\n");
  EXPECT_EQ(HiddenFiles(), 0u);
  // What was encoded, as a stream that plays: the tool reads it back whole.
  const kt::CliResult info = kt::RunCli(dir.Path().string(), {"info", out});
  EXPECT_EQ(info.exitCode, 0) << info.err;
}

TEST_F(CliSignals, KillNineAtAnyPieceLeavesOnlyWholePiecesAndTheNextRunClearsTheRest) {
  const std::string src = kt::PatternWav(dir, "long.wav", 120);
  const std::vector<std::string> args = {"-q", "shred", src, "-n", "6", "--overlap", "0", "--suffix", "_p"};
  const auto piece = [this](int i) { return dir.File("LONG_p-" + std::to_string(i) + ".wav"); };
  ASSERT_EQ(kt::RunCli(dir.Path().string(), args).exitCode, 0);
  std::vector<std::vector<std::uint8_t>> whole;
  for (int i = 1; i <= 6; ++i) {
    whole.push_back(kt::ReadAll(piece(i)));
    fs::remove(piece(i));
  }
  for (const int at : {1, 2, 4, 6}) {
    SCOPED_TRACE(at);
    {
      kt::CliChild child(dir.Path().string(), args, HiddenOutputAppears());
      if (child.WaitForEvents(at)) child.Signal(SIGKILL);
      child.Wait();
    }
    for (int i = 1; i <= 6; ++i)
      if (fs::exists(piece(i))) {
        EXPECT_EQ(kt::ReadAll(piece(i)), whole[i - 1]) << "piece " << i;
      }
    // The next run in the folder removes the dead run's hidden file and
    // writes every piece whole.
    ASSERT_EQ(kt::RunCli(dir.Path().string(), args).exitCode, 0);
    EXPECT_EQ(HiddenFiles(), 0u);
    for (int i = 1; i <= 6; ++i) {
      EXPECT_EQ(kt::ReadAll(piece(i)), whole[i - 1]) << "piece " << i;
      fs::remove(piece(i));
    }
  }
}

}  // namespace
