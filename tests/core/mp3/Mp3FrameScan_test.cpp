// The frame walk behind a gapless piece's header frame: bytes fed in pieces
// of any size (as a copy passes them through memory) give exactly what one
// walk over the whole run gives, whatever block boundary a header
// straddles, and the remembered header verdict agrees with the header
// tables for every combination of the fields it depends on.

#include "core/mp3/Mp3FrameScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/File.h"
#include "core/mp3/Mp3LameTag.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

kt::FrameSpec Layout(unsigned bitrateIndex, bool padding = false) {
  kt::FrameSpec s;
  s.bitrateIndex = bitrateIndex;
  s.padding = padding;
  return s;
}

mp3::FrameHeader StreamOf(const kt::FrameSpec& layout) {
  return mp3::FrameHeader::FromBytes(kt::HeaderBytes(layout).data());
}

void Append(Bytes& to, const Bytes& more) {
  to.insert(to.end(), more.begin(), more.end());
}

Mp3FrameScan Feed(const Bytes& bytes, std::size_t from, std::size_t to, mp3::FrameHeader stream,
                  std::size_t block) {
  CMp3FrameWalker walker(from, to, stream, true, 0x1234);
  for (std::size_t at = from; at < to; at += block) walker.Feed(bytes.data() + at, std::min(block, to - at));
  EXPECT_EQ(walker.FedEnd(), to);
  return walker.Result();
}

void ExpectSame(const Mp3FrameScan& got, const Mp3FrameScan& want) {
  EXPECT_EQ(got.frames, want.frames);
  EXPECT_EQ(got.wholeEnd, want.wholeEnd);
  EXPECT_EQ(got.crc, want.crc);
  EXPECT_EQ(got.oneBitrate, want.oneBitrate);
  EXPECT_EQ(got.bitrateIndex, want.bitrateIndex);
  EXPECT_EQ(got.samples, want.samples);
  EXPECT_EQ(got.stride, want.stride);
}

TEST(Mp3FrameWalker, BytesFedInAnyPiecesGiveTheWalkOfTheWholeRun) {
  const kt::FrameSpec cbr = Layout(9);
  Bytes padded;  // frames of 417 and 418 bytes, as a 44.1 kHz stream alternates them
  for (int k = 0; k < 40; ++k) Append(padded, kt::SyntheticFrames(Layout(9, k % 3 == 0), 1, k + 1));
  Bytes junk = kt::SyntheticFrames(cbr, 5);
  junk.insert(junk.begin() + 417 * 2, {0x00, 0x11, 0xFF, 0x22, 0x33});  // not a frame: stepped over
  Append(junk, kt::SyntheticFrames(cbr, 5, 9));
  Bytes mixed = kt::SyntheticFrames(cbr, 6);
  Append(mixed, kt::SyntheticFrames(Layout(11), 6, 3));  // 192 kbit/s
  const Bytes many = kt::SyntheticFrames(cbr, 5000);     // more than the seek-table samples kept
  struct Case {
    const char* name;
    const Bytes& bytes;
    std::size_t from, to;
    std::uint64_t frames;  // what the walk must count
  };
  const Case cases[] = {
      {"one bitrate, padding alternating", padded, 0, padded.size(), 40},
      {"junk between frames", junk, 0, junk.size(), 10},
      {"two bitrates", mixed, 0, mixed.size(), 12},
      {"last frame cut off at the end", padded, 0, padded.size() - 100, 39},
      {"three bytes after the last frame", padded, 0, 417 * 2 + 418 + 3, 3},
      {"started inside a frame", junk, 200, junk.size(), 9},
      {"empty run", padded, 500, 500, 0},
      {"5000 frames", many, 0, many.size(), 5000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Mp3FrameScan whole = Feed(c.bytes, c.from, c.to, StreamOf(cbr), c.to - c.from + 1);
    EXPECT_EQ(whole.frames, c.frames);
    EXPECT_EQ(whole.crc, mp3::Crc16(c.bytes.data() + c.from, c.to - c.from, 0x1234));
    for (const std::size_t block : {1, 2, 3, 4, 5, 416, 417, 4096, 65536}) {
      SCOPED_TRACE(block);
      ExpectSame(Feed(c.bytes, c.from, c.to, StreamOf(cbr), block), whole);
    }
  }
  // Without junk, the frames are where an independent walker finds them.
  const Mp3FrameScan walked = Feed(mixed, 0, mixed.size(), StreamOf(cbr), 7);
  EXPECT_EQ(walked.wholeEnd, kt::WalkEnd(mixed, 0, mixed.size()));
  EXPECT_EQ(walked.frames, kt::WalkFrames(mixed, 0, mixed.size()).size());
  EXPECT_FALSE(walked.oneBitrate);
}

TEST(Mp3FrameWalker, TheFileScanReadsWhatTheWalkerIsFedAndFailsOnAShortSource) {
  kt::TempDir dir;
  const Bytes bytes = kt::SyntheticFrames(Layout(9), 700);  // beyond one read block of the scan
  kt::WriteAll(dir.File("a.mp3"), bytes);
  CFile file;
  ASSERT_TRUE(file.Open(dir.File("a.mp3"), CFile::Mode::ReadShared));
  const mp3::FrameHeader stream = StreamOf(Layout(9));
  ExpectSame(ScanMp3Frames(file, 10, bytes.size(), stream, true, 0x1234),
             Feed(bytes, 10, bytes.size(), stream, 1000));
  EXPECT_THROW(ScanMp3Frames(file, 10, bytes.size() + 1, stream, true), CFileException);
}

// Every combination of sync, version, layer, bitrate, sampling rate and
// padding, in a shuffled order so the remembered verdict keeps changing,
// against the header tables; the other bits must not matter.
TEST(Mp3StreamFrameCheck, AgreesWithTheHeaderTablesForEveryFieldCombination) {
  std::vector<std::uint32_t> raws;
  for (std::uint32_t fields = 0; fields < (1u << 12); ++fields) {
    const std::uint32_t sync = (fields & 1u) ? 0xE0FFu : 0xC0FFu;  // all sync bits, or one missing
    raws.push_back(sync | ((fields >> 1) & 0xFu) << 9 | ((fields >> 5) & 0x7Fu) << 17);
  }
  std::mt19937 random(5);
  std::shuffle(raws.begin(), raws.end(), random);
  for (const kt::FrameSpec& stream : {Layout(9), [] {
                                        kt::FrameSpec mpeg2;
                                        mpeg2.version = 2;
                                        mpeg2.sampleRateIndex = 1;
                                        return mpeg2;
                                      }()}) {
    CStreamFrameCheck check(StreamOf(stream));
    for (const std::uint32_t raw : raws) {
      for (const std::uint32_t others : {0u, 0xFF010100u}) {  // protection, private, mode, flags
        const mp3::FrameHeader header{raw | others};
        const std::uint32_t want = IsStreamFrame(header, StreamOf(stream)) ? header.FrameLength() : 0;
        ASSERT_EQ(check.LengthOf(header), want) << std::hex << header.raw;
      }
    }
  }
}

}  // namespace
