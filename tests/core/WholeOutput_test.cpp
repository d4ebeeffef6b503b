// Outputs written whole or not at all: while an output is written its path
// shows the old file or nothing; Close puts the whole new file there; every
// other end leaves the path as it was and no hidden file behind. Hidden
// files of dead runs go at the next output in their folder; a living
// writer's stay.

#include "core/WholeOutput.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/File.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> HiddenFiles(const kt::TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.Path()))
    if (IsWholeOutputName(entry.path().filename().string())) names.push_back(entry.path().filename());
  return names;
}

std::string Text(const std::string& path) {
  const std::vector<std::uint8_t> bytes = kt::ReadAll(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(WholeOutput, ThePathShowsTheOldFileUntilCloseAndNothingPartAfterAnyOtherEnd) {
  enum class End { Close, Abort, RemoveAndClose, Destroy, ThrowingHook };
  const struct Case {
    const char* what;
    bool existed;
    End end;
    const char* after;  // the path's text afterwards; nullptr: no file
  } cases[] = {
      {"new, closed", false, End::Close, "new bytes"},
      {"replaced, closed", true, End::Close, "new bytes"},
      {"new, aborted", false, End::Abort, nullptr},
      {"replaced, aborted", true, End::Abort, "old"},
      {"new, removed", false, End::RemoveAndClose, nullptr},
      {"replaced, removed", true, End::RemoveAndClose, "old"},
      {"new, dropped", false, End::Destroy, nullptr},
      {"replaced, dropped", true, End::Destroy, "old"},
      {"replaced, hook throws", true, End::ThrowingHook, "old"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    kt::TempDir dir;
    const std::string path = dir.File("out.wav");
    if (c.existed) kt::WriteAll(path, {'o', 'l', 'd'});
    {
      CFile out;
      ASSERT_TRUE(out.Open(path, CFile::Mode::CreateWhole));
      out.Write("new bytes", 9);
      out.Flush();
      EXPECT_EQ(fs::exists(path) ? Text(path) : "", c.existed ? "old" : "");
      ASSERT_EQ(HiddenFiles(dir).size(), 1u);
      EXPECT_EQ(dir.File(HiddenFiles(dir)[0]), out.GetWritingPath());
      switch (c.end) {
        case End::Close:
          out.Close();
          break;
        case End::Abort:
          out.Abort();
          break;
        case End::RemoveAndClose:
          EXPECT_TRUE(out.RemoveAndClose());
          break;
        case End::Destroy:
          break;
        case End::ThrowingHook:
          out.SetBeforeCommit([](const std::string&) { throw CFileException(FileCause::HardIO, "x"); });
          EXPECT_THROW(out.Close(), CFileException);
          EXPECT_TRUE(out.RemoveAndClose());
          break;
      }
    }
    EXPECT_EQ(fs::exists(path) ? Text(path) : "(none)", c.after ? c.after : "(none)");
    EXPECT_TRUE(HiddenFiles(dir).empty());
  }
}

TEST(WholeOutput, APathThatCannotBeWrittenFailsAtOnceAndStaysAsItWas) {
  kt::TempDir dir;
  const std::string locked = dir.File("locked.wav"), fifo = dir.File("fifo.wav"), folder = dir.File("folder");
  kt::WriteAll(locked, {'o', 'l', 'd'});
  CFile holder;
  ASSERT_TRUE(holder.Open(locked, CFile::Mode::CreateWhole));  // another writer of the same path
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(folder);
  const struct {
    std::string path;
    int error;
  } cases[] = {{locked, EWOULDBLOCK}, {fifo, EACCES}, {folder, EISDIR}, {dir.File("no/such.wav"), ENOENT}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    CFile out;
    EXPECT_EQ(out.Open(c.path, CFile::Mode::CreateWhole).osError, c.error);
  }
  holder.Abort();
  EXPECT_EQ(Text(locked), "old");
  EXPECT_TRUE(HiddenFiles(dir).empty());
}

TEST(WholeOutput, ALinkKeepsPointingAtItsFileWhichGetsTheNewBytes) {
  kt::TempDir dir;
  const std::string target = dir.File("target.txt"), link = dir.File("link.txt");
  kt::WriteAll(target, {'o', 'l', 'd'});
  fs::create_symlink(target, link);
  CFile out;
  ASSERT_TRUE(out.Open(link, CFile::Mode::CreateWhole));
  out.Write("new", 3);
  out.Close();
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Text(target), "new");
}

TEST(WholeOutput, TheNextOutputInAFolderRemovesDeadRunsHiddenFilesOnly) {
  kt::TempDir dir;
  const struct {
    const char* name;
    bool held;  // a living writer holds it
    bool stays;
  } files[] = {
      {".a.wav.kestrune-AbC123.part", false, false}, {".b.mp3.kestrune-zzzzzz.part", true, true},
      {"c.wav.kestrune-AbC123.part", false, true},   // not hidden: not ours
      {".d.wav.kestrune-AbC12.part", false, true},   // five letters: not ours
      {".e.wav.kestrune-AbC12!.part", false, true},  // not a letter
      {".f.wav.kestrune-AbC123.partx", false, true},
  };
  std::vector<int> holders;
  for (const auto& f : files) {
    kt::WriteAll(dir.File(f.name), {'x'});
    if (!f.held) continue;
    holders.push_back(::open(dir.File(f.name).c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(holders.back(), LOCK_EX), 0);
  }
  CFile out;
  ASSERT_TRUE(out.Open(dir.File("new.wav"), CFile::Mode::CreateWhole));
  out.Close();
  for (const auto& f : files) EXPECT_EQ(fs::exists(dir.File(f.name)), f.stays) << f.name;
  for (int fd : holders) ::close(fd);
}

TEST(WholeOutput, ALongNameStillGetsAHiddenNameInItsFolder) {
  kt::TempDir dir;
  const std::string path = dir.File(std::string(250, 'n') + ".wav");
  CFile out;
  ASSERT_TRUE(out.Open(path, CFile::Mode::CreateWhole));
  EXPECT_TRUE(IsWholeOutputName(FileNamePart(out.GetWritingPath())));
  out.Write("x", 1);
  out.Close();
  EXPECT_EQ(Text(path), "x");
}

}  // namespace
