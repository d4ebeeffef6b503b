// Which frame holds a sample of the decode, and the header-frame fields of a
// piece: tables over MPEG 1, 2 and 2.5 frames, with and without a trusted
// LAME delay, at the first and last frame and where the delay field fills.
// Every piece's fields must reproduce its span: frames × spf − delay −
// padding samples, starting at the asked sample.
#include "core/mp3/Mp3SampleMap.h"

#include <gtest/gtest.h>

#include "core/mp3/Mp3LameTag.h"

namespace {

using mp3::PieceCut;
using mp3::SampleMap;

// The samples a piece of cut plays: its frames (a lead-in of leadSlots
// slots, the frame before firstFrame unless it is 0, the copied frames)
// minus delay and padding.
std::uint64_t PlayedSamples(const SampleMap& map, const PieceCut& cut, std::uint64_t slotStart) {
  const std::uint64_t frames = slotStart / map.samplesPerFrame + (cut.endFrame - cut.firstFrame);
  return frames * map.samplesPerFrame - mp3::PieceDelay(slotStart, cut.headTrim) - cut.padding;
}

TEST(Mp3SampleMap, TheDecodesSamplesLieInTheFramesAfterTheDelays) {
  // MPEG 1 at 44.1 kHz, LAME's usual delay 576 and padding 1700 over 100 frames.
  const SampleMap lame = SampleMap::Trusted(1152, 100, 576, 1700);
  EXPECT_EQ(lame.skip, 576u + 529);
  EXPECT_EQ(lame.samples, 100u * 1152 - 576 - 1700);
  EXPECT_EQ(lame.FrameHolding(0), 0u);
  EXPECT_EQ(lame.FrameHolding(46), 0u);  // stream position 1151
  EXPECT_EQ(lame.FrameHolding(47), 1u);
  EXPECT_EQ(lame.FrameStarting(0), 0u) << "the first frame plays from silence, as the file does";
  EXPECT_EQ(lame.FrameStarting(1151 - 576), 0u);
  EXPECT_EQ(lame.FrameStarting(1152 - 576), 1u) << "529 samples into frame 1's slot";
  EXPECT_EQ(lame.FrameEnding(47), 1u);
  EXPECT_EQ(lame.FrameEnding(48), 2u);
  EXPECT_EQ(lame.FrameHolding(1000000), 100u) << "past the end";
  EXPECT_EQ(lame.FirstMusicFrame(), 0u);
  EXPECT_EQ(lame.LastMusicFrame(), 98u) << "1700 − 529 samples of padding drop all of the last slot";
  EXPECT_EQ(SampleMap::Trusted(1152, 100, 576, 1000).LastMusicFrame(), 99u);

  // A piece Kestrune wrote: two lead-in slots and the first 300 samples of
  // the third are skipped, one slot and 100 samples are padding.
  const SampleMap piece = SampleMap::Trusted(1152, 40, 2 * 1152 + 300, 1152 + 100);
  EXPECT_EQ(piece.FirstMusicFrame(), 2u);
  EXPECT_EQ(piece.LastMusicFrame(), 39u) << "the last slot still plays 529 − 100 samples";
  const SampleMap lastOut = SampleMap::Trusted(1152, 40, 2 * 1152, 1152 + 529 + 1);
  EXPECT_EQ(lastOut.LastMusicFrame(), 38u) << "the padding drops every sample of the last slot";

  // No trusted tag: every slot plays, from the first frame.
  const SampleMap plain = SampleMap::Plain(576, 10);
  EXPECT_EQ(plain.skip, 0u);
  EXPECT_EQ(plain.samples, 5760u);
  EXPECT_EQ(plain.FrameHolding(575), 0u);
  EXPECT_EQ(plain.FrameStarting(576 + 528), 0u);
  EXPECT_EQ(plain.FrameStarting(576 + 529), 1u);
  EXPECT_EQ(SampleMap::Trusted(1152, 1, 4095, 4095).samples, 0u) << "a tag that drops more than there is";
}

TEST(Mp3SampleMap, PiecesPlayExactlyTheirSpanWithFieldsInside12Bits) {
  const struct {
    const char* what;
    SampleMap map;
    std::uint64_t first, end;
    std::uint64_t firstFrame, endFrame;
    std::uint32_t headTrim, padding;
  } rows[] = {
      // MPEG 1 (1152 samples a frame), LAME delay 576 and padding 1000.
      {"from the start", SampleMap::Trusted(1152, 200, 576, 1000), 0, 44100, 0, 40, 1105, 1404},
      {"inside the first frame", SampleMap::Trusted(1152, 200, 576, 1000), 300, 1000, 0, 2, 1405, 728},
      {"across the first frame", SampleMap::Trusted(1152, 200, 576, 1000), 576, 5000, 1, 6, 529, 1336},
      {"ordinary", SampleMap::Trusted(1152, 400, 576, 1000), 145530, 342657, 126, 299, 1483, 1215},
      {"to the end", SampleMap::Trusted(1152, 200, 576, 1000), 200000, 999999, 174, 200, 657, 1000},
      {"empty", SampleMap::Trusted(1152, 200, 576, 1000), 5000, 5000, 4, 6, 1497, 1336},
      // MPEG 2 and 2.5 (576 samples a frame): the delay reaches past the first frame.
      {"MPEG 2 from the start", SampleMap::Trusted(576, 100, 576, 800), 0, 22050, 1, 41, 529, 990},
      {"MPEG 2.5, no tag", SampleMap::Plain(576, 50), 104, 400, 0, 1, 104, 705},
      {"MPEG 2.5, no tag, second frame", SampleMap::Plain(576, 50), 1200, 5000, 1, 9, 624, 713},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const PieceCut cut = mp3::PlanPieceCut(row.map, row.first, row.end);
    EXPECT_EQ(cut.firstFrame, row.firstFrame);
    EXPECT_EQ(cut.endFrame, row.endFrame);
    const std::uint64_t end = std::min(row.end, row.map.samples), first = std::min(row.first, end);
    const std::uint64_t spf = row.map.samplesPerFrame;
    // The decode starts at the stream position of first.
    EXPECT_EQ(cut.firstFrame * spf + cut.headTrim, first + row.map.skip);
    EXPECT_EQ(cut.endFrame * spf + 529 - cut.padding, end + row.map.skip);
    EXPECT_EQ(cut.headTrim, row.headTrim);
    EXPECT_EQ(cut.padding, row.padding);
    if (cut.firstFrame > 0) {
      EXPECT_GE(cut.headTrim, 529u) << "the frame before restores all but the filterbank's";
    }
    // A first piece has no lead-in (a trusted source) or one silent slot;
    // the others two slots: a reservoir frame and the frame before.
    const std::uint64_t slotStart = cut.firstFrame == 0 ? (row.map.skip ? 0 : spf) : 2 * spf;
    EXPECT_EQ(PlayedSamples(row.map, cut, slotStart), end - first);
    EXPECT_TRUE(mp3::FitsDelayField(mp3::PieceDelay(slotStart, cut.headTrim)));
    EXPECT_TRUE(mp3::FitsDelayField(cut.padding));
  }
}

TEST(Mp3SampleMap, TheLongestDelaysAndPaddingsStayInTheirFields) {
  // The latest start in a frame (head trim 529 + spf − 1) after two lead-in
  // slots: 2 × 1152 + 1151 = 3455 for MPEG 1, 1727 for MPEG 2 and 2.5.
  for (const std::uint32_t spf : {1152u, 576u}) {
    const SampleMap map = SampleMap::Plain(spf, 1000);
    const std::uint64_t first = 10 * spf + 529 + spf - 1;
    const PieceCut cut = mp3::PlanPieceCut(map, first, first + 1);
    EXPECT_EQ(cut.headTrim, 529 + spf - 1);
    EXPECT_EQ(mp3::PieceDelay(2 * spf, cut.headTrim), 3 * spf - 1);
    EXPECT_EQ(cut.padding, spf) << "one sample of the last slot kept, at its 529th sample";
    EXPECT_TRUE(mp3::FitsDelayField(mp3::PieceDelay(2 * spf, cut.headTrim)));
    // A third lead-in slot (mpg123's rounding phase) fits MPEG 2, not MPEG 1.
    EXPECT_EQ(mp3::FitsDelayField(mp3::PieceDelay(3 * spf, cut.headTrim)), spf == 576);
  }
  EXPECT_EQ(mp3::PieceDelay(3 * 1152, 529 + 639), 4095u);
  EXPECT_TRUE(mp3::FitsDelayField(4095));
  EXPECT_FALSE(mp3::FitsDelayField(4096));
  // A source's padding of 4095 covers its last three slots: a piece that
  // ends with the source leaves those frames out and pads the rest.
  const SampleMap full = SampleMap::Trusted(1152, 100, 576, 4095);
  EXPECT_EQ(mp3::PlanPieceCut(full, 1000, full.samples).endFrame, 97u);
  EXPECT_EQ(mp3::PlanPieceCut(full, 1000, full.samples).padding, 4095u - 3 * 1152);
}

}  // namespace
