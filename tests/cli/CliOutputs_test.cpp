// What kestrune-cli reads and writes: only regular files (a FIFO never
// blocks it); an output that another writer holds is left alone, two runs on
// one output never mix their bytes; a cut must start inside the audio;
// standard output is never an output, and
// a failure to print is a failure of the run.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "audio/AudioError.h"
#include "audio/File.h"
#include "cli/CliJob.h"
#include "res/StringTable.h"
#include "support/CliRunner.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

class CliOutputs : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("KESTRUNE_CONFIG_DIR", dir_.File("config").c_str(), 1); }

  kt::CliResult Run(const std::vector<std::string>& args) { return kt::RunCli(dir_.Path().string(), args); }

  std::string Wav(const std::string& name, std::uint32_t seconds, std::uint16_t bits = 16) {
    return kt::PatternWav(dir_, name, seconds, bits);
  }

  std::string Mp3(const std::string& name, double seconds) {
    const std::string path = dir_.File(name);
    kt::WriteAll(path, kt::EncodedSine(seconds, kt::LameSpec{}));
    return path;
  }

  kt::TempDir dir_;
};

// Every verb that writes, with the file it writes first.
struct WritingRun {
  std::vector<std::string> args;
  std::string output;
};

std::vector<WritingRun> WritingRuns(const std::string& wav, const std::string& wav8, const std::string& mp3,
                                    const kt::TempDir& dir) {
  const std::string out = dir.File("held.out");
  return {
      {{"-q", "cut", wav, "--from", "0", "--to", "2", "-o", out}, out},
      {{"-q", "shred", wav, "-n", "2", "--base", dir.File("held"), "--overlap", "0", "--suffix", ""},
       dir.File("HELD-1.wav")},
      {{"-q", "to-8bit", wav, "-o", out}, out},
      {{"-q", "to-16bit", wav8, "-o", out}, out},
      {{"-q", "rip", wav, "--channels", "2", "-o", out}, out},
      {{"-q", "to-mp3", wav, "-o", out}, out},
      {{"-q", "to-wav", mp3, "-o", out}, out},
      {{"-q", "cut", mp3, "--from", "0", "--to", "2", "-o", out}, out},
      {{"-q", "shred", mp3, "-n", "2", "--base", dir.File("held"), "--overlap", "0", "--suffix", ""},
       dir.File("HELD-1.mp3")},
  };
}

// While this process writes an output, a kestrune-cli run on the same file
// fails with 103 and leaves every byte of it alone; once the writer has
// closed it, the same run succeeds.
TEST_F(CliOutputs, OutputHeldByAnotherWriterFailsWith103AndIsNotTouched) {
  const std::string wav = Wav("source.wav", 3), wav8 = Wav("eight.wav", 3, 8);
  const std::string mp3 = Mp3("song.mp3", 3);
  const Bytes mine = kt::PatternData(70000, 7);
  for (const WritingRun& run : WritingRuns(wav, wav8, mp3, dir_)) {
    SCOPED_TRACE(run.args[1] + " " + run.args[2]);
    CFile writer;
    ASSERT_TRUE(writer.Open(run.output, CFile::Mode::CreateReadWrite));
    writer.Write(mine.data(), mine.size());
    writer.Flush();
    kt::CliResult r = Run(run.args);
    EXPECT_EQ(r.exitCode, cliexit::kFailed);
    EXPECT_EQ(r.err, "kestrune-cli: " + LoadMessage(err::kCannotCreateOutput) + "\n");
    EXPECT_EQ(kt::ReadAll(run.output), mine);
    writer.Close();
    r = Run(run.args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(kt::ReadAll(run.output), mine);
    fs::remove(run.output);
  }
}

// Two different cuts started together on one output: whichever order the
// system gives them, each either writes its whole output or fails with 103,
// and the file left is exactly one of the two cuts, never a mix of them.
TEST_F(CliOutputs, TwoRunsOnOneOutputNeverMixTheirBytes) {
  kt::WavSpec layout;
  const std::string wav = kt::MakeWav(dir_, "source.wav", layout, kt::PatternData(40 * layout.ByteRate()));
  const std::string out = dir_.File("shared.wav");
  auto cut = [&](const char* from, const char* to) {
    return std::vector<std::string>{"-q", "cut", wav, "--from", from, "--to", to, "-o", out};
  };
  const std::vector<std::string> longCut = cut("0", "40"), shortCut = cut("30", "35");
  std::vector<Bytes> expected;
  for (const auto& args : {longCut, shortCut}) {
    ASSERT_EQ(Run(args).exitCode, 0);
    expected.push_back(kt::ReadAll(out));
  }
  fs::create_directory(dir_.File("a"));
  fs::create_directory(dir_.File("b"));
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    fs::remove(out);
    const pid_t other = ::fork();
    if (other == 0) ::_exit(kt::RunCli(dir_.File("a"), longCut).exitCode);
    const kt::CliResult mine = kt::RunCli(dir_.File("b"), shortCut);
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    ASSERT_TRUE(WIFEXITED(status));
    const int codes[] = {WEXITSTATUS(status), mine.exitCode};
    for (int code : codes) EXPECT_TRUE(code == 0 || code == cliexit::kFailed) << code;
    ASSERT_TRUE(codes[0] == 0 || codes[1] == 0);
    if (mine.exitCode != 0) {
      EXPECT_EQ(mine.err, "kestrune-cli: " + LoadMessage(err::kCannotCreateOutput) + "\n");
    }
    const Bytes left = kt::ReadAll(out);
    EXPECT_TRUE(left == expected[0] || left == expected[1]) << left.size() << " bytes";
    // Only a run that succeeded can have written what is left.
    EXPECT_EQ(left == expected[1] ? mine.exitCode : codes[0], 0);
  }
}

