#include "audio/Mp3FrameIndex.h"

#include <gtest/gtest.h>

#include "audio/ApeTag.h"
#include "support/TestSupport.h"

namespace {

// Boundaries the engine tests do not reach: a second that falls exactly on
// a frame start, junk after a frame, reaching back past the first frame.
TEST(Mp3FrameIndex, FramesAtTheBoundaries) {
  // 48000 Hz, 1152 samples a frame: 24 s is frame 1000 exactly, 1 s is 41.67 frames.
  mp3::FrameIndex index(1152, 48000, 500, 500 + 2000 * 300);
  for (std::uint64_t k = 0; k < 2000; ++k) ASSERT_TRUE(index.Add(500 + k * 300 + (k > 7 ? 3 : 0)));
  EXPECT_EQ(index.FrameHolding(24), 1000u);
  EXPECT_EQ(index.FrameFrom(24), 1000u);
  EXPECT_EQ(index.FrameHolding(1), 41u);
  EXPECT_EQ(index.FrameFrom(1), 42u);
  EXPECT_EQ(index.FrameHolding(100), 2000u) << "past the end";
  EXPECT_EQ(index.FrameBefore(1000, 1), 958u);  // 958.33
  EXPECT_EQ(index.FrameBefore(1000, 24), 0u);
  EXPECT_EQ(index.FrameBefore(10, 1), 0u) << "never before the first frame";
  EXPECT_EQ(index.FrameAtByte(500 + 7 * 300 + 300 + 2), 7u) << "the 3 junk bytes after frame 7 belong to it";
  EXPECT_EQ(index.FrameAtByte(500 + 8 * 300 + 3), 8u);
  EXPECT_EQ(index.Offset(2000), 500u + 2000 * 300) << "the end of the audio";
  EXPECT_DOUBLE_EQ(index.Seconds(), 48.0);
}

TEST(Mp3FrameIndex, MemoryIsBounded) {
  mp3::FrameIndex index(1152, 44100, 100, UINT64_MAX);
  EXPECT_FALSE(index.Add(99)) << "before the audio";
  EXPECT_FALSE(index.Add(100 + std::uint64_t{UINT32_MAX} + 1)) << "beyond what four bytes hold";
  for (std::size_t k = 0; k < mp3::FrameIndex::kMaxFrames; ++k) ASSERT_TRUE(index.Add(100 + k));
  EXPECT_FALSE(index.Add(100 + mp3::FrameIndex::kMaxFrames));
  index.Clear();
  EXPECT_TRUE(index.Empty());
}

std::vector<std::uint8_t> Footer(const char* preamble, std::uint32_t version, std::uint32_t size,
                                 std::uint32_t flags) {
  std::vector<std::uint8_t> b(preamble, preamble + 8);
  kt::PutLe32(b, version);
  kt::PutLe32(b, size);
  kt::PutLe32(b, 1);  // items
  kt::PutLe32(b, flags);
  b.resize(32, 0);
  return b;
}

TEST(ApeTag, OnlyAWellFormedFooterWhoseTagFitsIsATag) {
  constexpr std::uint32_t kHasHeader = 1u << 31, kIsHeader = 1u << 29;
  const struct {
    const char* what;
    std::vector<std::uint8_t> footer;
    std::uint64_t before;
    std::uint64_t length;
  } cases[] = {
      {"v2 with header", Footer("APETAGEX", 2000, 100, kHasHeader), 1000, 132},
      {"v2 without header", Footer("APETAGEX", 2000, 100, 0), 1000, 100},
      {"v1 never has a header", Footer("APETAGEX", 1000, 100, kHasHeader), 1000, 100},
      {"footer only", Footer("APETAGEX", 2000, 32, 0), 0, 32},
      {"fits exactly", Footer("APETAGEX", 2000, 100, kHasHeader), 100, 132},
      {"one byte too long", Footer("APETAGEX", 2000, 100, kHasHeader), 99, 0},
      {"size beyond the file", Footer("APETAGEX", 2000, 0xFFFFFFFFu, 0), 1000, 0},
      {"size below a footer", Footer("APETAGEX", 2000, 31, 0), 1000, 0},
      {"unknown version", Footer("APETAGEX", 3000, 100, 0), 1000, 0},
      {"a header, not a footer", Footer("APETAGEX", 2000, 100, kHasHeader | kIsHeader), 1000, 0},
      {"other preamble", Footer("APETAGEY", 2000, 100, 0), 1000, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ape::TagLength(c.footer.data(), 32, c.before), c.length) << c.what;
  const auto good = Footer("APETAGEX", 2000, 100, 0);
  EXPECT_EQ(ape::TagLength(good.data(), 31, 1000), 0u) << "truncated";
}

}  // namespace
