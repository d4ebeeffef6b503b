// Gapless MP3 pieces: the pieces of LAME-encoded sources, decoded one by one
// by ffmpeg and mpg123 and joined, equal the whole file's decode sample for
// sample; their header frames, durations and frame checks.

#include <gtest/gtest.h>

#include <cmath>

#include "audio/Mp3File.h"
#include "audio/WaveFile.h"
#include "support/GaplessCheck.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

struct SourceCase {
  const char* name;
  int rate;
  int channels;
  std::vector<std::string> lame;  // empty: the project's own encoder at 128 kbit/s
};

void PrintTo(const SourceCase& c, std::ostream* os) {
  *os << c.name;
}

const SourceCase kSources[] = {
    {"cbr96_joint", 44100, 2, {"-b", "96", "--resample", "44.1"}},
    {"cbr128_stereo", 44100, 2, {"-b", "128", "-m", "s"}},
    {"cbr192_48k", 48000, 2, {"-b", "192"}},
    {"cbr320", 44100, 2, {"-b", "320"}},
    {"vbr_v0", 44100, 2, {"-V", "0"}},
    {"vbr_v2_48k", 48000, 2, {"-V", "2"}},
    {"vbr_v5_mono", 44100, 1, {"-V", "5", "-m", "m"}},
    {"abr160", 44100, 2, {"--abr", "160"}},
    {"cbr64_mono", 44100, 1, {"-b", "64", "-m", "m"}},
    {"mpeg2_22k_48", 22050, 2, {"-b", "48"}},
    {"mpeg2_24k_64_mono", 24000, 1, {"-b", "64", "-m", "m"}},
    {"mpeg2_22k_v5", 22050, 2, {"-V", "5"}},
    {"own_encoder", 44100, 2, {}},
};

class GaplessPieces : public ::testing::TestWithParam<SourceCase> {
 protected:
  kt::TempDir dir;
  kt::ScriptedOwner owner;

  std::string Source() {
    const SourceCase& c = GetParam();
    const std::string wav = dir.File("source.wav");
    kt::WriteAll(wav, kt::MusicWav(3.0, c.channels, c.rate));
    if (!c.lame.empty()) return kt::LameEncode(dir, "source.mp3", wav, c.lame);
    CWaveFile source(wav, &owner);
    Mp3EncodeSettings settings;
    settings.bitrate = 128;
    source.ConvertToMp3(dir.File("source.mp3"), nullptr, settings);
    return dir.File("source.mp3");
  }

  std::vector<std::string> Split(const std::string& source, std::uint32_t n, std::uint32_t overlap = 0) {
    CMp3File file(source, &owner);
    EXPECT_EQ(file.GetError(), 0u);
    file.SetOverlapTime(overlap);
    owner.shred.numberOfSplits = n;
    owner.shred.baseFilename = dir.File("piece" + std::to_string(n) + "o" + std::to_string(overlap));
    EXPECT_EQ(file.SplitEqually(nullptr), 0u);
    std::vector<std::string> pieces;
    for (std::uint32_t i = 1; i <= n; ++i)
      pieces.push_back(dir.File("PIECE" + std::to_string(n) + "O" + std::to_string(overlap) + "-" +
                                std::to_string(i) + ".mp3"));
    return pieces;
  }
};