// Special files as sources give 102 and as outputs 103, at once (a FIFO
// without a writer used to block the tool forever; /dev/null swallowed the
// output with exit 0).
TEST_F(CliOutputs, SpecialFilesAreRefusedAsSourcesAndAsOutputs) {
  const std::string wav = Wav("source.wav", 2);
  const std::string fifo = dir_.File("pipe.wav");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string folder = dir_.File("folder.wav");
  fs::create_directory(folder);
  const std::string zero = dir_.File("zero.wav"), null = dir_.File("null.wav");
  fs::create_symlink("/dev/zero", zero);
  fs::create_symlink("/dev/null", null);
  const std::string cannotOpen = LoadMessage(err::kCannotOpen);
  const std::string cannotCreate = LoadMessage(err::kCannotCreateOutput);
  const struct {
    std::vector<std::string> args;
    std::string text;
  } cases[] = {
      {{"info", fifo}, cannotOpen},
      {{"info", folder}, cannotOpen},
      {{"info", zero}, cannotOpen},
      {{"-q", "cut", wav, "--from", "0", "--to", "1", "-o", fifo}, cannotCreate},
      {{"-q", "cut", wav, "--from", "0", "--to", "1", "-o", null}, cannotCreate},
      {{"-q", "to-mp3", wav, "-o", null}, cannotCreate},
      {{"-q", "to-8bit", wav, "-o", folder}, cannotCreate},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[c.args.size() - 1]);
    const kt::CliResult r = Run(c.args);
    EXPECT_EQ(r.exitCode, cliexit::kFailed);
    EXPECT_EQ(r.err, "kestrune-cli: " + c.text + "\n");
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_empty(folder));
}

// Standard output that cannot be written (a full disk behind a redirection)
// fails every verb that prints, after its work; the audio output cannot be
// standard output at all.
TEST_F(CliOutputs, StandardOutputFailuresExit1AndStandardOutputIsNoOutput) {
  const std::string wav = Wav("source.wav", 3), mp3 = Mp3("song.mp3", 3);
  const std::string out = dir_.File("out.wav");
  const std::vector<std::string> printing[] = {
      {"info", wav},
      {"info", mp3},
      {"-q", "cut", wav, "--from", "0", "--to", "1", "-o", out},
      {"-q", "shred", wav, "-n", "2", "--estimate"},
  };
  for (const auto& args : printing) {
    SCOPED_TRACE(args[args[0] == "-q" ? 1 : 0]);
    const kt::CliResult r = kt::RunCli(dir_.Path().string(), args, RLIM_INFINITY, "/dev/full");
    EXPECT_EQ(r.exitCode, cliexit::kFailed);
    EXPECT_EQ(r.err.rfind("kestrune-cli: cannot write to standard output", 0), 0u) << r.err;
  }

  const std::string redirected = dir_.File("notices.txt");
  for (const std::string& name : {std::string("-"), std::string("/dev/stdout"), std::string("/dev/fd/1"),
                                  std::string("/dev/stderr"), redirected}) {
    SCOPED_TRACE(name);
    const kt::CliResult r =
        kt::RunCli(dir_.Path().string(), {"-q", "cut", wav, "--from", "0", "--to", "1", "-o", name},
                   RLIM_INFINITY, redirected);
    EXPECT_EQ(r.exitCode, cliexit::kUsage);
    EXPECT_NE(r.err.find("-o " + name + ": the output must be a file"), std::string::npos) << r.err;
    EXPECT_EQ(fs::file_size(redirected), 0u) << "nothing written";
  }
}

// A cut that starts at or after the end is refused as a usage error that
// names the duration, and writes nothing; an end past the end is clipped.
TEST_F(CliOutputs, CutStartingAtOrPastTheEndIsAUsageErrorAndAnEndPastItIsClipped) {
  kt::WavSpec layout;
  layout.sampleRate = 8000;
  layout.channels = 1;
  const std::string wav = kt::MakeWav(dir_, "25s.wav", layout, kt::PatternData(25 * 16000));
  const std::string mp3 = Mp3("song.mp3", 4.5);
  const std::string out = dir_.File("cut.out");
  const struct {
    std::string source, from, to;
    int exitCode;
    std::string lasts;  // the duration named in a refusal
    std::uint64_t size;
  } cases[] = {
      {wav, "30", "40", cliexit::kUsage, "25.00", 0},
      {wav, "25", "26", cliexit::kUsage, "25.00", 0},
      {wav, "40", "30", cliexit::kUsage, "25.00", 0},
      {mp3, "5", "9", cliexit::kUsage, "4.", 0},
      {wav, "20", "40", cliexit::kOk, "", 44 + 5 * 16000},
      {wav, "24", "25", cliexit::kOk, "", 44 + 16000},
      {mp3, "4", "9", cliexit::kOk, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source + " " + c.from + " " + c.to);
    const kt::CliResult r = Run({"-q", "cut", c.source, "--from", c.from, "--to", c.to, "-o", out});
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    if (c.exitCode == cliexit::kUsage) {
      EXPECT_NE(r.err.find("at or after the end of the audio, which lasts " + c.lasts), std::string::npos)
          << r.err;
      EXPECT_FALSE(fs::exists(out));
    } else if (c.size != 0) {
      EXPECT_EQ(fs::file_size(out), c.size);
    } else {
      EXPECT_GT(fs::file_size(out), 1000u) << "the last half second of the MP3";
    }
    fs::remove(out);
  }
}

}  // namespace
