#include "core/mp3/Mp3FrameIndex.h"

#include <gtest/gtest.h>

namespace {

// Boundaries the engine tests do not reach: a second that falls exactly on
// a frame start, junk after a frame, reaching back past the first frame.
TEST(Mp3FrameIndex, FramesAtTheBoundaries) {
  // 48000 Hz, 1152 samples a frame: 2000 frames are 48 s.
  mp3::FrameIndex index(1152, 48000, 500, 500 + 2000 * 300);
  for (std::uint64_t k = 0; k < 2000; ++k) ASSERT_TRUE(index.Add(500 + k * 300 + (k > 7 ? 3 : 0)));
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

}  // namespace
