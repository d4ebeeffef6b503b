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
  CMp3File file(source, &owner);
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

TEST(GaplessPieces, JoinedPiecesDecodeToTheWholeFileSampleForSample) {
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
  };
  for (const auto& row : sources) {
    SCOPED_TRACE(row.name);
    kt::TempDir dir;
    kt::ScriptedOwner owner;
    kt::WriteAll(dir.File("source.wav"), kt::MusicWav(3.0, row.channels, row.rate));
    const std::string source = kt::LameEncode(dir, "source.mp3", dir.File("source.wav"), row.lame);
    ASSERT_FALSE(source.empty());
    const std::vector<std::string> pieces = Split(dir, owner, source, row.pieces);
    // mpg123 decodes MPEG 1 only here; it rounds the synthesis of mono streams
    // by the number of frames decoded before, so single samples may differ
    // by one (docs/mp3-engine.md).
    for (const RefDecoder decoder : {RefDecoder::Ffmpeg, RefDecoder::Mpg123}) {
      if (decoder == RefDecoder::Mpg123 && row.rate < 32000) continue;
      std::vector<std::int16_t> joined;
      for (const std::string& piece : pieces) {
        const std::vector<std::int16_t> part = kt::Decode(dir, decoder, piece);
        joined.insert(joined.end(), part.begin(), part.end());
      }
      const std::vector<std::int16_t> whole = kt::Decode(dir, decoder, source);
      ASSERT_GT(whole.size(), 2u * row.rate);
      const int tolerance = decoder == RefDecoder::Mpg123 && row.channels == 1 ? 1 : 0;
      EXPECT_EQ(kt::PcmDiff(whole, 0, joined, true, tolerance), "")
          << (decoder == RefDecoder::Ffmpeg ? "ffmpeg" : "mpg123");
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
    EXPECT_EQ(CMp3File(mp3, &owner).ConvertToWav(dir.File("own.wav"), nullptr), 0);
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
      EXPECT_EQ(h.marker, options[0] == "-b" ? "Info" : "Xing");
      // The first piece starts as the source does; the others skip their two
      // lead-in frames. The last ends as the source does; the others keep
      // 529 samples of their lead-out frame.
      EXPECT_EQ(h.delay, i == 0 ? whole.delay : 2 * 1152u);
      EXPECT_EQ(h.padding, i + 1 == pieces.size() ? whole.padding : 1152u);
      const std::vector<std::int16_t> part = OwnDecode(pieces[i]);
      ownJoined.insert(ownJoined.end(), part.begin(), part.end());
    }
    EXPECT_EQ(kt::PcmDiff(ownWhole, 0, ownJoined, true), "");
  }
}

TEST_F(GaplessLayout, OverlappingPiecesAndASelectionAreTheWholeDecodeOverTheirSpans) {
  const std::string source = Tagged("o.mp3", {"-V", "4"}, 6.0);
  const std::vector<std::int16_t> whole = kt::Decode(dir, RefDecoder::Ffmpeg, source);
  // The pieces end where pieces without overlap end; each begins a second
  // (in whole frames) before the previous one ended.
  std::vector<std::size_t> ends;
  for (const std::string& piece : Split(dir, owner, source, 3))
    ends.push_back((ends.empty() ? 0 : ends.back()) + kt::Decode(dir, RefDecoder::Ffmpeg, piece).size());
  const std::vector<std::string> pieces = Split(dir, owner, source, 3, 1);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const std::vector<std::int16_t> part = kt::Decode(dir, RefDecoder::Ffmpeg, pieces[i]);
    ASSERT_LE(part.size(), ends[i]);
    EXPECT_GT(part.size(), ends[i] - (i > 0 ? ends[i - 1] : 0) + (i > 0 ? 2 * 44100 * 9 / 10 : 0) - 1);
    EXPECT_EQ(kt::PcmDiff(whole, ends[i] - part.size(), part, false), "") << "piece " << i + 1;
  }

  // A selection from second 2 to 4: its lead-in copies the frame before
  // its first; it plays the whole decode from that first frame on.
  CMp3File file(source, &owner);
  ASSERT_EQ(file.SaveSelection(dir.File("sel.mp3"), 2, 4, nullptr), 0u);
  const Bytes sel = kt::ReadAll(dir.File("sel.mp3")), src = kt::ReadAll(source);
  const kt::HeaderFrame h = ReadHeaderFrame(sel, id3v2.size());
  const auto selFrames = kt::WalkFrames(sel, h.at, sel.size() - 128);
  const auto srcFrames = kt::WalkFrames(src, id3v2.size(), src.size() - 128);
  ASSERT_GT(selFrames.size(), 4u);
  const Bytes before = kt::Slice(sel, selFrames[2], selFrames[3] - selFrames[2]);
  std::size_t first = 0;  // srcFrames[first] is audio frame first - 1, the one before the selection
  for (std::size_t k = 1; k + 1 < srcFrames.size() && first == 0; ++k)
    if (kt::Slice(src, srcFrames[k], srcFrames[k + 1] - srcFrames[k]) == before) first = k;
  ASSERT_GT(first, 0u);
  const std::vector<std::int16_t> part = kt::Decode(dir, RefDecoder::Ffmpeg, dir.File("sel.mp3"));
  EXPECT_EQ(part.size(), 2 * (std::size_t{h.frames} * 1152 - h.delay - h.padding));
  const std::size_t from = 2 * (first * 1152 - ReadHeaderFrame(src, id3v2.size()).delay);
  EXPECT_EQ(kt::PcmDiff(whole, from, part, false), "") << "selection";
  EXPECT_NEAR(part.size() / 2 / 44100.0, 2.0, 0.1);
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
  EXPECT_FALSE(CMp3File(dir.File("stale.mp3"), &owner).GetTrustedLameTag().has_value());
  EXPECT_TRUE(CMp3File(dir.File("good.mp3"), &owner).GetTrustedLameTag().has_value());
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
