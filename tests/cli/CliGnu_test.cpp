// kestrune-cli as GNU tools behave: usage errors name the fault and point to
// --help, --help and --version end well or fail when standard output cannot
// be written, the help shows defaults and where to report bugs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Version.h"
#include "support/CliRunner.h"
#include "support/TestSupport.h"

namespace {

const std::string kTry = "Try 'kestrune-cli --help' for more information.\n";
const std::string kVerbs = "info, shred, cut, to-mp3, to-wav, to-flac, to-16bit, to-8bit, rip, batch, waveform, split";

class CliGnu : public ::testing::Test {
 protected:
  void SetUp() override { setenv("KESTRUNE_CONFIG_DIR", dir.File("config").c_str(), 1); }
  kt::CliResult Run(const std::vector<std::string>& args, const std::string& stdoutPath = "") {
    return kt::RunCli(dir.Path().string(), args, RLIM_INFINITY, stdoutPath);
  }
  kt::TempDir dir;
};

TEST_F(CliGnu, UsageErrorsAreOneLineAndThePointerToHelpOnStandardError) {
  const struct {
    std::vector<std::string> args;
    std::string line;
  } cases[] = {
      {{}, "no verb given; the verbs are " + kVerbs},
      {{"-q"}, "no verb given; the verbs are " + kVerbs},
      {{"frobnicate", "x.wav"}, "unknown verb 'frobnicate'; the verbs are " + kVerbs},
      {{"--quiet", "Info", "x.wav"}, "unknown verb 'Info'; the verbs are " + kVerbs},
      {{"cut", "x.wav", "--from", "1"}, "--to is required"},
      {{"info"}, "FILE is required"},
      {{"to-mp3", "x.wav", "-o", "y.mp3", "--quality", "12"}, "--quality: Value 12 not in range 0 to 9"},
      {{"info", "x.wav", "--no-such-option"}, "The following argument was not expected: --no-such-option"},
      {{"cut", "x.wav", "--from", "1", "--to", "2", "-o", "-"},
       "-o -: the output must be a file; standard output carries the tool's notices"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const kt::CliResult r = Run(c.args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kestrune-cli: " + c.line + "\n" + kTry);
  }
}

TEST_F(CliGnu, HelpShowsDefaultsAndEndsWithTheBugReportAddress) {
  const std::string bugs =
      "Report bugs to: <" KESTRUNE_CONTACT ">\nKestrune home page: <" KESTRUNE_HOMEPAGE ">\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"to-mp3", "--help"}, {"batch", "--help"}, {"shred", "-h"}}) {
    const kt::CliResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_GE(r.out.size(), bugs.size());
    EXPECT_EQ(r.out.substr(r.out.size() - bugs.size()), bugs) << r.out;
  }
  const std::string toMp3 = Run({"to-mp3", "--help"}).out;
  for (const char* shown : {"=auto", "=cbr", "=5"}) EXPECT_NE(toMp3.find(shown), std::string::npos) << shown;
  // Defaults that come from the stored settings say so.
  const std::string shred = Run({"shred", "--help"}).out;
  EXPECT_NE(shred.find("(default: stored setting)"), std::string::npos);
  EXPECT_NE(Run({"batch", "--help"}).out.find("(default: one per CPU core)"), std::string::npos);
}

TEST_F(CliGnu, VersionIsTheGnuBlockWithTheLicence) {
  const kt::CliResult r = Run({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "kestrune-cli (Kestrune) " KESTRUNE_VERSION "\nCopyright (C) " KESTRUNE_COPYRIGHT_YEAR
            " " KESTRUNE_AUTHORS
            "\nLicense GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
            "This is free software: you are free to change and redistribute it.\n"
            "There is NO WARRANTY, to the extent permitted by law.\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(CliGnu, HelpAndVersionIntoAFullDiskExitOneWithTheReason) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--version"}, {"--help"}, {"cut", "--help"}}) {
    const kt::CliResult r = Run(args, "/dev/full");
    EXPECT_EQ(r.exitCode, 1) << args[0];
    EXPECT_EQ(r.err, "kestrune-cli: write error: No space left on device\n");
  }
}

}  // namespace
