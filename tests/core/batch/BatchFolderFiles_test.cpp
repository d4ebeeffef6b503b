// The files a folder gives the batch list: WAV and MP3 by the row-type rule,
// subfolders included, in name order, links to folders not followed.
#include "core/batch/BatchFolderFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

class BatchFolderFilesTest : public testing::Test {
 protected:
  void Touch(const std::string& name) {
    fs::create_directories(fs::path(dir.File(name)).parent_path());
    kt::WriteAll(dir.File(name), {0});
  }
  std::vector<std::string> Relative(const BatchFolderScan& scan) {
    EXPECT_TRUE(scan.complete);
    std::vector<std::string> names;
    for (const std::string& path : scan.files)
      names.push_back(fs::path(path).lexically_relative(dir.File("m")).string());
    return names;
  }
  kt::TempDir dir;
};

TEST_F(BatchFolderFilesTest, WavAndMp3FilesOfEveryLevelInNameOrder) {
  for (const char* name : {"m/z.wav", "m/A.MP3", "m/b.Wave", "m/notes.txt", "m/noext", "m/.wav",
                           "m/sub/c.mp3", "m/sub b/d.wav", "m/sub/deeper/e.wav", "m/sub.wav", "m/x.mp3.txt"})
    Touch(name);
  fs::create_directories(dir.File("m/empty"));
  // "sub b" sorts before "sub" by whole path, but names compare one by one:
  // the folder "sub" and its files come before "sub b".
  EXPECT_EQ(Relative(BatchFolderFiles(dir.File("m"))),
            (std::vector<std::string>{"A.MP3", "b.Wave", "sub/c.mp3", "sub/deeper/e.wav", "sub b/d.wav",
                                      "sub.wav", "z.wav"}));
}

TEST_F(BatchFolderFilesTest, LinksToFoldersAreNotFollowedAndOddPathsGiveNothing) {
  Touch("m/a.wav");
  Touch("other/b.wav");
  fs::create_directory_symlink(dir.File("m"), dir.File("m/loop"));
  fs::create_directory_symlink(dir.File("other"), dir.File("m/elsewhere"));
  fs::create_symlink(dir.File("other/b.wav"), dir.File("m/link.wav"));
  // A linked file is a file of the folder; linked folders are passed by.
  EXPECT_EQ(Relative(BatchFolderFiles(dir.File("m"))), (std::vector<std::string>{"a.wav", "link.wav"}));
  for (const std::string& path : {dir.File("m/a.wav"), dir.File("missing"), std::string()})
    EXPECT_TRUE(BatchFolderFiles(path).files.empty()) << path;
}

// A walk stops after its entry limit (folders count as entries) and says so.
TEST_F(BatchFolderFilesTest, AWalkStopsAtItsEntryLimitAndSaysSo) {
  for (const char* name : {"m/a.wav", "m/b.wav", "m/sub/c.wav", "m/sub/d.wav"}) Touch(name);
  struct Case {
    std::size_t limit;
    std::size_t found;
    bool complete;
  };
  // Five entries: a.wav, b.wav, sub, sub/c.wav, sub/d.wav.
  for (const Case& c : {Case{0, 0, false}, Case{2, 2, false}, Case{4, 3, false}, Case{5, 4, true}}) {
    const BatchFolderScan scan = BatchFolderFiles(dir.File("m"), c.limit);
    EXPECT_EQ(scan.complete, c.complete) << c.limit;
    // The entries are looked at in the folder's own order: at most found.
    EXPECT_LE(scan.files.size(), c.found) << c.limit;
    EXPECT_TRUE(!c.complete || scan.files.size() == c.found) << c.limit;
  }
}

TEST_F(BatchFolderFilesTest, AnUnreadableSubfolderIsPassedOver) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  Touch("m/a.wav");
  Touch("m/locked/b.wav");
  fs::permissions(dir.File("m/locked"), fs::perms::none);
  EXPECT_EQ(Relative(BatchFolderFiles(dir.File("m"))), (std::vector<std::string>{"a.wav"}));
  fs::permissions(dir.File("m/locked"), fs::perms::owner_all);
}

}  // namespace
