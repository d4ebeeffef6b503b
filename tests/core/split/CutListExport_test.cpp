// Writing the cut-list exports and reading cue sheets go through the file
// layer: special files are refused at once (no wait for a FIFO's other end),
// an export onto a file another writer holds fails before a byte of it
// changes, and an export replaces what a file held before.

#include "core/split/CutListExport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "core/split/CueSheet.h"
#include "support/TestSupport.h"

namespace {

// The failure an action ends with; its code 0 and an empty text when none.
struct Failure {
  AudioError code = err::kNone;
  std::string text;
};

Failure FailureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const CAudioFailure& e) {
    return {e.Code(), e.Text()};
  }
  return {};
}

class CutListExportTest : public ::testing::Test {
 protected:
  kt::TempDir dir;
};

TEST_F(CutListExportTest, SpecialFilesAreRefusedAtOnceWithTheirName) {
  const std::string fifo = dir.File("pipe.cue");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  struct Case {
    const char* what;
    std::string path;
    std::function<void(const std::string&)> action;
    AudioError code;
    std::string text;
  };
  const auto read = [](const std::string& path) { split::ReadCueSheet(path); };
  const auto write = [](const std::string& path) { split::WriteTextFile(path, "cuts\n"); };
  const Case cases[] = {
      // Without a writer, opening the FIFO to read would wait for ever.
      {"a FIFO as cue sheet", fifo, read, err::kCueSheet, fifo + ": cannot open the cue sheet"},
      {"a folder as cue sheet", dir.Path().string(), read, err::kCueSheet,
       dir.Path().string() + ": cannot open the cue sheet"},
      // Without a reader, opening the FIFO to write would wait for ever.
      {"a FIFO as export", fifo, write, err::kExport, fifo + ": cannot create the file: Permission denied"},
      {"a device as export", "/dev/null", write, err::kExport,
       "/dev/null: cannot create the file: Permission denied"},
      {"a folder as export", dir.Path().string(), write, err::kExport,
       dir.Path().string() + ": cannot create the file: Is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Failure failure = FailureOf([&] { c.action(c.path); });
    EXPECT_EQ(failure.code, c.code);
    EXPECT_EQ(failure.text, c.text);
  }
  struct stat st {};
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(CutListExportTest, AnExportOntoAFileAnotherWriterHoldsFailsAndLeavesItUntouched) {
  const std::string path = dir.File("cuts.cue");
  const std::vector<std::uint8_t> held = {'b', 'e', 'i', 'n', 'g', ' ', 'w', 'r', 'i', 't', 't', 'e', 'n'};
  kt::WriteAll(path, held);
  // Another writer: its own open of the file, locked as every output is.
  const int other = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  const Failure failure = FailureOf([&] { split::WriteTextFile(path, "TRACK 01\n"); });
  EXPECT_EQ(failure.code, err::kExport);
  EXPECT_EQ(failure.text,
            path + ": cannot create the file: another writer holds it locked; it was left as it is");
  EXPECT_EQ(kt::ReadAll(path), held);
  ::close(other);
  // Once the writer is done the export goes through.
  split::WriteTextFile(path, "TRACK 01\n");
  EXPECT_EQ(kt::ReadAll(path), (std::vector<std::uint8_t>{'T', 'R', 'A', 'C', 'K', ' ', '0', '1', '\n'}));
}

TEST_F(CutListExportTest, AnExportReplacesALongerFileWhole) {
  const std::string path = dir.File("cuts.txt");
  kt::WriteAll(path, std::vector<std::uint8_t>(5000, 'x'));
  split::WriteTextFile(path, "0.000000\t1.000000\tone\n");
  const std::string expected = "0.000000\t1.000000\tone\n";
  EXPECT_EQ(kt::ReadAll(path), std::vector<std::uint8_t>(expected.begin(), expected.end()));
}

}  // namespace
