// Gapless MP3 pieces: the pieces of LAME-encoded sources, decoded one by one
// by ffmpeg and mpg123 and joined, equal the whole file's decode sample for
// sample; their header frames, a selection, overlap, a stale tag, a cancel.

#include <gtest/gtest.h>

#include <algorithm>

#include "core/mp3/Mp3File.h"
#include "support/GaplessCheck.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using kt::ReadHeaderFrame;
using kt::RefDecoder;

std::vector<std::string> Split(const kt::TempDir& dir, kt::ScriptedOwner& owner, const std::string& source,
                               std::uint32_t n, std::uint32_t overlap = 0, CProgress* progress = nullptr) {
  kt::Owned<CMp3File> file(source, &owner);
  EXPECT_EQ(file.GetError(), 0u);
  file.SetOverlapTime(overlap);
  owner.shred.numberOfSplits = n;
  owner.shred.baseFilename = dir.File("cut" + std::to_string(overlap));
  EXPECT_EQ(file.SplitEqually(progress), 0u);
  std::vector<std::string> pieces;
  for (std::uint32_t i = 1; i <= n; ++i)
    pieces.push_back(dir.File("CUT" + std::to_string(overlap) + "-" + std::to_string(i) + ".mp3"));
  return pieces;
}

// Every source of the table is split into equal pieces and cut at odd
// times; decoded alone, each piece and cut is its span of the whole file's
// decode, sample for sample (mpg123: MPEG 1 only here; it rounds the
// synthesis of mono streams by the number of frames decoded before, so
// single samples may differ by one, docs/mp3-engine.md).
TEST(GaplessPieces, PiecesAndOddCutsDecodeToTheirSpanOfTheWholeFile) {
  const struct {
    const char* name;
    int rate, channels;
    std::vector<std::string> lame;
    std::uint32_t pieces;
  } sources[] = {
      {"cbr128", 44100, 2, {"-b", "128"}, 3},
      {"vbr_v2_xing", 48000, 2, {"-V", "2"}, 2},
      {"vbr_v2_no_xing", 44100, 2, {"-V", "2", "-t"}, 3},
      {"abr160", 44100, 2, {"--abr", "160"}, 7},
      {"vbr_v5_mono", 44100, 1, {"-V", "5", "-m", "m"}, 3},
      {"mpeg2_22k_48", 22050, 2, {"-b", "48"}, 3},
      {"mpeg25_8k_mono", 8000, 1, {"-b", "16", "-m", "m"}, 2},
  };
  // Cuts inside the first frame, across the source's delay (its first 1105
  // stream samples), ordinary ones, and ones that end in the last frame.
  const std::pair<const char*, const char*> cuts[] = {{"0.011", "0.9"}, {"0.0001", "0:00.350"},
                                                      {"1.3", "2.77"},  {"0:00:01.0005", "1.777777"},
                                                      {"2.5", "3"},     {"0", "9"}};
  for (const auto& row : sources) {
    SCOPED_TRACE(row.name);
    kt::TempDir dir;
    kt::ScriptedOwner owner;
    kt::WriteAll(dir.File("source.wav"), kt::MusicWav(3.0, row.channels, row.rate));
    const std::string source = kt::LameEncode(dir, "source.mp3", dir.File("source.wav"), row.lame);
    ASSERT_FALSE(source.empty());
    const std::vector<std::string> pieces = Split(dir, owner, source, row.pieces);
    for (const RefDecoder decoder : {RefDecoder::Ffmpeg, RefDecoder::Mpg123}) {
      if (decoder == RefDecoder::Mpg123 && row.rate < 32000) continue;
      SCOPED_TRACE(decoder == RefDecoder::Ffmpeg ? "ffmpeg" : "mpg123");
      const int tolerance = decoder == RefDecoder::Mpg123 && row.channels == 1 ? 1 : 0;
      const std::vector<std::int16_t> whole = kt::Decode(dir, decoder, source);
      ASSERT_GT(whole.size(), 2u * row.rate);
      // Equal pieces of the samples, the last taking the rest.
      const std::size_t total = whole.size() / row.channels, each = total / row.pieces;
      std::vector<std::int16_t> joined;
      for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::vector<std::int16_t> part = kt::Decode(dir, decoder, pieces[i]);
        if (i + 1 < pieces.size()) {
          EXPECT_EQ(part.size(), each * row.channels) << "piece " << i + 1;
        }
        joined.insert(joined.end(), part.begin(), part.end());
      }
      EXPECT_EQ(kt::PcmDiff(whole, 0, joined, true, tolerance), "");
      for (const auto& [from, to] : cuts) {
        kt::Owned<CMp3File> file(source, &owner);
        const auto rate = static_cast<std::uint32_t>(row.rate);
        const std::size_t first = kt::SampleAtTime(from, rate), end = kt::SampleAtTime(to, rate);
        ASSERT_EQ(file.SaveSelectionSamples(dir.File("cut.mp3"), first, end, nullptr), 0u);
        EXPECT_EQ(kt::SpanDiff(whole, first, end, row.channels, kt::Decode(dir, decoder, dir.File("cut.mp3")),
                               tolerance),
                  "")
            << from << " to " << to;
      }
    }
  }
}

