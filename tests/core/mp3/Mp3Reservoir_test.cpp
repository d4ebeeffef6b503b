// The bit reservoir arithmetic: where main_data_begin sits, how far a run of
// frames reaches back before its first header, and the frames that supply
// those bytes.

#include "core/mp3/Mp3Reservoir.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/Mp3Builder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Reservoir, SideInformationAndMainDataBeginByVersionChannelsAndCrc) {
  struct Row {
    kt::FrameSpec shape;
    bool crc;
    std::size_t side, offset;
    std::uint32_t largest;
    Bytes after;  // the bytes after the header (and CRC)
    std::uint32_t begin;
  };
  const Row rows[] = {
      {{3, 1, 9, 0, false, false}, false, 32, 36, 511, {0xFF, 0x80}, 511},
      {{3, 1, 9, 0, false, true}, false, 17, 21, 511, {0x01, 0x7F}, 2},
      {{3, 1, 9, 0, false, false}, true, 32, 38, 511, {0x80, 0x00}, 256},
      {{2, 1, 8, 0, false, false}, false, 17, 21, 255, {0xFF, 0x00}, 255},
      {{0, 1, 8, 0, false, true}, true, 9, 15, 255, {0x2A, 0xFF}, 42},
  };
  for (const Row& row : rows) {
    const auto head = kt::HeaderBytes(row.shape);
    Bytes frame(head.begin(), head.end());
    frame.resize(8, 0);
    if (row.crc) frame[1] &= 0xFE;  // protection bit clear: a CRC follows
    const std::size_t at = row.crc ? 6 : 4;
    frame[at] = row.after[0];
    frame[at + 1] = row.after[1];
    const mp3::FrameHeader h = mp3::FrameHeader::FromBytes(frame.data());
    EXPECT_EQ(mp3::SideInfoLength(h), row.side);
    EXPECT_EQ(mp3::MainDataOffset(h), row.offset);
    EXPECT_EQ(mp3::MaxMainDataBegin(h), row.largest);
    EXPECT_EQ(mp3::MainDataBegin(frame.data(), frame.size()), row.begin);
    EXPECT_EQ(mp3::MainDataBegin(frame.data(), at + 1), 0u);  // too few bytes
  }
}

TEST(Reservoir, NeededBytesBeforeTheFirstFrame) {
  const struct {
    std::vector<mp3::FrameReach> frames;
    std::uint32_t needed;
  } cases[] = {
      {{}, 0},
      {{{0, 300}, {0, 300}}, 0},
      {{{200, 300}, {100, 300}}, 200},          // the first reaches furthest
      {{{10, 50}, {300, 50}, {500, 50}}, 400},  // a later one reaches past the first's area
      {{{511, 400}, {511, 400}}, 511},
      {{{0, 20}, {0, 20}, {100, 20}, {0, 20}}, 60},
  };
  for (const auto& c : cases) EXPECT_EQ(mp3::ReservoirNeeded(c.frames), c.needed);
}

// Both end-to-end by the gapless matrix for MPEG 1 and 2; here also MPEG
// 2.5, and more reservoir than a frame holds, which keeps the bytes nearest the end.
TEST(Reservoir, ReservoirAndSilentFramesAreEmptyFramesOfTheStreamsKind) {
  Bytes tail(2000);
  for (std::size_t i = 0; i < tail.size(); ++i) tail[i] = static_cast<std::uint8_t>(i % 251 + 1);
  for (const kt::FrameSpec& shape :
       {kt::FrameSpec{3, 1, 9, 0, true, false}, kt::FrameSpec{2, 1, 3, 1, false, true},
        kt::FrameSpec{0, 1, 2, 2, false, false}}) {
    const auto head = kt::HeaderBytes(shape);
    const mp3::FrameHeader like = mp3::FrameHeader::FromBytes(head.data());
    for (const std::size_t n : {std::size_t{5}, tail.size()}) {
      const Bytes frame = mp3::BuildReservoirFrame(like, tail.data() + tail.size() - n, n);
      const mp3::FrameHeader h = mp3::FrameHeader::FromBytes(frame.data());
      EXPECT_TRUE(h.SameStreamAs(like) && h.ChannelMode() == like.ChannelMode() && !h.Protected());
      EXPECT_EQ(h.BitrateIndex(), 14u);  // the highest bitrate
      EXPECT_EQ(frame.size(), h.FrameLength());
      const std::size_t capacity = frame.size() - mp3::MainDataOffset(h), kept = std::min(n, capacity);
      EXPECT_EQ(mp3::ReservoirCapacity(like), capacity);
      EXPECT_GE(capacity, mp3::MaxMainDataBegin(like));
      // Zero side information (silence, main_data_begin 0), then zeros and the kept bytes.
      EXPECT_EQ(Bytes(frame.begin() + 4, frame.end() - static_cast<long>(kept)),
                Bytes(frame.size() - 4 - kept, 0));
      EXPECT_EQ(Bytes(frame.end() - static_cast<long>(kept), frame.end()),
                Bytes(tail.end() - static_cast<long>(kept), tail.end()));
    }
    const Bytes silent = mp3::BuildSilentFrame(like);
    const mp3::FrameHeader s = mp3::FrameHeader::FromBytes(silent.data());
    EXPECT_TRUE(s.SameStreamAs(like));
    EXPECT_EQ(s.BitrateIndex(), 1u);
    EXPECT_EQ(silent.size(), s.FrameLength());
  }
}

}  // namespace