TEST_P(GaplessPieces, JoinedPiecesDecodeToTheWholeFileSampleForSample) {
  const std::string source = Source();
  ASSERT_FALSE(source.empty());
  // mpg123 rounds the synthesis of mono MPEG 1 and of MPEG 2 streams by the
  // number of frames decoded before, modulo 4 or 8; where the lead-in cannot
  // match it, single samples differ by one (docs/mp3-engine.md).
  const bool phased = GetParam().rate < 32000 || GetParam().channels == 1;
  for (std::uint32_t n : {2u, 3u, 7u}) {
    const std::vector<std::string> pieces = Split(source, n);
    for (kt::RefDecoder decoder : {kt::RefDecoder::Ffmpeg, kt::RefDecoder::Mpg123}) {
      std::vector<std::size_t> lengths;
      const kt::PcmCompare c = kt::CompareJoinedPieces(dir, decoder, source, pieces, &lengths);
      // ffprobe counts every frame of a piece (its span, the lead-in and the
      // lead-out); mp3val finds nothing wrong with the frames.
      if (decoder == kt::RefDecoder::Ffmpeg && n == 3) {
        const int rate = GetParam().rate, channels = GetParam().channels;
        const double frame = (rate < 32000 ? 576.0 : 1152.0) / rate;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
          const double span = static_cast<double>(lengths[i]) / channels / rate;
          EXPECT_LE(std::abs(kt::ProbeDuration(dir, pieces[i]) - span), 4 * frame + 1e-6)
              << "piece " << i + 1;
          EXPECT_EQ(kt::Mp3valWarnings(dir, pieces[i]), "");
        }
      }
      if (decoder == kt::RefDecoder::Mpg123 && phased) {
        EXPECT_EQ(c.actualSize, c.expectedSize) << n << " pieces";
        EXPECT_LE(c.largestError, 1) << n << " pieces: " << c.Describe();
      } else {
        EXPECT_TRUE(c.Equal()) << kt::Name(decoder) << ", " << n << " pieces: " << c.Describe();
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sources, GaplessPieces, ::testing::ValuesIn(kSources),
                         [](const auto& info) { return std::string(info.param.name); });

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Be32(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) |
         b[at + 3];
}

std::uint16_t BitwiseCrc16(const std::uint8_t* p, std::size_t n) {
  std::uint16_t crc = 0;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int b = 0; b < 8; ++b) crc = static_cast<std::uint16_t>(crc & 1u ? (crc >> 1) ^ 0xA001u : crc >> 1);
  }
  return crc;
}

// A piece's header frame, read by offsets from the format (MPEG 1 stereo:
// the Xing/Info block 36 bytes in, the LAME extension 120 bytes later).
struct PieceHeader {
  std::size_t at = 0, length = 0;
  std::string marker;
  std::uint32_t frames = 0, bytes = 0, delay = 0, padding = 0, musicLength = 0;
  std::uint16_t musicCrc = 0;
  std::vector<std::uint8_t> toc;
};

PieceHeader ReadPieceHeader(const Bytes& piece, std::size_t at) {
  PieceHeader h;
  h.at = at;
  const std::vector<std::size_t> frames = kt::WalkFrames(piece, at, piece.size());
  h.length = frames.size() > 1 ? frames[1] - at : 0;
  const std::size_t x = at + 36, l = x + 120;
  h.marker.assign(piece.begin() + static_cast<long>(x), piece.begin() + static_cast<long>(x) + 4);
  h.frames = Be32(piece, x + 8);
  h.bytes = Be32(piece, x + 12);
  h.toc.assign(piece.begin() + static_cast<long>(x) + 16, piece.begin() + static_cast<long>(x) + 116);
  h.delay = (piece[l + 21] << 4) | (piece[l + 22] >> 4);
  h.padding = ((piece[l + 22] & 15) << 8) | piece[l + 23];
  h.musicLength = Be32(piece, l + 28);
  h.musicCrc = static_cast<std::uint16_t>((piece[l + 32] << 8) | piece[l + 33]);
  return h;
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
    const Bytes mp3 = kt::ReadAll(kt::LameEncode(dir, "plain.mp3", dir.File("music.wav"), options));
    Bytes all = id3v2;
    all.insert(all.end(), mp3.begin(), mp3.end());
    all.insert(all.end(), id3v1.begin(), id3v1.end());
    kt::WriteAll(dir.File(name), all);
    return dir.File(name);
  }
  std::vector<std::string> Split(const std::string& source, std::uint32_t n, std::uint32_t overlap = 0,
                                 CProgress* progress = nullptr) {
    CMp3File file(source, &owner);
    EXPECT_EQ(file.GetError(), 0u);
    file.SetOverlapTime(overlap);
    owner.shred.numberOfSplits = n;
    owner.shred.baseFilename = dir.File("cut");
    EXPECT_EQ(file.SplitEqually(progress), 0u);
    std::vector<std::string> pieces;
    for (std::uint32_t i = 1; i <= n; ++i) pieces.push_back(dir.File("CUT-" + std::to_string(i) + ".mp3"));
    return pieces;
  }
};

TEST_F(GaplessLayout, PiecesCarryBothTagsAndAHeaderFrameThatDescribesThem) {
  for (const std::vector<std::string>& options : {std::vector<std::string>{"-b", "128"}, {"-V", "2"}}) {
    SCOPED_TRACE(options[0]);
    const std::string source = Tagged("tagged.mp3", options);
    const Bytes sourceBytes = kt::ReadAll(source);
    const PieceHeader whole = ReadPieceHeader(sourceBytes, id3v2.size());
    const std::uint64_t spanOfSource = std::uint64_t{whole.frames} * 1152 - whole.delay - whole.padding;
    std::uint64_t spans = 0;
    const std::vector<std::string> pieces = Split(source, 3);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      SCOPED_TRACE(i + 1);
      const Bytes piece = kt::ReadAll(pieces[i]);
      ASSERT_GT(piece.size(), id3v2.size() + 128);
      EXPECT_EQ(Bytes(piece.begin(), piece.begin() + static_cast<long>(id3v2.size())), id3v2);
      EXPECT_EQ(Bytes(piece.end() - 128, piece.end()), id3v1);
      const PieceHeader h = ReadPieceHeader(piece, id3v2.size());
      EXPECT_EQ(h.marker, options[0] == "-b" ? "Info" : "Xing");
      const std::size_t audio = h.at + h.length, end = piece.size() - 128;
      EXPECT_EQ(kt::WalkEnd(piece, h.at, end), end) << "whole frames up to the ID3v1 tag";
      EXPECT_EQ(h.frames, kt::WalkFrames(piece, audio, end).size());
      EXPECT_EQ(h.bytes, end - h.at);
      EXPECT_EQ(h.musicLength, h.bytes);
      EXPECT_EQ(h.musicCrc, BitwiseCrc16(piece.data() + audio, end - audio));
      for (std::size_t k = 1; k < h.toc.size(); ++k) EXPECT_LE(h.toc[k - 1], h.toc[k]);
      // The first piece starts as the source does; the others skip their two
      // lead-in frames. The last ends as the source does; the others keep
      // 529 samples of their lead-out frame.
      EXPECT_EQ(h.delay, i == 0 ? whole.delay : 2 * 1152u);
      EXPECT_EQ(h.padding, i + 1 == pieces.size() ? whole.padding : 1152u);
      const std::uint64_t span = std::uint64_t{h.frames} * 1152 - h.delay - h.padding;
      spans += span;
      // ffprobe counts every frame: the span, the lead-in and the lead-out.
      const double seconds = kt::ProbeDuration(dir, pieces[i]);
      EXPECT_LE(std::abs(seconds - span / 44100.0), 4 * 1152 / 44100.0) << seconds;
      EXPECT_EQ(kt::Mp3valWarnings(dir, pieces[i]), "");
    }
    EXPECT_EQ(spans, spanOfSource);
  }
}

TEST_F(GaplessLayout, OverlappingPiecesAndASelectionAreTheWholeDecodeOverTheirSpans) {
  const std::string source = Tagged("o.mp3", {"-V", "4"}, 6.0);
  const kt::Pcm whole = kt::Decode(dir, kt::RefDecoder::Ffmpeg, source);
  // The pieces end where pieces without overlap end; each begins a second
  // (in whole frames) before the previous one ended.
  std::vector<std::size_t> ends;
  for (const std::string& piece : Split(source, 3)) {
    const std::size_t before = ends.empty() ? 0 : ends.back();
    ends.push_back(before + kt::Decode(dir, kt::RefDecoder::Ffmpeg, piece).samples.size());
  }
  const std::vector<std::string> pieces = Split(source, 3, 1);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const kt::Pcm part = kt::Decode(dir, kt::RefDecoder::Ffmpeg, pieces[i]);
    ASSERT_LE(part.samples.size(), ends[i]);
    if (i > 0) {
      EXPECT_GT(part.samples.size(), ends[i] - ends[i - 1] + 2 * 44100 * 9 / 10);
    }
    const kt::PcmCompare c =
        kt::ComparePcm(whole.samples, ends[i] - part.samples.size(), part.samples, false);
    EXPECT_TRUE(c.Equal()) << "piece " << i + 1 << ": " << c.Describe();
  }

  // A selection from second 2 to 4: its lead-in copies the frame before
  // its first; it plays the whole decode from that first frame on.
  CMp3File file(source, &owner);
  ASSERT_EQ(file.SaveSelection(dir.File("sel.mp3"), 2, 4, nullptr), 0u);
  const Bytes sel = kt::ReadAll(dir.File("sel.mp3"));
  const Bytes src = kt::ReadAll(source);
  const PieceHeader h = ReadPieceHeader(sel, id3v2.size());
  const PieceHeader sourceHeader = ReadPieceHeader(src, id3v2.size());
  const auto selFrames = kt::WalkFrames(sel, h.at, sel.size() - 128);
  const auto srcFrames = kt::WalkFrames(src, id3v2.size(), src.size() - 128);
  ASSERT_GT(selFrames.size(), 4u);
  const Bytes before(sel.begin() + static_cast<long>(selFrames[2]),
                     sel.begin() + static_cast<long>(selFrames[3]));
  std::size_t first = 0;  // the selection's first frame, counted from the source's first audio frame
  for (std::size_t k = 1; k + 1 < srcFrames.size() && first == 0; ++k)
    if (Bytes(src.begin() + static_cast<long>(srcFrames[k]),
              src.begin() + static_cast<long>(srcFrames[k + 1])) == before)
      first = k;  // srcFrames[k] is audio frame k - 1, the one before the selection
  ASSERT_GT(first, 0u);
  const kt::Pcm part = kt::Decode(dir, kt::RefDecoder::Ffmpeg, dir.File("sel.mp3"));
  EXPECT_EQ(part.samples.size(), 2 * (std::size_t{h.frames} * 1152 - h.delay - h.padding));
  const std::size_t from = 2 * (first * 1152 - sourceHeader.delay);
  const kt::PcmCompare c = kt::ComparePcm(whole.samples, from, part.samples, false);
  EXPECT_TRUE(c.Equal()) << "selection: " << c.Describe();
  EXPECT_NEAR(part.samples.size() / 2 / 44100.0, 2.0, 0.1);
}

// Kestrune's own decode honours the header frames: the source decodes to
// exactly the samples lame encoded, each piece to exactly its span of it.
TEST_F(GaplessLayout, OwnDecodeOfTheSourceIsTheEncodedLengthAndOfEachPieceItsSpan) {
  const std::string source = Tagged("own.mp3", {"-V", "3"});
  ASSERT_EQ(CMp3File(source, &owner).ConvertToWav(dir.File("whole.wav"), nullptr), 0);
  const kt::DecodedWav whole = kt::ReadDecodedWav(kt::ReadAll(dir.File("whole.wav")));
  EXPECT_EQ(whole.samples.size(), 4u * 44100 * 2);
  std::vector<std::int16_t> joined;
  for (const std::string& piece : Split(source, 3)) {
    ASSERT_EQ(CMp3File(piece, &owner).ConvertToWav(dir.File("part.wav"), nullptr), 0);
    const kt::DecodedWav part = kt::ReadDecodedWav(kt::ReadAll(dir.File("part.wav")));
    joined.insert(joined.end(), part.samples.begin(), part.samples.end());
  }
  const kt::PcmCompare c = kt::ComparePcm(whole.samples, 0, joined, true);
  EXPECT_TRUE(c.Equal()) << c.Describe();
}

