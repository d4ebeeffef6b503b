// The mapped view the index pass walks: it shows the file's bytes, and a
// file that shrinks under it turns a read of the lost part into a false
// result on the reading thread instead of ending the process, while a bus
// error anywhere else keeps its default course.

#include "core/MappedFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "core/File.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

// The system's page: what a file that shrinks loses from a map, a page at a time.
const std::size_t kPage = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));

// Sums bytes [from, to) of the map, in plain data as a guarded read must.
struct SumRead {
  const CMappedFile* map;
  std::uint64_t from, to;
  std::uint64_t sum;
};

void Sum(void* context) {
  auto& read = *static_cast<SumRead*>(context);
  for (std::uint64_t at = read.from; at < read.to; ++at) read.sum += *read.map->At(at);
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t k = 0; k < size; ++k) bytes[k] = static_cast<std::uint8_t>(k * 7 + 3);
  return bytes;
}

std::uint64_t SumOf(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to) {
  std::uint64_t sum = 0;
  for (std::size_t k = from; k < to; ++k) sum += bytes[k];
  return sum;
}

TEST(MappedFile, ReadsOfWhatTheFileStillHoldsSucceedAndReadsOfWhatItLostAreRefused) {
  kt::TempDir dir;
  const std::string path = dir.File("mapped.bin");
  const std::vector<std::uint8_t> bytes = Pattern(16 * kPage);
  kt::WriteAll(path, bytes);
  CFile file;
  ASSERT_TRUE(file.Open(path, CFile::Mode::ReadShared));
  // An offset off the page grid, as an audio start after a tag is.
  const CMappedFile map(file, 1000, bytes.size() - 1000);
  ASSERT_TRUE(map.IsMapped());
  fs::resize_file(path, 6 * kPage + 10);  // shrinks after mapping: pages 7 on are gone
  const struct {
    std::uint64_t from, to;
    bool whole;
  } reads[] = {
      {1000, 2000, true},                 // the first bytes
      {1000, 6 * kPage + 10, true},       // up to the new end
      {5 * kPage, 7 * kPage, true},       // the rest of the last page reads as zeros
      {7 * kPage, 7 * kPage + 1, false},  // the first lost page
      {6 * kPage, 16 * kPage, false},     // a read that runs into the loss
      {1000, 1001, true},                 // and reads after a refused one work again
  };
  for (const auto& r : reads) {
    SCOPED_TRACE(testing::Message() << r.from << ".." << r.to);
    SumRead read{&map, r.from, r.to, 0};
    EXPECT_EQ(map.Guarded(Sum, &read), r.whole);
    if (r.whole && r.to <= 6 * kPage + 10) {
      EXPECT_EQ(read.sum, SumOf(bytes, r.from, r.to));
    }
  }
}

TEST(MappedFile, AGuardOnOneThreadDoesNotCatchABusErrorOnAnother) {
  kt::TempDir dir;
  const std::string path = dir.File("mapped.bin");
  kt::WriteAll(path, Pattern(4 * kPage));
  CFile file;
  ASSERT_TRUE(file.Open(path, CFile::Mode::ReadShared));
  const CMappedFile map(file, 0, 4 * kPage);
  ASSERT_TRUE(map.IsMapped());
  fs::resize_file(path, kPage);
  // Guarded reads install the handler; an unguarded read of a lost page
  // must still end the process, not be swallowed (with the signal, or by
  // the sanitizer's report when that handled the signal before).
  SumRead guarded{&map, 2 * kPage, 2 * kPage + 1, 0};
  ASSERT_FALSE(map.Guarded(Sum, &guarded));
  EXPECT_DEATH(
      {
        std::thread other([&] {
          const volatile std::uint8_t* lost = map.At(3 * kPage);
          static_cast<void>(*lost);
        });
        other.join();
        std::_Exit(0);
      },
      "");
}

TEST(MappedFile, AnEmptyStretchOrAClosedFileIsNotMapped) {
  kt::TempDir dir;
  const std::string path = dir.File("mapped.bin");
  kt::WriteAll(path, Pattern(kPage));
  CFile file;
  EXPECT_FALSE(CMappedFile(file, 0, kPage).IsMapped());
  ASSERT_TRUE(file.Open(path, CFile::Mode::ReadShared));
  EXPECT_FALSE(CMappedFile(file, 0, 0).IsMapped());
  EXPECT_TRUE(CMappedFile(file, 10, 100).IsMapped());
}

}  // namespace
