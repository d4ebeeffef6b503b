#include "audio/Mp3FrameIndex.h"

#include <gtest/gtest.h>

#include "audio/ApeTag.h"
#include "support/TestSupport.h"

namespace {

// 20 frames of MPEG-1 (1152 samples at 44100 Hz) whose lengths differ, with
// 3 bytes of junk after frame 9; the audio starts at 1000 and ends 50 bytes
// after the last frame starts.
struct Stream {
  mp3::FrameIndex index{1152, 44100, 1000, 0};
  std::vector<std::uint64_t> starts;
  std::uint64_t end = 0;
};

Stream MixedStream() {
  Stream s;
  std::uint64_t at = 1000;
  for (int k = 0; k < 20; ++k) {
    s.starts.push_back(at);
    at += 104 + 313u * static_cast<unsigned>(k % 4) + (k == 9 ? 3 : 0);
  }
  s.end = s.starts.back() + 50;
  s.index = mp3::FrameIndex(1152, 44100, 1000, s.end);
  for (const std::uint64_t start : s.starts) EXPECT_TRUE(s.index.Add(start));
  return s;
}

TEST(Mp3FrameIndex, SecondsMapToTheFramesThatHoldThem) {
  const Stream s = MixedStream();
  EXPECT_EQ(s.index.Frames(), 20u);
  EXPECT_DOUBLE_EQ(s.index.Seconds(), 20 * 1152 / 44100.0);
  // Second t starts inside frame t·44100/1152: 38.28 for 1 s (frame 38 holds
  // it, frame 39 is the first after it). Seconds past the end give Frames().
  const struct { std::uint64_t second, holding, from; } cases[] = {{0, 0, 0}, {1, 20, 20}};
  for (const auto& c : cases) {
    EXPECT_EQ(s.index.FrameHolding(c.second), c.holding) << c.second;
    EXPECT_EQ(s.index.FrameFrom(c.second), c.from) << c.second;
  }
  mp3::FrameIndex hour(1152, 44100, 0, UINT32_MAX);
  for (std::uint64_t k = 0; k < 4000; ++k) ASSERT_TRUE(hour.Add(k * 400));
  EXPECT_EQ(hour.FrameHolding(1), 38u);
  EXPECT_EQ(hour.FrameFrom(1), 39u);
  EXPECT_EQ(hour.FrameHolding(90), 3445u);  // 3445.3
  EXPECT_EQ(hour.FrameFrom(90), 3446u);
  // 576 samples a frame (MPEG-2 Layer III at 24000 Hz): 2 s is frame 83.33.
  mp3::FrameIndex half(576, 24000, 0, UINT32_MAX);
  for (std::uint64_t k = 0; k < 200; ++k) ASSERT_TRUE(half.Add(k * 200));
  EXPECT_EQ(half.FrameHolding(2), 83u);
  EXPECT_EQ(half.FrameFrom(2), 84u);
  // An exact boundary (48000 Hz, 1152 samples: 1 s is 41.67, 24 s is frame 1000).
  mp3::FrameIndex exact(1152, 48000, 0, UINT32_MAX);
  for (std::uint64_t k = 0; k < 2000; ++k) ASSERT_TRUE(exact.Add(k * 300));
  EXPECT_EQ(exact.FrameHolding(24), 1000u);
  EXPECT_EQ(exact.FrameFrom(24), 1000u);
  EXPECT_EQ(exact.FrameBefore(1000, 24), 0u);
  EXPECT_EQ(exact.FrameBefore(1000, 1), 958u);  // 1000 − 41.67, held by frame 958
  EXPECT_EQ(exact.FrameBefore(10, 1), 0u);      // never before the first frame
}

TEST(Mp3FrameIndex, BytesMapToFramesAndBack) {
  const Stream s = MixedStream();
  for (std::size_t k = 0; k < s.starts.size(); ++k) {
    EXPECT_EQ(s.index.Offset(k), s.starts[k]);
    EXPECT_EQ(s.index.FrameAtByte(s.starts[k]), k);
    EXPECT_EQ(s.index.FrameAtByte(s.starts[k] + 1), k);
    if (k > 0) {
      EXPECT_EQ(s.index.FrameAtByte(s.starts[k] - 1), k - 1) << "junk belongs to the frame before";
    }
  }
  EXPECT_EQ(s.index.Offset(20), s.end);
  EXPECT_EQ(s.index.Offset(UINT64_MAX), s.end);
  EXPECT_EQ(s.index.FrameAtByte(0), 0u);
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
