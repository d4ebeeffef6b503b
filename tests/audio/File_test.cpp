// The file layer's rules for what it opens: an output is locked before it is
// emptied, and the lock lasts exactly as long as the file is open.

#include "audio/File.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace
