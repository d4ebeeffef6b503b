// The header frame in the LAME format: CRC-16, the bytes the writer lays
// down (read back here by offsets taken from the format, not from the
// writer), and the reader on frames the LAME library wrote.

#include "core/mp3/Mp3LameTag.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/GaplessCheck.h"
#include "support/Mp3Builder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Crc16, MatchesTheBitwiseDefinitionAtEveryLengthAndSeed) {
  const char* check = "123456789";
  EXPECT_EQ(mp3::Crc16(reinterpret_cast<const std::uint8_t*>(check), 9), 0xBB3Du);  // CRC-16/ARC check value
  Bytes data(200000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
  // Short runs take the table; long ones are folded 16 bytes at a time,
  // with the remainder and the tail at different places.
  for (std::size_t n : {0u, 1u, 7u, 8u, 63u, 64u, 79u, 80u, 190u, 16391u, 65543u, 199999u})
    for (std::uint16_t seed : {std::uint16_t{0}, std::uint16_t{0x8D31}})
      EXPECT_EQ(mp3::Crc16(data.data() + 1, n, seed), kt::BitwiseCrc16(data.data() + 1, n, seed)) << n;
}

// Per version and channel layout: where the side information ends and the
// Info/Xing block sits, the 12-bit delay and padding fields (held to 4095),
// and the tag CRC over every byte before it. The other fields are checked
// on real pieces by the gapless layout test.
TEST(HeaderFrame, BytesFollowTheFormatForEveryVersionAndChannelMode) {
  const struct {
    const char* name;
    kt::FrameSpec layout;
    std::size_t sideInfo;
    bool constant;
    std::uint32_t delay, padding, heldDelay, heldPadding;
  } kinds[] = {
      {"MPEG 1 stereo 128k", {3, 1, 9, 0, false, false}, 32, true, 2304, 1152, 2304, 1152},
      {"MPEG 1 mono 32k at 48 kHz", {3, 1, 1, 1, false, true}, 17, false, 5000, 4095, 4095, 4095},
      {"MPEG 2 stereo 8k at 22.05 kHz", {2, 1, 1, 0, true, false}, 17, true, 0, 4096, 0, 4095},
      {"MPEG 2.5 mono 64k at 11.025 kHz", {0, 1, 8, 0, false, true}, 9, false, 1, 2, 1, 2},
  };
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.name);
    const auto head = kt::HeaderBytes(kind.layout);
    const mp3::FrameHeader like = mp3::FrameHeader::FromBytes(head.data());
    mp3::LameTag tag;
    tag.constant = kind.constant;
    std::memcpy(tag.version.data(), "LAME3.100", 9);
    tag.delay = kind.delay;
    tag.padding = kind.padding;
    const Bytes frame = mp3::BuildHeaderFrame(like, tag);
    const mp3::FrameHeader h = mp3::FrameHeader::FromBytes(frame.data());
    EXPECT_TRUE(h.SameStreamAs(like) && h.ChannelMode() == like.ChannelMode() && !h.Protected() &&
                !h.Padding());
    EXPECT_EQ(frame.size(), kt::FrameBytes({kind.layout.version, 1, h.BitrateIndex(),
                                            kind.layout.sampleRateIndex, false, kind.layout.mono}));
    const std::size_t x = 4 + kind.sideInfo, l = x + 120;  // the Info block, the LAME extension
    EXPECT_EQ(Bytes(frame.begin() + 4, frame.begin() + static_cast<long>(x)), Bytes(kind.sideInfo, 0));
    EXPECT_EQ(std::string(frame.begin() + static_cast<long>(x), frame.begin() + static_cast<long>(x) + 4),
              kind.constant ? "Info" : "Xing");
    EXPECT_EQ((frame[l + 21] << 4) | (frame[l + 22] >> 4), static_cast<int>(kind.heldDelay));
    EXPECT_EQ(((frame[l + 22] & 15) << 8) | frame[l + 23], static_cast<int>(kind.heldPadding));
    EXPECT_EQ((frame[l + 34] << 8) | frame[l + 35], kt::BitwiseCrc16(frame.data(), l + 34));
    const auto back = mp3::ReadLameTag(frame.data(), frame.size());
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(back->constant == kind.constant && back->hasExtension && back->tagCrcValid);
    EXPECT_EQ(back->delay, kind.heldDelay);
    EXPECT_EQ(back->padding, kind.heldPadding);
  }
}

// The library's own tag; its delay and padding on real files are checked
// by the exact sample counts of the gapless tests.
TEST(LameTagReader, ReadsTheLibrarysTagAndTellsADamagedOne) {
  kt::LameSpec layout;
  layout.headerFrame = true;
  for (bool vbr : {false, true}) {
    layout.vbr = vbr;
    Bytes mp3 = kt::EncodedSine(2.0, layout);
    const auto frames = kt::WalkFrames(mp3, 0, mp3.size());
    ASSERT_GT(frames.size(), 3u);
    const auto tag = mp3::ReadLameTag(mp3.data(), frames[1]);
    ASSERT_TRUE(tag.has_value());
    EXPECT_TRUE(tag->constant == !vbr && tag->hasExtension && tag->tagCrcValid);
    EXPECT_EQ(tag->frames, frames.size() - 1);
    EXPECT_EQ(tag->musicCrc, kt::BitwiseCrc16(mp3.data() + frames[1], mp3.size() - frames[1]));
    mp3[frames[1] - 10] ^= 0xFF;  // past the tag: its CRC still holds
    EXPECT_TRUE(mp3::ReadLameTag(mp3.data(), frames[1])->tagCrcValid);
    mp3[60] ^= 0x01;  // inside the seek table
    EXPECT_FALSE(mp3::ReadLameTag(mp3.data(), frames[1])->tagCrcValid);
  }
  // A frame of audio holds no tag.
  const Bytes plain = kt::SyntheticFrames({}, 1);
  EXPECT_FALSE(mp3::ReadLameTag(plain.data(), plain.size()).has_value());
  EXPECT_FALSE(mp3::ReadLameTag(plain.data(), 3).has_value());
}

}  // namespace
