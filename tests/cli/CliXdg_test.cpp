// Where kestrune-cli keeps its files, by the XDG base directory rules: verbs
// that only read create nothing in the home folder, and a relative
// XDG_CONFIG_HOME or XDG_STATE_HOME is ignored.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "support/CliRunner.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> Tree(const std::string& folder) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    files.insert(fs::relative(entry.path(), folder).string());
  return files;
}

class CliXdg : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(home);
    fs::create_directories(work);
    setenv("HOME", home.c_str(), 1);
    for (const char* name :
         {"KESTRUNE_CONFIG_DIR", "KESTRUNE_STATE_DIR", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
      unsetenv(name);
    // The tool runs in work: a relative folder would land there.
    fs::current_path(work);
  }
  void TearDown() override {
    fs::current_path(before);
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME"}) unsetenv(name);
  }
  const fs::path before = fs::current_path();
  kt::TempDir dir;
  const std::string home = dir.File("home"), work = dir.File("work");
};

TEST_F(CliXdg, ReadingVerbsCreateNothing) {
  kt::WavSpec layout;
  const std::string wav = kt::MakeWav(dir, "work/tone.wav", layout, kt::Sine16(44100 * 4, 2, 44100, 440.0));
  for (const std::vector<std::string>& args : {std::vector<std::string>{"info", wav},
                                               {"info", "--json", wav},
                                               {"shred", wav, "-n", "2", "--estimate"},
                                               {"shred", wav, "-n", "2", "--estimate", "--json"}}) {
    const kt::CliResult r = kt::RunCli(work, args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Tree(home).empty()) << args[0];
  }
  EXPECT_EQ(Tree(work), (std::set<std::string>{"tone.wav", "stdout.txt", "stderr.txt"}));
}

TEST_F(CliXdg, RelativeXdgFoldersAreIgnored) {
  kt::WavSpec layout;
  const std::string wav = kt::MakeWav(dir, "work/tone.wav", layout, kt::Sine16(4410, 2, 44100, 440.0));
  setenv("XDG_CONFIG_HOME", "relative-config", 1);
  setenv("XDG_STATE_HOME", "relative-state", 1);
  // A batch that fails writes its log; the default place is under HOME.
  kt::WriteAll(dir.File("work/tone.mp3"), {1});
  const kt::CliResult r = kt::RunCli(work, {"-q", "batch", wav});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_FALSE(fs::exists(fs::path(work) / "relative-state"));
  EXPECT_FALSE(fs::exists(fs::path(work) / "relative-config"));
  EXPECT_TRUE(fs::exists(home + "/.local/state/Kestrune/batchconvert.log"));

  // Absolute ones are used.
  setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
  EXPECT_EQ(kt::RunCli(work, {"-q", "batch", wav}).exitCode, 1);
  EXPECT_TRUE(fs::exists(dir.File("state/Kestrune/batchconvert.log")));
}

}  // namespace
