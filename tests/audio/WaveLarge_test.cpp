// WAV files past 4 GiB: 0xFFFFFFFF sizes that mean "to the end of the file".
// The files are sparse (their audio is a hole with a few marked stretches),
// so they take no disk space and the tests stay fast.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "audio/WaveFile.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint64_t kFiveGiB = 5ull << 30;
constexpr std::uint32_t kByteRate = 176400;  // 16-bit stereo at 44100 Hz

// Writes header, extends the file to header + dataSize bytes without
// allocating them, and writes marks (data offset, bytes) into the hole.
std::string MakeSparse(const kt::TempDir& dir, const std::string& name, const Bytes& header,
                       std::uint64_t dataSize,
                       const std::vector<std::pair<std::uint64_t, Bytes>>& marks = {}) {
  const std::string path = dir.File(name);
  kt::WriteAll(path, header);
  fs::resize_file(path, header.size() + dataSize);
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  for (const auto& [at, bytes] : marks) {
    f.seekp(static_cast<std::streamoff>(header.size() + at));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  return path;
}

// The canonical header with both sizes set to the streaming mark.
Bytes StreamingHeader() {
  Bytes h = kt::CanonicalHeader(2, 44100, 16, 0);
  for (std::size_t at : {4u, 40u}) std::fill(h.begin() + at, h.begin() + at + 4, 0xFF);
  return h;
}

TEST(WaveLarge, StreamingSizesMeanToTheEndOfTheFileAlsoPast4GiB) {
  kt::TempDir dir;
  const Bytes mark = kt::PatternData(kByteRate);
  const std::string source =
      MakeSparse(dir, "stream.wav", StreamingHeader(), kFiveGiB, {{std::uint64_t{25000} * kByteRate, mark}});
  CWaveFile wav(source, nullptr);
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_EQ(wav.GetDataSize(), kFiveGiB);
  EXPECT_EQ(wav.GetHeaderDataSize(), 0xFFFFFFFFu);
  EXPECT_DOUBLE_EQ(wav.GetDuration(), static_cast<double>(kFiveGiB) / kByteRate);

  const std::string out = dir.File("at 25000 s.wav");
  ASSERT_EQ(wav.SaveSelection(out, 25000, 25001, nullptr), 0u);
  Bytes want = kt::CanonicalHeader(2, 44100, 16, kByteRate);
  want.insert(want.end(), mark.begin(), mark.end());
  EXPECT_EQ(kt::ReadAll(out), want);
}

}  // namespace
