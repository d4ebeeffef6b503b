// kestrune-cli batch end to end: the real binary converting a folder two
// files at a time, with its status lines, exit codes, Ctrl-C and a log whose
// entries keep the order of the files named. Outcomes, summaries and log
// texts are the engine test's.
#include "cli/CliBatch.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "core/AudioError.h"
#include "core/StringTable.h"
#include "core/batch/BatchLog.h"
#include "support/CliRunner.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

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
  kt::WriteAll(in + "/tune.mp3", kt::EncodedSine(1.0, kt::LameSpec{}));
  Wav("x.wav");  // x.wav's output is x.mp3's source and the other way round
  kt::WriteAll(in + "/x.mp3", kt::EncodedSine(0.5, kt::LameSpec{}));
  kt::WriteAll(in + "/bad.wav", kt::PatternData(3000));
  const auto xMp3 = kt::ReadAll(in + "/x.mp3");

  const std::string log = dir.File("run.log");
  kt::CliResult r = kt::RunCli(dir.Path().string(), {"batch", in, "--jobs", "2", "--log", log});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  // One line per file as it ends; finishing order is free.
  std::vector<std::string> lines;
  for (std::istringstream out(r.out); std::getline(out, lines.emplace_back());) {
  }
  lines.pop_back();
  ASSERT_EQ(lines.size(), 6u) << r.out;  // then the summary
  lines.resize(5);
  std::sort(lines.begin(), lines.end());
  const std::vector<std::string> expected = {
      in + "/a.wav: Done",
      in + "/bad.wav: Failed: " + LoadMessage(err::kNoRiffHeader),
      in + "/tune.mp3: Done",
      in + "/x.mp3: Failed: Output file cannot be the same as the source file.",
      in + "/x.wav: Failed: Output file cannot be the same as the source file.",
  };
  EXPECT_EQ(lines, expected);

  // Entries in the order of the files named (the folder's by name), whatever
  // order the jobs ended in: bad.wav fails only once it runs, after the
  // x files were refused.
  const std::string want = FormatLogEntry(Entry("bad.wav", "bad.mp3", "MP3", "Failed", err::kNoRiffHeader)) +
                           FormatLogEntry(Entry("x.mp3", "x.wav", "WAV", "Failed", err::kOutputIsSource)) +
                           FormatLogEntry(Entry("x.wav", "x.mp3", "MP3", "Failed", err::kOutputIsSource));
  EXPECT_EQ(Log(log), want);

  // Both ways converted (the window test decodes them); no source was touched.
  EXPECT_TRUE(fs::exists(in + "/a.mp3") && fs::exists(in + "/tune.wav"));
  EXPECT_EQ(kt::ReadAll(in + "/x.mp3"), xMp3);
}

// Exit codes: 0 all converted (into a new output folder, the log at its
// default place), 1 outputs exist or nothing found, 2 a usage error.
TEST_F(CliBatchTest, ExitCodesAndTheDefaultLog) {
  const std::string a = Wav("A.WAV"), b = Wav("b.wav"), outDir = dir.File("out/deeper");
  const auto exitCode = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "batch");
    return kt::RunCli(dir.Path().string(), args).exitCode;
  };
  EXPECT_EQ(exitCode({a, b, "--out-dir", outDir, "--jobs", "2"}), 0);
  EXPECT_TRUE(fs::exists(outDir + "/A.mp3") && fs::exists(outDir + "/b.mp3"));
  EXPECT_EQ(Log(dir.File("state/batchconvert.log")), batchlog::kSuccessLine);
  EXPECT_EQ(exitCode({a, b, "--out-dir", outDir}), 1);
  EXPECT_EQ(exitCode({a, b, "--out-dir", outDir, "--overwrite", "--jobs", "1"}), 0);
  EXPECT_EQ(exitCode({"--jobs", "0", a}), 2);
  EXPECT_EQ(exitCode({dir.File("empty")}), 1);
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

// A hard link is the file it names: x.wav's output x.mp3 is y.mp3 under
// another name, so x.wav is refused at any number of jobs and y.mp3 stays as
// it was (it still converts to y.wav).
TEST_F(CliBatchTest, AnOutputHardLinkedToASourceIsRefusedAtAnyNumberOfJobs) {
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(jobs);
    fs::remove_all(in);
    fs::create_directories(in);
    const std::string x = Wav("x.wav"), y = in + "/y.mp3";
    kt::WriteAll(y, kt::EncodedSine(0.5, kt::LameSpec{}));
    fs::create_hard_link(y, in + "/x.mp3");
    const auto before = kt::ReadAll(y);
    const kt::CliResult r = kt::RunCli(
        dir.Path().string(), {"batch", x, y, "--overwrite", "--jobs", jobs, "--log", dir.File("l")});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find(x + ": Failed: " + LoadMessage(err::kOutputIsSource)), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(y + ": Done"), std::string::npos) << r.out;
    EXPECT_EQ(kt::ReadAll(y), before);
  }
}

