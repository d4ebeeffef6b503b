// The file layer's rules for what it opens: only regular files, never
// waiting on a FIFO; an output is locked before it is emptied, and the lock
// lasts exactly as long as the file is open.

#include "audio/File.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "support/TestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(FileOutputLock, SecondWriterFailsWithoutEmptyingTheFileUntilTheFirstCloses) {
  kt::TempDir dir;
  const std::string path = dir.File("out.wav");
  const Bytes first = kt::PatternData(3000, 1);
  CFile writer;
  ASSERT_TRUE(writer.Open(path, CFile::Mode::CreateReadWrite));
  writer.Write(first.data(), first.size());
  writer.Flush();

  CFile second;
  EXPECT_FALSE(second.Open(path, CFile::Mode::CreateReadWrite));
  EXPECT_EQ(second.LastOpenError(), EWOULDBLOCK);
  EXPECT_FALSE(second.IsOpen());
  try {
    second.OpenOrThrow(path, CFile::Mode::CreateReadWrite);
    ADD_FAILURE() << "a held output opened";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.Message(), "A sharing violation occurred while accessing " + path + ".");
  }
  EXPECT_EQ(kt::ReadAll(path), first);

  // A child process is another writer too; readers are never kept out.
  const pid_t child = ::fork();
  if (child == 0) {
    CFile other, reader;
    const bool locked =
        !other.Open(path, CFile::Mode::CreateReadWrite) && other.LastOpenError() == EWOULDBLOCK;
    ::_exit(locked && reader.Open(path, CFile::Mode::ReadShared) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  writer.Close();
  ASSERT_TRUE(second.Open(path, CFile::Mode::CreateReadWrite));
  EXPECT_EQ(second.GetLength(), 0u) << "emptied once it is ours";
  second.Abort();
  // Abort releases the lock as Close does.
  EXPECT_TRUE(second.Open(path, CFile::Mode::CreateReadWrite));
}

// A FIFO with no writer, a folder and devices are refused in both modes,
// at once: a read would block forever or never end, a write would vanish.
TEST(FileOpen, OnlyRegularFilesOpenAndAFifoNeverBlocks) {
  kt::TempDir dir;
  const std::string fifo = dir.File("pipe.wav");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string folder = dir.File("folder.wav");
  std::filesystem::create_directory(folder);
  const std::string linkToNull = dir.File("null.wav");
  std::filesystem::create_symlink("/dev/null", linkToNull);
  const struct {
    std::string path;
    int err;
  } cases[] = {{fifo, EACCES}, {folder, EISDIR}, {linkToNull, EACCES}, {"/dev/zero", EACCES}};
  ::alarm(30);  // a blocked open ends the test instead of hanging it
  for (const auto& c : cases) {
    for (CFile::Mode mode : {CFile::Mode::ReadShared, CFile::Mode::CreateReadWrite}) {
      SCOPED_TRACE(c.path + (mode == CFile::Mode::ReadShared ? " read" : " write"));
      CFile file;
      EXPECT_FALSE(file.Open(c.path, mode));
      EXPECT_EQ(file.LastOpenError(), c.err);
    }
  }
  ::alarm(0);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

}  // namespace