class GaplessLayout : public ::testing::Test {
 protected:
  kt::TempDir dir;
  kt::ScriptedOwner owner;
  Bytes id3v2 = kt::Id3v2Tag(3000);
  Bytes id3v1 = kt::Id3v1Tag({"Title", "Artist", "Album", "2001", "Comment", 17});

  // A LAME file of the given options between an ID3v2 and an ID3v1 tag.
  std::string Tagged(const std::string& name, const std::vector<std::string>& options, double seconds = 4.0) {
    kt::WriteAll(dir.File("music.wav"), kt::MusicWav(seconds, 2, 44100));
    Bytes all = id3v2;
    const Bytes mp3 = kt::ReadAll(kt::LameEncode(dir, "plain.mp3", dir.File("music.wav"), options));
    all.insert(all.end(), mp3.begin(), mp3.end());
    all.insert(all.end(), id3v1.begin(), id3v1.end());
    kt::WriteAll(dir.File(name), all);
    return dir.File(name);
  }
  std::vector<std::int16_t> OwnDecode(const std::string& mp3) {
    EXPECT_EQ(kt::Owned<CMp3File>(mp3, &owner).ConvertToWav(dir.File("own.wav"), nullptr), 0);
    return kt::ReadDecodedWav(kt::ReadAll(dir.File("own.wav"))).samples;
  }
  // A piece's header frame, checked to describe the whole frames up to the ID3v1 tag.
  kt::HeaderFrame Described(const Bytes& piece) {
    const kt::HeaderFrame h = ReadHeaderFrame(piece, id3v2.size());
    const std::size_t end = piece.size() - 128;
    EXPECT_EQ(kt::Slice(piece, end), id3v1);
    EXPECT_EQ(kt::WalkEnd(piece, h.at, end), end) << "whole frames up to the ID3v1 tag";
    EXPECT_EQ(h.frames, kt::WalkFrames(piece, h.audio, end).size());
    EXPECT_EQ(h.bytes, end - h.at);
    EXPECT_EQ(h.musicLength, h.bytes);
    EXPECT_EQ(h.musicCrc, kt::BitwiseCrc16(piece.data() + h.audio, end - h.audio));
    EXPECT_TRUE(std::is_sorted(h.toc.begin(), h.toc.end()));
    return h;
  }
};

TEST_F(GaplessLayout, PiecesCarryBothTagsAndAHeaderFrameThatDescribesThem) {
  for (const std::vector<std::string>& options : {std::vector<std::string>{"-b", "128"}, {"-V", "3"}}) {
    SCOPED_TRACE(options[0]);
    const std::string source = Tagged("tagged.mp3", options);
    const kt::HeaderFrame whole = ReadHeaderFrame(kt::ReadAll(source), id3v2.size());
    // The engine's own decode keeps exactly the encoded samples, and joins the pieces' decodes to them.
    const std::vector<std::int16_t> ownWhole = OwnDecode(source);
    EXPECT_EQ(ownWhole.size(), 4u * 44100 * 2);
    std::vector<std::int16_t> ownJoined;
    const std::vector<std::string> pieces = Split(dir, owner, source, 3);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      SCOPED_TRACE(i + 1);
      const Bytes piece = kt::ReadAll(pieces[i]);
      ASSERT_GT(piece.size(), id3v2.size() + 128);
      EXPECT_EQ(kt::Slice(piece, 0, id3v2.size()), id3v2);
      const kt::HeaderFrame h = Described(piece);
      // One bitrate only where no lead-in frame (of the highest bitrate) comes first.
      EXPECT_EQ(h.marker, options[0] == "-b" && i == 0 ? "Info" : "Xing");
      // Pieces of 58800 samples. The first starts as the source does; the
      // others skip their two lead-in frames and the samples of their first
      // frame before their start (stream position start + delay + 529, 529
      // of which the decoder's own delay skips). The last ends as the source
      // does; the others drop what follows their end in their last frame,
      // and 529 samples more.
      const std::uint64_t start = 58800 * i, end = start + 58800;
      EXPECT_EQ(h.delay, i == 0 ? whole.delay : 2 * 1152 + (start + whole.delay) % 1152);
      EXPECT_EQ(h.padding, i + 1 == pieces.size() ? whole.padding
                                                  : 529 + (1152 - (end + whole.delay + 529) % 1152) % 1152);
      EXPECT_EQ(std::size_t{h.frames} * 1152 - h.delay - h.padding, 58800u);
      const std::vector<std::int16_t> part = OwnDecode(pieces[i]);
      ownJoined.insert(ownJoined.end(), part.begin(), part.end());
    }
    EXPECT_EQ(kt::PcmDiff(ownWhole, 0, ownJoined, true), "");
  }
}