// --log naming a file of the run, by its own name or another, is a usage
// error found before anything is opened: the file keeps its bytes and no
// output is written. A log elsewhere runs.
TEST_F(CliBatchTest, ALogNamingASourceOrAnOutputIsAUsageError) {
  const std::string a = Wav("a.wav"), c = in + "/c.mp3";
  kt::WriteAll(c, kt::EncodedSine(0.5, kt::LameSpec{}));
  fs::create_directories(dir.File("links"));
  fs::create_hard_link(c, dir.File("links/hard.mp3"));
  fs::create_symlink(a, dir.File("links/soft.wav"));
  fs::create_symlink(in + "/a.mp3", dir.File("links/to-output.log"));  // the output is not there yet
  const std::string list = dir.File("list.txt");
  kt::WriteAll(list, {'a', '.', 'w', 'a', 'v', '\n', 'c', '.', 'm', 'p', '3', '\n'});
  struct Case {
    const char* what;
    std::string log;
    int exitCode;
    bool inFolder = false;  // the run starts in the sources' folder, which it names by bare names
  };
  const Case cases[] = {
      {"a source", c, 2},
      {"a source through ..", in + "/../Music In/a.wav", 2},
      {"a hard link to a source", dir.File("links/hard.mp3"), 2},
      {"a symbolic link to a source", dir.File("links/soft.wav"), 2},
      {"an output yet to be written", in + "/a.mp3", 2},
      {"an output that exists", in + "/c.wav", 2},
      {"a file of its own", dir.File("own.log"), 0},
      {"an output yet to be written, by a bare name", "a.mp3", 2, true},
      {"a link to an output yet to be written", dir.File("links/to-output.log"), 2},
      {"the file list", list, 2, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    fs::remove(in + "/a.mp3");
    kt::WriteAll(in + "/c.wav", {7});
    const auto before = fs::exists(k.log) ? kt::ReadAll(k.log) : std::vector<std::uint8_t>{};
    const auto sources = std::make_pair(kt::ReadAll(a), kt::ReadAll(c));
    std::vector<std::string> args = {"batch", a, c, "--overwrite", "--log", k.log};
    const fs::path started = fs::current_path();
    if (k.inFolder) {
      fs::current_path(in);
      args = {"batch", "--files-from", list, "--overwrite", "--log", k.log};
    }
    const kt::CliResult r = kt::RunCli(dir.Path().string(), args);
    fs::current_path(started);
    EXPECT_EQ(r.exitCode, k.exitCode) << r.out << r.err;
    EXPECT_EQ(std::make_pair(kt::ReadAll(a), kt::ReadAll(c)), sources);
    if (k.exitCode == 0) continue;
    EXPECT_EQ(r.err, "kestrune-cli: --log " + k.log +
                         ": the log cannot be a source, an output or the file list of the run\n");
    EXPECT_FALSE(fs::exists(in + "/a.mp3"));
    if (fs::exists(in + "/" + k.log) || fs::exists(k.log)) {
      EXPECT_EQ(kt::ReadAll(k.inFolder && k.log[0] != '/' ? in + "/" + k.log : k.log), before);
    }
  }
}

// A clock that moves 1.25 s every time it is read.
class SteppingClock : public CClock {
 public:
  TimePoint Now() const override { return TimePoint{} + std::chrono::milliseconds(1250) * ++reads_; }
  int Reads() const { return reads_; }

 private:
  mutable std::atomic<int> reads_{0};
};

TEST_F(CliBatchTest, EachFilesSecondsAreTheTimeOfItsOwnConversion) {
  Wav("a.wav");
  Wav("b.wav");
  Wav("c.wav");
  CliBatchOptions options;
  options.inputs = {in};
  options.outDir = dir.File("out");
  options.jobs = 1;
  options.json = true;
  options.quiet = true;
  options.logPath = dir.File("run.log");
  SteppingClock clock;
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(RunCliBatch(options, out, err, clock), 0);
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  std::fclose(err);
  // One start and one end reading per file: each file took one step of the
  // clock, however long the run before it was.
  EXPECT_EQ(clock.Reads(), 6);
  std::istringstream lines(text);
  int files = 0;
  for (std::string line; std::getline(lines, line); ++files)
    EXPECT_NE(line.find("\"seconds\":1.25"), std::string::npos) << line;
  EXPECT_EQ(files, 3);
}

}  // namespace