// A header frame whose frame count is not the file's (copied from a longer
// file) trims nothing: every frame is decoded, and the first and last pieces
// do not take its delay and padding.
TEST_F(GaplessLayout, AStaleHeaderFrameIsNotTrusted) {
  const Bytes good = kt::ReadAll(Tagged("good.mp3", {"-b", "128"}));
  const auto frames = kt::WalkFrames(good, id3v2.size(), good.size() - 128);
  Bytes stale(good.begin(), good.begin() + static_cast<long>(frames[frames.size() - 10]));
  stale.insert(stale.end(), id3v1.begin(), id3v1.end());
  kt::WriteAll(dir.File("stale.mp3"), stale);
  CMp3File file(dir.File("stale.mp3"), &owner);
  EXPECT_FALSE(file.GetTrustedLameTag().has_value());
  EXPECT_TRUE(CMp3File(dir.File("good.mp3"), &owner).GetTrustedLameTag().has_value());
  ASSERT_EQ(file.ConvertToWav(dir.File("stale.wav"), nullptr), 0);
  const std::size_t audioFrames = frames.size() - 10 - 1;  // without the header frame
  EXPECT_EQ(kt::ReadDecodedWav(kt::ReadAll(dir.File("stale.wav"))).samples.size(), audioFrames * 1152 * 2);

  const std::vector<std::string> pieces = Split(dir.File("stale.mp3"), 2);
  const PieceHeader first = ReadPieceHeader(kt::ReadAll(pieces[0]), id3v2.size());
  const PieceHeader last = ReadPieceHeader(kt::ReadAll(pieces[1]), id3v2.size());
  EXPECT_EQ(first.delay, 1152u - 529);  // one silent frame, played from the first real sample
  EXPECT_EQ(last.padding, 529u);        // played to the end of the last frame
  const kt::Pcm a = kt::Decode(dir, kt::RefDecoder::Ffmpeg, pieces[0]);
  const kt::Pcm b = kt::Decode(dir, kt::RefDecoder::Ffmpeg, pieces[1]);
  EXPECT_EQ(a.samples.size() + b.samples.size(), audioFrames * 1152 * 2);
}

// A piece cut short by a cancel ends on its last whole frame, and its header
// frame counts what is there.
TEST_F(GaplessLayout, ACancelledPieceIsDescribedByItsHeaderFrame) {
  const std::string source = Tagged("c.mp3", {"-b", "128"}, 8.0);
  kt::RecordingProgress progress;
  progress.cancelAfterFileSteps = 8;  // two steps into piece 2 of 2 (six steps of 10000 bytes each)
  const std::vector<std::string> pieces = Split(source, 2, 0, &progress);
  const Bytes piece = kt::ReadAll(pieces[1]);
  const PieceHeader h = ReadPieceHeader(piece, id3v2.size());
  const std::size_t end = piece.size() - 128;
  EXPECT_EQ(Bytes(piece.begin() + static_cast<long>(end), piece.end()), id3v1);
  EXPECT_EQ(kt::WalkEnd(piece, h.at, end), end);
  EXPECT_EQ(h.frames, kt::WalkFrames(piece, h.at + h.length, end).size());
  EXPECT_LT(h.frames, 100u);
  EXPECT_EQ(h.bytes, end - h.at);
  EXPECT_EQ(h.padding, 529u);
  const kt::Pcm part = kt::Decode(dir, kt::RefDecoder::Ffmpeg, pieces[1]);
  EXPECT_EQ(part.samples.size(), 2 * (std::size_t{h.frames} * 1152 - h.delay - 529));
}

}  // namespace