TEST_F(GaplessLayout, OverlappingPiecesAndASelectionAreTheWholeDecodeOverTheirSpans) {
  const std::string source = Tagged("o.mp3", {"-V", "4"}, 6.0);
  const std::vector<std::int16_t> whole = kt::Decode(dir, RefDecoder::Ffmpeg, source);
  ASSERT_EQ(whole.size(), 2u * 6 * 44100);
  // Pieces of 88200 samples; each later one begins 1.25 s (55125 samples) before its own start.
  kt::Owned<CMp3File> file(source, &owner);
  file.SetOverlapMicros(1250000);
  owner.shred.numberOfSplits = 3;
  owner.shred.baseFilename = dir.File("ov");
  ASSERT_EQ(file.SplitEqually(nullptr), 0u);
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t from = i == 0 ? 0 : 88200 * i - 55125, to = 88200 * (i + 1);
    const std::vector<std::int16_t> part =
        kt::Decode(dir, RefDecoder::Ffmpeg, dir.File("OV-" + std::to_string(i + 1) + ".mp3"));
    EXPECT_EQ(part.size(), 2 * (to - from)) << "piece " << i + 1;
    EXPECT_EQ(kt::PcmDiff(whole, 2 * from, part, false), "") << "piece " << i + 1;
  }

  // A selection from second 2 to 4 plays exactly those samples, and says so.
  ASSERT_EQ(file.SaveSelection(dir.File("sel.mp3"), 2, 4, nullptr), 0u);
  const std::vector<std::int16_t> part = kt::Decode(dir, RefDecoder::Ffmpeg, dir.File("sel.mp3"));
  EXPECT_EQ(part.size(), 2u * 2 * 44100);
  EXPECT_EQ(kt::PcmDiff(whole, 2 * 2 * 44100, part, false), "") << "selection";
  ASSERT_FALSE(owner.messages.empty());
  EXPECT_EQ(owner.messages.back().text, "This selection will last for 2.00 seconds");
}

// A header frame whose frame count is not the file's (copied from a longer
// file) trims nothing: every frame is decoded, and the first and last pieces
// do not take its delay and padding.
TEST_F(GaplessLayout, AStaleHeaderFrameIsNotTrusted) {
  const Bytes good = kt::ReadAll(Tagged("good.mp3", {"-b", "128"}));
  const auto frames = kt::WalkFrames(good, id3v2.size(), good.size() - 128);
  Bytes stale = kt::Slice(good, 0, frames[frames.size() - 10]);
  stale.insert(stale.end(), id3v1.begin(), id3v1.end());
  kt::WriteAll(dir.File("stale.mp3"), stale);
  EXPECT_FALSE(kt::Owned<CMp3File>(dir.File("stale.mp3"), &owner).GetTrustedLameTag().has_value());
  EXPECT_TRUE(kt::Owned<CMp3File>(dir.File("good.mp3"), &owner).GetTrustedLameTag().has_value());
  const std::size_t audioSamples = (frames.size() - 10 - 1) * 1152 * 2;  // without the header frame
  EXPECT_EQ(OwnDecode(dir.File("stale.mp3")).size(), audioSamples);

  const std::vector<std::string> pieces = Split(dir, owner, dir.File("stale.mp3"), 2);
  EXPECT_EQ(kt::ReadHeaderFrame(kt::ReadAll(pieces[0]), id3v2.size()).delay, 1152u - 529)
      << "one silent frame, played from the first real sample";
  EXPECT_EQ(kt::ReadHeaderFrame(kt::ReadAll(pieces[1]), id3v2.size()).padding, 529u)
      << "played to the end of the last frame";
  EXPECT_EQ(kt::Decode(dir, RefDecoder::Ffmpeg, pieces[0]).size() +
                kt::Decode(dir, RefDecoder::Ffmpeg, pieces[1]).size(),
            audioSamples);
}

// A piece cut short by a cancel ends on its last whole frame, and its header
// frame counts what is there.
TEST_F(GaplessLayout, ACancelledPieceIsDescribedByItsHeaderFrame) {
  const std::string source = Tagged("c.mp3", {"-b", "128"}, 8.0);
  kt::RecordingProgress progress;
  progress.cancelAfterFileSteps = 8;  // two steps into piece 2 of 2 (six steps of 10000 bytes each)
  const std::string path = Split(dir, owner, source, 2, 0, &progress)[1];
  const kt::HeaderFrame h = Described(kt::ReadAll(path));
  EXPECT_LT(h.frames, 100u);
  EXPECT_EQ(h.padding, 529u);
  EXPECT_EQ(kt::Decode(dir, RefDecoder::Ffmpeg, path).size(),
            2 * (std::size_t{h.frames} * 1152 - h.delay - 529));
}

}  // namespace