namespace {

// An existing output is a whole one: --skip-existing counts it as done
// (Skipped, exit 0) and leaves it as it is; without the option it is held
// back for --overwrite as before; an output another file of the same run
// claims is never taken for done.
TEST_F(CliBatchTest, SkipExistingCountsAnOutputThatExistsAsDone) {
  const std::string a = Wav("a.wav"), b = Wav("b.wav");
  kt::WriteAll(in + "/a.mp3", kt::EncodedSine(0.5, kt::LameSpec{}));
  const auto before = kt::ReadAll(in + "/a.mp3");
  const struct {
    const char* what;
    std::vector<std::string> args;
    int exitCode;
    std::string lines;
  } cases[] = {
      {"held back", {a, b}, 1, a + ": File Exists\n" + b + ": Done\n"},
      {"skipped", {a, b, "--skip-existing"}, 0, a + ": Skipped\n" + b + ": Skipped\n"},
      {"with --overwrite", {a, "--skip-existing", "--overwrite"}, 2, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = {"-q", "batch", "--jobs", "1", "--log", dir.File("x.log")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const kt::CliResult r = kt::RunCli(dir.Path().string(), args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    if (c.exitCode != 2) {
      EXPECT_EQ(r.out.substr(0, c.lines.size()), c.lines);
    }
    EXPECT_EQ(kt::ReadAll(in + "/a.mp3"), before);
  }
  // Two sources of one output: the second is held back, not skipped.
  const std::string c = Wav("c.wav");
  fs::remove(in + "/c.mp3");
  const kt::CliResult r = kt::RunCli(dir.Path().string(), {"-q", "batch", "--jobs", "1", "--skip-existing", c,
                                                           c, "--log", dir.File("y.log")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find(c + ": File Exists\n"), std::string::npos) << r.out;
}

// A run a signal ended, run again with --skip-existing, converts what it
// had not: every output is there and whole, and the re-run ends 0.
TEST_F(CliBatchTest, ARunStoppedBySignalCompletesWhenRunAgainWithSkipExisting) {
  std::vector<std::string> args = {"-q",    "batch",          "--jobs", "1", "--skip-existing",
                                   "--log", dir.File("r.log")};
  for (const char* name : {"1.wav", "2.wav", "3.wav", "4.wav"}) args.push_back(Wav(name, 20));
  {
    kt::CliChild child(dir.Path().string(), args, {in, IN_CREATE, true});
    ASSERT_TRUE(child.WaitForEvents(2));  // the second file is being converted
    child.Signal(SIGTERM);
    EXPECT_EQ(child.Wait().exitCode, 143);
  }
  EXPECT_TRUE(fs::exists(in + "/1.mp3"));
  EXPECT_FALSE(fs::exists(in + "/2.mp3"));
  const kt::CliResult again = kt::RunCli(dir.Path().string(), args);
  EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_NE(again.out.find(in + "/1.wav: Skipped\n"), std::string::npos) << again.out;
  EXPECT_NE(again.out.find(in + "/2.wav: Done\n"), std::string::npos) << again.out;
  for (const char* name : {"1.mp3", "2.mp3", "3.mp3", "4.mp3"}) {
    const kt::CliResult info = kt::RunCli(dir.Path().string(), {"info", in + "/" + name});
    EXPECT_EQ(info.exitCode, 0) << name;
    EXPECT_NE(info.out.find("Play Duration - 20.00"), std::string::npos) << name << info.out;
  }
}

}  // namespace

namespace {

// A log that cannot be written is said at once; the conversions go on.
TEST_F(CliBatchTest, ALogThatCannotBeWrittenIsSaid) {
  const std::string a = Wav("a.wav");
  kt::WriteAll(dir.File("plain"), {1});
  const std::string log = dir.File("plain/batch.log");  // a file is no folder
  const kt::CliResult r = kt::RunCli(dir.Path().string(), {"-q", "batch", a, "--log", log});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("--log " + log + ": the log cannot be written"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(in + "/a.mp3"));
}

}  // namespace
