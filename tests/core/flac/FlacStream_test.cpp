// The frame layer a lossless cut rewrites: a header renumbered across every
// length of its coded number parses back to that number, keeps its other
// codes and passes its CRC-8, and the CRC-16 made from the old one without
// reading the body is the CRC-16 of the new frame.

#include "core/flac/FlacStream.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// A stereo 16-bit 44.1 kHz frame header of 4096 samples (block code 12,
// rate code 9, independent channels, 16 bits), numbered as asked.
std::vector<std::uint8_t> Header(bool variable, std::uint64_t number, const flac::StreamInfo& info) {
  const std::vector<std::uint8_t> seed{0xFF, 0xF8, 0xC9, 0x18, 0x00, 0x00};
  std::vector<std::uint8_t> h = seed;
  h[5] = flac::Crc8(h.data(), 5);
  const auto parsed = flac::ParseFrameHeader(h.data(), h.size(), info);
  EXPECT_TRUE(parsed);
  return flac::RenumberHeader(h.data(), *parsed, number, variable);
}

TEST(FlacStream, RenumberedHeadersAndFramesCheckAtEveryNumberLength) {
  flac::StreamInfo info;
  info.sampleRate = 44100;
  info.channels = 2;
  info.bitsPerSample = 16;
  info.minBlock = info.maxBlock = 4096;
  std::mt19937 random(7);
  std::vector<std::uint8_t> body(3000);
  for (auto& b : body) b = static_cast<std::uint8_t>(random());
  // The first and last number of each coded length (1 to 7 bytes).
  const struct {
    bool variable;
    std::uint64_t number;
    std::size_t length;  // header bytes
  } cases[] = {
      {false, 0, 6},          {false, 0x7F, 6},           {false, 0x80, 7},        {false, 0x7FF, 7},
      {false, 0x800, 8},      {false, 0xFFFF, 8},         {false, 0x10000, 9},     {false, 0x1FFFFF, 9},
      {false, 0x200000, 10},  {false, 0x3FFFFFF, 10},     {false, 0x4000000, 11},  {false, 0x7FFFFFFF, 11},
      {true, 0x80000000, 12}, {true, 0xFFFFFFFFFull, 12}, {true, 4096 * 3 + 5, 8},
  };
  const std::vector<std::uint8_t> first = Header(false, 0, info);
  std::vector<std::uint8_t> oldFrame = first;
  oldFrame.insert(oldFrame.end(), body.begin(), body.end());
  const std::uint16_t oldCrc = flac::Crc16(oldFrame.data(), oldFrame.size());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    const std::vector<std::uint8_t> h = Header(c.variable, c.number, info);
    EXPECT_EQ(h.size(), c.length);
    const auto parsed = flac::ParseFrameHeader(h.data(), h.size(), info);
    ASSERT_TRUE(parsed) << "the CRC-8 or the coding is wrong";
    EXPECT_EQ(parsed->number, c.number);
    EXPECT_EQ(parsed->variableBlocks, c.variable);
    EXPECT_EQ(parsed->blockSize, 4096u);
    std::vector<std::uint8_t> frame = h;
    frame.insert(frame.end(), body.begin(), body.end());
    EXPECT_EQ(flac::RenumberedFrameCrc(oldCrc, first, h, body.size()),
              flac::Crc16(frame.data(), frame.size()));
  }
}

TEST(FlacStream, StreamInfoRoundTripsAndRefusesWhatDescribesNoStream) {
  flac::StreamInfo info;
  info.minBlock = 16;
  info.maxBlock = 65535;
  info.minFrame = 1;
  info.maxFrame = 0xFFFFFF;
  info.sampleRate = 655350;
  info.channels = 8;
  info.bitsPerSample = 32;
  info.totalSamples = 0xFFFFFFFFFull;
  info.md5[15] = 0xAB;
  const auto bytes = flac::WriteStreamInfo(info);
  const auto back = flac::ParseStreamInfo(bytes.data());
  ASSERT_TRUE(back);
  EXPECT_EQ(flac::WriteStreamInfo(*back), bytes);
  EXPECT_EQ(back->totalSamples, info.totalSamples);
  EXPECT_EQ(back->channels, 8u);
  EXPECT_EQ(back->bitsPerSample, 32u);
  info.sampleRate = 0;
  EXPECT_FALSE(flac::ParseStreamInfo(flac::WriteStreamInfo(info).data()));
}

}  // namespace
