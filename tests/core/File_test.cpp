// The buffered reads of the file object: whatever mix of moves and small,
// middling and large reads the header probes and decoders make, every byte
// read is the file's byte at that place, across the first fill after a move,
// the full fills that follow it, and the end of the file.

#include "core/File.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t k = 0; k < size; ++k) bytes[k] = static_cast<std::uint8_t>((k * 131) ^ (k >> 11));
  return bytes;
}

TEST(FileRead, EveryReadAfterAnyMoveGivesTheFilesBytes) {
  kt::TempDir dir;
  const std::string path = dir.File("pattern.bin");
  const std::vector<std::uint8_t> bytes = Pattern(3 * CFile::kBufferSize + 777);
  kt::WriteAll(path, bytes);
  CFile file;
  ASSERT_TRUE(file.Open(path, CFile::Mode::ReadShared));
  const std::size_t first = CFile::kFirstFill, size = bytes.size();
  const struct {
    std::int64_t seek;  // -1: go on from where the last read ended
    std::size_t count;
  } steps[] = {
      {0, 4},                                    // a header probe at the start
      {-1, first - 4},                           // the rest of the first fill
      {-1, 10},                                  // the next fill is a whole buffer
      {-1, CFile::kBufferSize},                  // straight through: larger than half the buffer
      {123456, 4},                               // a probe in the middle
      {123456 - 3, 8},                           // a step back across the probe
      {200000, first + 5},                       // one read across the first fill's end
      {-1, 3 * first},                           // going on: full fills
      {static_cast<std::int64_t>(size) - 6, 4},  // near the end
      {-1, 100},                                 // past the end: only what is there
      {static_cast<std::int64_t>(size), 4},      // at the end: nothing
      {5, CFile::kBufferSize / 2 - 1},           // just under a direct read
  };
  std::size_t at = 0;
  for (const auto& step : steps) {
    if (step.seek >= 0) {
      file.Seek(step.seek, CFile::From::Begin);
      at = static_cast<std::size_t>(step.seek);
    }
    SCOPED_TRACE(testing::Message() << "read " << step.count << " at " << at);
    std::vector<std::uint8_t> got(step.count);
    const std::size_t n = file.Read(got.data(), got.size());
    const std::size_t expected = std::min(step.count, size - at);
    ASSERT_EQ(n, expected);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(n),
                           bytes.begin() + static_cast<std::ptrdiff_t>(at)));
    at += n;
    EXPECT_EQ(file.GetPosition(), at);
  }
}

}  // namespace
