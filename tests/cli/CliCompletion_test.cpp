// The shell completions the tool writes from its own option tables: bash
// offers the verbs, each verb's options and the values an option allows,
// as a user pressing Tab would get them.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/CliRunner.h"
#include "support/TestSupport.h"

namespace {

std::set<std::string> Lines(const std::string& text) {
  std::set<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.insert(line);
  return lines;
}

class CliCompletion : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(kt::RunCli(dir.Path().string(), {"--completion", "bash"}, RLIM_INFINITY, script).exitCode, 0);
  }
  // What bash offers for the words typed so far (the last is being completed).
  std::set<std::string> Offered(const std::vector<std::string>& words) {
    std::string array = "kestrune-cli";
    for (const std::string& w : words) array += " '" + w + "'";
    const std::string program = "cd '" + dir.File("music") + "' && source '" + script + "'; COMP_WORDS=(" +
                                array + "); COMP_CWORD=" + std::to_string(words.size()) +
                                "; _kestrune_cli 2>/dev/null; printf '%s\\n' \"${COMPREPLY[@]}\"";
    const kt::CliResult r = kt::RunProgram(dir.Path().string(), "bash", {"--norc", "-c", program});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return Lines(r.out);
  }
  kt::TempDir dir;
  const std::string script = dir.File("kestrune-cli.bash");
};

TEST_F(CliCompletion, BashOffersVerbsOptionsAndAllowedValues) {
  // The files a user has in the folder bash runs in.
  std::filesystem::create_directory(dir.File("music"));
  kt::WriteAll(dir.File("music/song.wav"), {1});
  kt::WriteAll(dir.File("music/speech.mp3"), {1});
  const std::set<std::string> verbs = {"info",     "shred",   "cut", "to-mp3", "to-wav",
                                       "to-16bit", "to-8bit", "rip", "batch"};
  std::set<std::string> first = Offered({""});
  for (const std::string& verb : verbs) EXPECT_TRUE(first.count(verb)) << verb;
  EXPECT_TRUE(first.count("--quiet"));
  EXPECT_FALSE(first.count("--completion")) << "the build's own mode stays hidden";

  const struct {
    std::vector<std::string> words;
    std::set<std::string> offered;
  } cases[] = {
      {{"to"}, {"to-mp3", "to-wav", "to-flac", "to-16bit", "to-8bit"}},
      {{"to-mp3", "song.wav", "--m"}, {"--mode", "--mono"}},
      {{"to-mp3", "song.wav", "--mode", ""}, {"cbr", "vbr", "abr"}},
      {{"to-mp3", "song.wav", "--bitrate", "3"}, {"32", "320"}},
      {{"-q", "rip", "song.wav", "--c"}, {"--channels"}},
      {{"batch", "--o"}, {"--out-dir", "--overwrite"}},
      {{"cut", "s"}, {"song.wav", "speech.mp3"}},
      {{"cut", "song.wav", "-o", "sp"}, {"speech.mp3"}},
      {{"cut", "song.wav", "--from", ""}, {}},
      {{"shred", "song.wav", "--e"}, {"--estimate"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words.back());
    EXPECT_EQ(Offered(c.words), c.offered);
  }
}

TEST_F(CliCompletion, EveryShellHasAScriptAndAnUnknownOneIsAUsageError) {
  for (const char* shell : {"bash", "zsh", "fish"}) {
    const kt::CliResult r = kt::RunCli(dir.Path().string(), {"--completion", shell});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("kestrune-cli"), std::string::npos);
    EXPECT_NE(r.out.find("to-mp3"), std::string::npos);
  }
  // fish's quotes take a backslash before a quote, not the POSIX close-and-reopen.
  EXPECT_EQ(kt::RunCli(dir.Path().string(), {"--completion", "fish"}).out.find("'\\''"), std::string::npos);
  EXPECT_NE(kt::RunCli(dir.Path().string(), {"--completion", "fish"}).out.find("file\\'s"),
            std::string::npos);
  const kt::CliResult bad = kt::RunCli(dir.Path().string(), {"--completion", "tcsh"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_EQ(bad.err,
            "kestrune-cli: --completion takes bash, zsh or fish\nTry 'kestrune-cli --help' for more "
            "information.\n");
}

}  // namespace
