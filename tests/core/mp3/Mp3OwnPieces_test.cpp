// The gapless pieces Kestrune writes, opened again: the information lines
// describe the music frames (not the lead-in frames the header frame's delay
// skips), the duration is what the piece plays, estimates use the piece's
// own seconds, and cutting or splitting a piece again plays exactly the span
// asked for.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/SplitEstimate.h"
#include "core/StringTable.h"
#include "core/mp3/Mp3File.h"
#include "support/GaplessCheck.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

using kt::RefDecoder;

std::vector<std::string> Lines(const std::string& path) {
  return CMp3File(path).GetInformationLines();
}

TEST(Mp3OwnPieces, PiecesReadAsTheirSourceAndCutAgainExactly) {
  const struct {
    const char* name;
    int rate, channels;
    std::vector<std::string> lame;
    bool constant;
  } sources[] = {
      {"cbr128", 44100, 2, {"-b", "128"}, true},
      {"cbr128 without a LAME tag", 44100, 2, {"-b", "128", "-t"}, true},
      {"vbr_v2", 44100, 2, {"-V", "2"}, false},
      {"vbr_v5_mono", 44100, 1, {"-V", "5", "-m", "m"}, false},
      {"mpeg2_22k_64", 22050, 2, {"-b", "64"}, true},
  };
  for (const auto& row : sources) {
    SCOPED_TRACE(row.name);
    kt::TempDir dir;
    kt::ScriptedOwner owner;
    kt::WriteAll(dir.File("source.wav"), kt::MusicWav(12.0, row.channels, row.rate));
    const std::string source = kt::LameEncode(dir, "source.mp3", dir.File("source.wav"), row.lame);
    ASSERT_FALSE(source.empty());
    const std::vector<std::string> sourceLines = Lines(source);
    kt::Owned<CMp3File> file(source, &owner);
    owner.shred.numberOfSplits = 3;
    owner.shred.baseFilename = dir.File("p");
    ASSERT_EQ(file.SplitEqually(nullptr), 0u);
    const auto rate = static_cast<std::uint32_t>(row.rate);
    const std::uint64_t each = file.GetSampleCount() / 3;
    for (int i = 1; i <= 3; ++i) {
      SCOPED_TRACE(i);
      const std::string path = dir.File("P-" + std::to_string(i) + ".mp3");
      kt::Owned<CMp3File> piece(path, &owner);
      ASSERT_EQ(piece.GetError(), 0u);
      const std::vector<std::string> lines = piece.GetInformationLines();
      ASSERT_EQ(lines.size(), sourceLines.size());
      // Sampling rate, MPEG version, layer, copyright and original bits as the source's.
      for (std::size_t k : {1u, 4u, 5u, 6u, 7u}) EXPECT_EQ(lines[k], sourceLines[k]);
      const std::uint64_t samples = i < 3 ? each : file.GetSampleCount() - 2 * each;
      EXPECT_EQ(piece.GetSampleCount(), samples) << "the length the header frame describes";
      EXPECT_EQ(lines[8], FormatText("Play Duration - %.2lf Sec(s)", static_cast<double>(samples) / rate));
      if (row.constant) {
        EXPECT_EQ(lines[2], sourceLines[2]) << "the music frames' bitrate";
        // Frames of a constant bitrate differ by the padding byte at most.
        const int length = static_cast<int>(piece.GetFrameLength()),
                  sourceLength = static_cast<int>(file.GetFrameLength());
        EXPECT_LE(std::abs(length - sourceLength), 1) << lines[3];
        EXPECT_EQ(piece.GetByteRate(), file.GetByteRate());
      } else {
        // Averages over a third of the music: near the whole file's.
        EXPECT_NEAR(piece.GetDisplayBitrate(), file.GetDisplayBitrate(), file.GetDisplayBitrate() / 4.0);
      }
      // Pieces of earlier versions said "Info" although their lead-in frames
      // have other bitrates; they read the same.
      if (row.constant && i == 2) {
        std::vector<std::uint8_t> bytes = kt::ReadAll(path);
        const std::string text(bytes.begin(), bytes.begin() + 400);
        const std::size_t marker = text.find("Xing");
        ASSERT_NE(marker, std::string::npos);
        std::copy_n("Info", 4, bytes.begin() + static_cast<long>(marker));
        kt::WriteAll(dir.File("old.mp3"), bytes);
        EXPECT_EQ(Lines(dir.File("old.mp3")), lines);
      }
      // The estimate of halves: half the piece's seconds.
      const SplitEstimate estimate = EstimateMp3Split(piece.GetSplitFacts(), 2);
      EXPECT_NEAR(estimate.playtime, static_cast<double>(samples) / rate / 2, 0.05);
    }

    // Cutting a piece again: the span asked for, sample for sample.
    const std::string middle = dir.File("P-2.mp3");
    const std::vector<std::int16_t> whole = kt::Decode(dir, RefDecoder::Ffmpeg, middle);
    ASSERT_EQ(whole.size(), each * row.channels);
    kt::Owned<CMp3File> piece(middle, &owner);
    const std::size_t first = kt::SampleAtTime("0.5", rate), end = kt::SampleAtTime("3.25", rate);
    ASSERT_EQ(piece.SaveSelectionSamples(dir.File("re.mp3"), first, end, nullptr), 0u);
    EXPECT_EQ(owner.messages.back().text, "This selection will last for 2.75 seconds");
    EXPECT_EQ(kt::SpanDiff(whole, first, end, row.channels,
                           kt::Decode(dir, RefDecoder::Ffmpeg, dir.File("re.mp3"))),
              "");
    // Splitting a piece again: the pieces join to the piece.
    owner.shred.baseFilename = dir.File("q");
    owner.shred.numberOfSplits = 2;
    ASSERT_EQ(piece.SplitEqually(nullptr), 0u);
    std::vector<std::int16_t> joined = kt::Decode(dir, RefDecoder::Ffmpeg, dir.File("Q-1.mp3"));
    const std::vector<std::int16_t> second = kt::Decode(dir, RefDecoder::Ffmpeg, dir.File("Q-2.mp3"));
    EXPECT_EQ(joined.size(), each / 2 * row.channels);
    joined.insert(joined.end(), second.begin(), second.end());
    EXPECT_EQ(kt::PcmDiff(whole, 0, joined, true), "");
  }
}

