// The header frame in the LAME format: CRC-16, the bytes the writer lays
// down (read back here by offsets taken from the format, not from the
// writer), and the reader on frames the LAME library wrote.

#include "audio/Mp3LameTag.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/GaplessCheck.h"
#include "support/Mp3Builder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using kt::GetBe32;

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

TEST(HeaderFrame, BytesFollowTheFormatForEveryVersionAndChannelMode) {
  const struct {
    const char* name;
    kt::FrameSpec layout;
    std::size_t sideInfo;
  } kinds[] = {
      {"MPEG 1 stereo 128k", {3, 1, 9, 0, false, false}, 32},
      {"MPEG 1 mono 32k at 48 kHz", {3, 1, 1, 1, false, true}, 17},
      {"MPEG 2 stereo 8k at 22.05 kHz", {2, 1, 1, 0, true, false}, 17},
      {"MPEG 2.5 mono 64k at 11.025 kHz", {0, 1, 8, 0, false, true}, 9},
  };
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.name);
    const auto head = kt::HeaderBytes(kind.layout);
    const mp3::FrameHeader like = mp3::FrameHeader::FromBytes(head.data());
    mp3::LameTag tag;
    tag.constant = true;
    tag.frames = 1234;
    tag.bytes = tag.musicLength = 567890;
    for (std::size_t i = 0; i < 100; ++i) tag.toc[i] = static_cast<std::uint8_t>(i * 2);
    tag.quality = 57;
    std::memcpy(tag.version.data(), "LAME3.100", 9);
    tag.revisionAndMethod = 0x01;
    tag.lowpass = 170;
    tag.delay = 2304;
    tag.padding = 1152;
    tag.musicCrc = 0xBEEF;
    const Bytes frame = mp3::BuildHeaderFrame(like, tag);

    // The header: same version, layer, sampling rate and channel mode, no
    // CRC, no padding, a bitrate whose frame holds the tag and is the frame's length.
    const mp3::FrameHeader h = mp3::FrameHeader::FromBytes(frame.data());
    EXPECT_TRUE(h.SameStreamAs(like));
    EXPECT_EQ(h.ChannelMode(), like.ChannelMode());
    EXPECT_FALSE(h.Protected());
    EXPECT_EQ(h.Padding(), 0u);
    EXPECT_EQ(frame.size(),
              kt::FrameBytes(kt::FrameSpec{kind.layout.version, 1, h.BitrateIndex(),
                                           kind.layout.sampleRateIndex, false, kind.layout.mono}));
    const std::size_t x = 4 + kind.sideInfo, l = x + 120;  // the Info block, the LAME extension
    EXPECT_EQ(Bytes(frame.begin() + 4, frame.begin() + static_cast<long>(x)), Bytes(kind.sideInfo, 0));
    EXPECT_EQ(std::string(frame.begin() + static_cast<long>(x), frame.begin() + static_cast<long>(x) + 4),
              "Info");
    EXPECT_EQ(GetBe32(frame, x + 4), 0x0Fu);  // frames, bytes, seek table, quality
    EXPECT_EQ(GetBe32(frame, x + 8), 1234u);
    EXPECT_EQ(GetBe32(frame, x + 12), 567890u);
    EXPECT_EQ(frame[x + 16 + 50], 100);
    EXPECT_EQ(GetBe32(frame, x + 116), 57u);
    EXPECT_EQ(std::string(frame.begin() + static_cast<long>(l), frame.begin() + static_cast<long>(l) + 9),
              "LAME3.100");
    EXPECT_EQ(frame[l + 9], 0x01);
    EXPECT_EQ(frame[l + 10], 170);
    // Delay and padding: two 12-bit fields in three bytes.
    EXPECT_EQ((frame[l + 21] << 4) | (frame[l + 22] >> 4), 2304);
    EXPECT_EQ(((frame[l + 22] & 15) << 8) | frame[l + 23], 1152);
    EXPECT_EQ(GetBe32(frame, l + 28), 567890u);
    EXPECT_EQ((frame[l + 32] << 8) | frame[l + 33], 0xBEEF);
    // The tag's CRC covers every byte before it: the first 190 for MPEG 1 stereo.
    EXPECT_EQ((frame[l + 34] << 8) | frame[l + 35], kt::BitwiseCrc16(frame.data(), l + 34));
    EXPECT_TRUE(kind.sideInfo != 32 || l + 34 == 190u);

    const auto back = mp3::ReadLameTag(frame.data(), frame.size());
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(back->constant && back->hasExtension && back->tagCrcValid);
    EXPECT_EQ(back->frames, 1234u);
    EXPECT_EQ(back->delay, 2304u);
    EXPECT_EQ(back->padding, 1152u);
    EXPECT_EQ(back->toc, tag.toc);
  }
  // Delay and padding too large for 12 bits are held to 4095; "Xing" when not constant.
  mp3::LameTag big;
  std::memcpy(big.version.data(), "LAME3.100", 9);
  big.delay = 5000;
  big.padding = 4095;
  const auto head = kt::HeaderBytes({});
  const Bytes frame = mp3::BuildHeaderFrame(mp3::FrameHeader::FromBytes(head.data()), big);
  const auto back = mp3::ReadLameTag(frame.data(), frame.size());
  ASSERT_TRUE(back.has_value());
  EXPECT_FALSE(back->constant);
  EXPECT_EQ(back->delay, 4095u);
  EXPECT_EQ(back->padding, 4095u);
}

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
    EXPECT_EQ(tag->constant, !vbr);
    EXPECT_TRUE(tag->hasExtension && tag->tagCrcValid);
    EXPECT_EQ(tag->frames, frames.size() - 1);
    EXPECT_EQ(tag->musicLength, mp3.size());
    EXPECT_EQ(tag->musicCrc, kt::BitwiseCrc16(mp3.data() + frames[1], mp3.size() - frames[1]));
    // Frames of 1152 samples hold the encoded 88200 and the delay and padding.
    EXPECT_EQ(std::uint64_t{tag->frames} * 1152, 88200u + tag->delay + tag->padding);
    EXPECT_EQ(tag->delay, 576u);
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