// A header frame that lies (its frame count is not the file's) is not
// believed: the file reads as it always has, by its first audio frame.
TEST(Mp3OwnPieces, AStaleInfoFrameStillReadsByTheFirstFrame) {
  kt::TempDir dir;
  kt::WriteAll(dir.File("source.wav"), kt::MusicWav(4.0, 2, 44100));
  const std::vector<std::uint8_t> good =
      kt::ReadAll(kt::LameEncode(dir, "g.mp3", dir.File("source.wav"), {"-b", "128"}));
  const kt::HeaderFrame header = kt::ReadHeaderFrame(good, 0);
  // The last 20 frames cut off: the Info frame still counts them.
  std::vector<std::uint8_t> stale(good.begin(), good.end() - 20 * 417);
  kt::WriteAll(dir.File("stale.mp3"), stale);
  CMp3File file(dir.File("stale.mp3"));
  ASSERT_EQ(file.GetError(), 0u);
  EXPECT_FALSE(file.GetTrustedLameTag().has_value());
  const std::vector<std::string> lines = file.GetInformationLines();
  EXPECT_EQ(lines[2], "Bitrate - 128 Kbits/sec");
  EXPECT_EQ(lines[8], FormatText("Play Duration - %.2lf Sec(s)", header.frames * 1152 / 44100.0))
      << "the stated count, as before";
  const std::vector<std::size_t> frames = kt::WalkFrames(good, 0, good.size());
  EXPECT_EQ(file.GetFrameLength(), frames[2] - frames[1]) << "the first audio frame's";
}

}  // namespace
