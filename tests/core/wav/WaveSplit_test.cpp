#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "core/StringTable.h"
#include "core/wav/WaveCut.h"
#include "core/wav/WaveFile.h"
#include "support/GaplessCheck.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

namespace {

using kt::WavSpec;

TEST(WaveCutArithmetic, ThreePiecesOf1000BytesAndTheLastTakesTheRemainingFrames) {
  const WavePiece a = PlanWavePiece(1000, 4, 176400, 3, 1, 0);
  const WavePiece b = PlanWavePiece(1000, 4, 176400, 3, 2, 0);
  const WavePiece c = PlanWavePiece(1000, 4, 176400, 3, 3, 0);
  EXPECT_EQ(a.start, 0u);
  EXPECT_EQ(a.length, 332u);
  EXPECT_EQ(b.start, 332u);
  EXPECT_EQ(b.length, 332u);
  EXPECT_EQ(c.start, 664u);
  EXPECT_EQ(c.length, 336u);  // bytes 996-999 are no longer lost
  // A final partial frame stays out.
  EXPECT_EQ(PlanWavePiece(1002, 4, 176400, 3, 3, 0).length, 336u);
}

TEST(WaveCutArithmetic, OverlapIsWholeFramesAndNeverReachesBeforeTheAudio) {
  const std::uint32_t data = 176400 * 10;
  EXPECT_EQ(PlanWavePiece(data, 4, 176400, 4, 1, 2).overlap, 0u);
  EXPECT_EQ(PlanWavePiece(data, 4, 176400, 4, 2, 2).overlap, 352800u);
  EXPECT_EQ(PlanWavePiece(data, 4, 176400, 4, 3, 0).overlap, 0u);
  // Longer than piece 1: exactly piece 1's audio.
  const WavePiece p = PlanWavePiece(data, 4, 176400, 4, 2, 5);
  EXPECT_EQ(p.overlap, p.start);
  // Byte rate not a multiple of the frame: rounded down to a frame.
  EXPECT_EQ(PlanWavePiece(90000, 6, 1001, 3, 2, 1).overlap, 996u);
  // overlap x byte rate beyond 32 bits does not wrap around to a small overlap.
  EXPECT_EQ(PlanWavePiece(4000000000u, 4, 4000000u, 2, 2, 1100).overlap, 2000000000u);
}

TEST(WaveCutArithmetic, SelectionStartRoundsUpLengthRoundsDownEndClampsToTheData) {
  WaveSelection s = PlanWaveSelection(176400 * 30, 4, 176400, 10, 20);
  EXPECT_EQ(s.offset, 1764000u);
  EXPECT_EQ(s.length, 1764000u);
  s = PlanWaveSelection(44100 * 10, 1, 44100, 3, 5);
  EXPECT_EQ(s.offset, 132300u);
  EXPECT_EQ(s.length, 88200u);
  s = PlanWaveSelection(1000, 6, 1001, 0, 1);  // 1001 -> 996 bytes, capped at 1000 - 0
  EXPECT_EQ(s.length, 996u);
  s = PlanWaveSelection(10000, 6, 1001, 1, 2);  // start 1001 -> 1002
  EXPECT_EQ(s.offset, 1002u);
  s = PlanWaveSelection(176400 * 15, 4, 176400, 10, 20);
  EXPECT_EQ(s.length, 176400u * 5);
}

TEST(WaveCutArithmetic, ReversedOrOutOfRangeSelectionIsEmptyInsteadOfWrapping) {
  EXPECT_EQ(PlanWaveSelection(176400 * 30, 4, 176400, 20, 10).length, 0u);
  EXPECT_EQ(PlanWaveSelection(176400 * 30, 4, 176400, 40, 50).length, 0u);
  EXPECT_EQ(PlanWaveSelection(176400 * 30, 4, 176400, 40, 50).offset, 176400u * 30);
}

TEST(WaveCutArithmetic, SampleSelectionsCutToTheSampleFrameAndWholeSecondsCutAsBefore) {
  const struct {
    std::uint64_t dataSize;
    std::uint16_t blockAlign;
    std::uint32_t avg, rate;
    std::uint64_t first, end, offset, length;
  } rows[] = {
      {176400 * 10, 4, 176400, 44100, 145530, 342657, 145530 * 4, (342657 - 145530) * 4},  // 3.3 s to 7.77 s
      {176400 * 10, 4, 176400, 44100, 0, 1, 0, 4},                                         // one sample
      {176400 * 10, 4, 176400, 44100, 441000 - 1, 441000 + 5, 440999 * 4, 4},  // clipped at the end
      {176400 * 10, 4, 176400, 44100, 441000, 441001, 441000 * 4, 0},          // starts at the end
      {176400 * 10, 4, 176400, 44100, 500, 500, 2000, 0},                      // empty
      {176400 * 10, 4, 176400, 44100, 600, 500, 2400, 0},                      // reversed
      {88200 * 4, 6, 132300, 22050, 7, 100, 42, 93 * 6},                       // three channels
      // IMA ADPCM, 1017 samples in blocks of 1024 bytes, about 44407 bytes a second at 44100 Hz:
      // the start rounds up and the length down to whole blocks.
      {1024 * 50, 1024, 44407, 44100, 1017, 1017 * 11, 1024 * 2, 1024 * 10},
  };
  for (const auto& r : rows) {
    const WaveSelection s = PlanWaveSampleSelection(r.dataSize, r.blockAlign, r.avg, r.rate, r.first, r.end);
    EXPECT_EQ(s.offset, r.offset) << r.first;
    EXPECT_EQ(s.length, r.length) << r.first;
  }
  // Whole seconds are samples at whole multiples of the rate: the plan of before.
  for (std::uint32_t start : {0u, 1u, 7u})
    for (std::uint32_t end : {0u, 3u, 9u, 40u}) {
      const WaveSelection bySeconds = PlanWaveSelection(176400 * 30 + 3, 4, 176400, start, end);
      const WaveSelection bySamples =
          PlanWaveSampleSelection(176400 * 30 + 3, 4, 176400, 44100, start * 44100ull, end * 44100ull);
      EXPECT_EQ(bySeconds.offset, bySamples.offset);
      EXPECT_EQ(bySeconds.length, bySamples.length);
    }
  EXPECT_EQ(WaveBytesOfSamples(3, 1001, 1000), 3u);
  EXPECT_EQ(WaveBytesOfSamples(3, 1001, 1000, true), 4u);
  EXPECT_EQ(WaveBytesOfSamples(3, 1001, 0), 0u);
}

TEST(WavePieceNames, FolderStaysAsGivenAndOnlyTheNameIsUpperCasedWithoutWav) {
  EXPECT_EQ(WavePieceName("/music/Song.wav", "", 1), "/music/SONG-1.wav");
  EXPECT_EQ(WavePieceName("/music/Song.wav", "_part", 3), "/music/SONG_part-3.wav");
  EXPECT_EQ(WavePieceName("/d/x.wav/y.Wav", "", 1), "/d/x.wav/Y-1.wav");
  EXPECT_EQ(WavePieceName("/d/a.wav.b.WAV", "", 2), "/d/A.B-2.wav");
  EXPECT_EQ(WavePieceName("take", "", 2), "TAKE-2.wav");
}

// A source file with its data chunk, a scripted owner and a progress.
struct SplitFixture : ::testing::Test {
  kt::TempDir dir;
  kt::ScriptedOwner owner;
  kt::RecordingProgress progress;
  std::vector<std::uint8_t> data;
  std::string Make(const WavSpec& layout, std::size_t bytes, const std::string& name = "Song.wav") {
    data = kt::PatternData(bytes);
    return kt::MakeWav(dir, name, layout, data);
  }
};

TEST_F(SplitFixture, PiecesHaveExactHeadersAndTogetherHoldTheWholeDataChunk) {
  WavSpec layout;
  layout.after = {kt::Chunk{"LIST", std::vector<std::uint8_t>(30, 'L')}};
  kt::Owned<CWaveFile> wav(Make(layout, 1000), &owner);
  ASSERT_EQ(wav.GetError(), 0u);
  owner.shred.numberOfSplits = 3;
  owner.shred.baseFilename = dir.File("out.wav");
  EXPECT_EQ(wav.SplitEqually(&progress), 0u);
  EXPECT_EQ(owner.shredRequests, 1);
  std::vector<std::uint8_t> joined;
  const std::uint32_t lengths[] = {332, 332, 336};
  for (int i = 1; i <= 3; ++i) {
    const auto bytes = kt::ReadAll(dir.File("OUT-" + std::to_string(i) + ".wav"));
    const std::uint32_t length = lengths[i - 1];
    ASSERT_EQ(bytes.size(), 44u + length) << i;
    EXPECT_EQ(kt::Slice(bytes, 0, 44), kt::CanonicalHeader(2, 44100, 16, length)) << i;
    const auto audio = kt::Slice(bytes, 44);
    joined.insert(joined.end(), audio.begin(), audio.end());
  }
  EXPECT_EQ(joined, data);
  EXPECT_EQ(progress.calls.front(), "Start");
  EXPECT_EQ(progress.calls[1], "SetFileCount 3");
  EXPECT_EQ(progress.calls[2], "SetShreddingText Song.wav OUT-1.wav");
  EXPECT_EQ(progress.calls[3], "SetFileNumber 1");
  EXPECT_EQ(progress.calls[4], "SetFileRange 332 10000");
  EXPECT_EQ(progress.overallSteps, 3u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("OUT-4.wav")));
}

TEST_F(SplitFixture, OverlapOfTwoSecondsPrecedesLaterPiecesAndIsInTheirSizes) {
  WavSpec layout;
  kt::Owned<CWaveFile> wav(Make(layout, 176400 * 9), &owner);
  wav.SetOverlapTime(2);
  wav.SetSuffix("_part");
  owner.shred.numberOfSplits = 3;
  owner.shred.baseFilename = dir.File("t");
  ASSERT_EQ(wav.SplitEqually(&progress), 0u);
  const std::uint32_t p = 176400 * 3;
  for (std::uint32_t i = 1; i <= 3; ++i) {
    const auto bytes = kt::ReadAll(dir.File("T_part-" + std::to_string(i) + ".wav"));
    const std::uint32_t v = i == 1 ? 0 : 352800;
    ASSERT_EQ(bytes.size(), 44u + p + v);
    EXPECT_EQ(kt::GetLe32(bytes, 4), 36u + p + v);
    EXPECT_EQ(kt::GetLe32(bytes, 40), p + v);
    EXPECT_EQ(kt::Slice(bytes, 44), kt::Slice(data, (i - 1) * p - v, p + v)) << i;
  }
}

TEST_F(SplitFixture, TypedOverlapAndSelectionCountSamples) {
  kt::Owned<CWaveFile> wav(Make(WavSpec{}, 176400 * 8), &owner);
  wav.SetOverlapMicros(1500000);  // 1.5 s
  EXPECT_EQ(wav.GetOverlapTime(), 2u) << "shown rounded in the estimate";
  EXPECT_EQ(wav.GetSampleCount(), 352800u);
  owner.shred.numberOfSplits = 2;
  owner.shred.baseFilename = dir.File("m");
  ASSERT_EQ(wav.SplitEqually(&progress), 0u);
  EXPECT_EQ(kt::Slice(kt::ReadAll(dir.File("M-2.wav")), 44), kt::Slice(data, 176400 * 4 - 66150 * 4));

  ASSERT_EQ(wav.SaveSelectionSamples(dir.File("s.wav"), 145530, 342657, &progress), 0u);
  EXPECT_EQ(kt::Slice(kt::ReadAll(dir.File("s.wav")), 44),
            kt::Slice(data, 145530 * 4, (342657 - 145530) * 4));
  ASSERT_FALSE(owner.messages.empty());
  EXPECT_EQ(owner.messages.back().text, "This selection will last for 4.47 seconds");
  // The window's whole seconds take the same path.
  ASSERT_EQ(wav.SaveSelection(dir.File("w.wav"), 1, 3, &progress), 0u);
  EXPECT_EQ(kt::Slice(kt::ReadAll(dir.File("w.wav")), 44), kt::Slice(data, 176400, 176400 * 2));
}

TEST_F(SplitFixture, OverlapLongerThanTheFirstPieceCopiesExactlyThatPiece) {
  kt::Owned<CWaveFile> wav(Make(WavSpec{}, 176400 * 2), &owner);
  wav.SetOverlapTime(5);
  owner.shred.numberOfSplits = 2;
  owner.shred.baseFilename = dir.File("o");
  ASSERT_EQ(wav.SplitEqually(&progress), 0u);
  const auto second = kt::ReadAll(dir.File("O-2.wav"));
  EXPECT_EQ(kt::GetLe32(second, 40), 176400u * 2);
  EXPECT_EQ(kt::Slice(second, 44), data);
}

TEST_F(SplitFixture, EmptyBaseUsesTheSourcePathAndFactChunkCountsThePiece) {
  WavSpec layout;
  layout.before = {kt::Chunk{"fact", {9, 0, 0, 0}}, kt::Chunk{"LIST", std::vector<std::uint8_t>(20, 1)}};
  kt::Owned<CWaveFile> wav(Make(layout, 800, "Take.wav"), &owner);
  owner.shred.numberOfSplits = 2;
  ASSERT_EQ(wav.SplitEqually(&progress), 0u);
  const auto bytes = kt::ReadAll(dir.File("TAKE-2.wav"));
  ASSERT_EQ(bytes.size(), 36u + 12 + 8 + 400);
  EXPECT_EQ(kt::GetLe32(bytes, 4), 400u + 24 + 12 + 12);
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "fact");
  EXPECT_EQ(kt::GetLe32(bytes, 44), 100u);  // 400 bytes of 4-byte frames
  EXPECT_EQ(std::string(bytes.begin() + 48, bytes.begin() + 52), "data");
}

TEST_F(SplitFixture, CancelledDialogWritesNothing) {
  kt::Owned<CWaveFile> wav(Make(WavSpec{}, 1000), &owner);
  owner.acceptShred = false;
  EXPECT_EQ(wav.SplitEqually(&progress), 0u);
  EXPECT_TRUE(progress.calls.empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST_F(SplitFixture, CancelMidwayClosesThePieceWithTheSizesWrittenAndStops) {
  kt::Owned<CWaveFile> wav(Make(WavSpec{}, 100000), &owner);
  owner.shred.numberOfSplits = 2;
  owner.shred.baseFilename = dir.File("c");
  progress.cancelAfterFileSteps = 2;
  ASSERT_EQ(wav.SplitEqually(&progress), 0u);
  const auto bytes = kt::ReadAll(dir.File("C-1.wav"));
  EXPECT_EQ(kt::Slice(bytes, 0, 44), kt::CanonicalHeader(2, 44100, 16, 20000));
  // 50000 % 10000 = 0: two 10000-byte blocks before the cancel is seen.
  EXPECT_EQ(bytes.size(), 44u + 20000);
  EXPECT_EQ(kt::Slice(bytes, 44), kt::Slice(data, 0, 20000));
  EXPECT_FALSE(std::filesystem::exists(dir.File("C-2.wav")));
}

TEST_F(SplitFixture, UnwritableFolderGives103AndKeepsNothingHalfMade) {
  kt::Owned<CWaveFile> wav(Make(WavSpec{}, 1000), &owner);
  owner.shred.numberOfSplits = 2;
  owner.shred.baseFilename = dir.File("missing/folder/x");
  EXPECT_EQ(wav.SplitEqually(&progress), 103u);
  EXPECT_EQ(wav.GetError(), 103u);
  EXPECT_EQ(LoadMessage(wav.GetError()), "Cannot create output file.");
  EXPECT_TRUE(owner.messages.empty()) << "a failed split has nothing to tell besides its code";
}

TEST_F(SplitFixture, PieceNamedLikeTheSourceIsRefusedWith119BeforeAnythingIsWritten) {
  const std::string source = Make(WavSpec{}, 1000, "X-2.wav");
  const auto before = kt::ReadAll(source);
  kt::Owned<CWaveFile> wav(source, &owner);
  owner.shred.numberOfSplits = 2;
  owner.shred.baseFilename = dir.File("x");
  EXPECT_EQ(wav.SplitEqually(&progress), 119u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("X-1.wav")));
  EXPECT_EQ(kt::ReadAll(source), before);
}

TEST_F(SplitFixture, DiskFullMidCopyRaisesTheFileFailureAndClosesThePiece) {
  kt::DiskFullAfter disk(1000000);
  kt::Owned<CWaveFile> wav(Make(WavSpec{}, 3000000), &owner, &disk);
  owner.shred.numberOfSplits = 2;
  owner.shred.baseFilename = dir.File("full");
  try {
    wav.SplitEqually(&progress);
    ADD_FAILURE() << "no exception";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.Cause(), FileCause::DiskFull);
    EXPECT_NE(e.Message().find("FULL-1.wav"), std::string::npos);
  }
  disk.Clear();
  // The seam fails the header's rewrite too: the piece went, and no later one came.
  EXPECT_FALSE(std::filesystem::exists(dir.File("FULL-1.wav")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("FULL-2.wav")));
  EXPECT_EQ(wav.SaveSelection(dir.File("after.wav"), 0, 1, &progress), 0u);
}

TEST_F(SplitFixture, SaveSelectionWritesTheStretchAndTellsItsLength) {
  kt::Owned<CWaveFile> wav(Make(WavSpec{}, 176400 * 30), &owner);
  ASSERT_EQ(wav.SaveSelection(dir.File("sel.wav"), 10, 20, &progress), 0u);
  const auto bytes = kt::ReadAll(dir.File("sel.wav"));
  EXPECT_EQ(kt::Slice(bytes, 0, 44), kt::CanonicalHeader(2, 44100, 16, 1764000));
  EXPECT_EQ(kt::Slice(bytes, 44), kt::Slice(data, 1764000, 1764000));
  ASSERT_EQ(owner.messages.size(), 1u);
  EXPECT_EQ(owner.messages[0].caption, "WAV Split Saved");
  EXPECT_EQ(owner.messages[0].text, "This selection will last for 10.00 seconds");
  EXPECT_EQ(owner.messages[0].icon, MessageIcon::Information);
  const std::vector<std::string> want = {"Start",
                                         "SetFileCount 1",
                                         "SetFileRange 1764000 10000",
                                         "SetShreddingText Song.wav sel.wav",
                                         "SetFileNumber 1",
                                         "StepOverall",
                                         "Close"};
  EXPECT_EQ(progress.calls, want);
}

TEST_F(SplitFixture, SelectionPastTheEndStopsAtTheLastDataByteAndNotTheTrailingChunk) {
  WavSpec layout;
  layout.channels = 1;
  layout.bitsPerSample = 8;
  layout.after = {kt::Chunk{"LIST", std::vector<std::uint8_t>(100, 'L')}};
  kt::Owned<CWaveFile> wav(Make(layout, 44100 * 6), &owner);
  ASSERT_EQ(wav.SaveSelection(dir.File("sel.wav"), 3, 9, &progress), 0u);
  const auto bytes = kt::ReadAll(dir.File("sel.wav"));
  EXPECT_EQ(kt::GetLe32(bytes, 40), 132300u);
  EXPECT_EQ(kt::Slice(bytes, 44), kt::Slice(data, 132300));
  EXPECT_EQ(owner.messages.at(0).text, "This selection will last for 3.00 seconds");
}

TEST_F(SplitFixture, CancelledSelectionShowsNoMessage) {
  kt::Owned<CWaveFile> wav(Make(WavSpec{}, 176400 * 3), &owner);
  progress.cancelAfterFileSteps = 1;
  ASSERT_EQ(wav.SaveSelection(dir.File("sel.wav"), 0, 3, &progress), 0u);
  EXPECT_TRUE(owner.messages.empty());
  const auto bytes = kt::ReadAll(dir.File("sel.wav"));
  EXPECT_LT(bytes.size(), 44u + 176400 * 3);
  EXPECT_EQ(kt::GetLe32(bytes, 40), bytes.size() - 44);
  EXPECT_EQ(kt::GetLe32(bytes, 4), bytes.size() - 8);
}

TEST_F(SplitFixture, SelectionOntoTheSourceIsRefusedWith119EvenThroughALink) {
  const std::string source = Make(WavSpec{}, 176400 * 2);
  const auto before = kt::ReadAll(source);
  ASSERT_EQ(::symlink(source.c_str(), dir.File("link.wav").c_str()), 0);
  kt::Owned<CWaveFile> wav(source, &owner);
  EXPECT_EQ(wav.SaveSelection(dir.File("link.wav"), 0, 1, &progress), 119u);
  EXPECT_EQ(wav.SaveSelection(source, 0, 1, &progress), 119u);
  EXPECT_TRUE(progress.calls.empty());
  EXPECT_EQ(kt::ReadAll(source), before);
  EXPECT_EQ(wav.SaveSelection(dir.File("nope/x.wav"), 0, 1, &progress), 103u);
}

// The details of the WAV files the engine writes, read back by ffprobe, the
// test's own chunk parser and the engine: pad bytes of odd data chunks,
// whole sample frames, the format record's length, the fact chunk's count.
// An operation on the source that writes the output to check.
using Operation = std::function<AudioError(CWaveFile&, const std::string& out)>;

Operation Selection(std::uint32_t from, std::uint32_t to) {
  return [=](CWaveFile& w, const std::string& out) { return w.SaveSelection(out, from, to, nullptr).error; };
}
// Splits into `pieces` pieces; the output to check is piece number `check`.
Operation Piece(std::uint32_t pieces, std::uint32_t check) {
  return [=](CWaveFile& w, const std::string& out) {
    kt::ScriptedOwner owner;
    owner.shred.numberOfSplits = pieces;
    owner.shred.baseFilename = out + ".piece";
    const AudioError e = kt::Owned<CWaveFile>(w.GetFilePath(), &owner).SplitEqually(nullptr);
    std::filesystem::rename(WavePieceName(out + ".piece", "", check), out);
    return e;
  };
}

// A source layout; float gets the 18-byte record, PCM only when asked.
kt::WavSpec Layout(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                   bool fmt18 = false, std::uint32_t factCount = 0) {
  kt::WavSpec s;
  s.formatTag = tag;
  s.channels = channels;
  s.sampleRate = rate;
  s.bitsPerSample = bits;
  if (tag == 3 || fmt18) s.fmtSize = 18, s.fmtExtra = {0, 0};
  if (factCount != 0) {
    s.before.push_back(kt::Chunk{"fact", {}});
    kt::PutLe32(s.before.back().body, factCount);
  }
  return s;
}

TEST(WaveOutputDetails, OutputsArePaddedWholeFramesWithTheirFormatRecordAndReadCleanly) {
  kt::TempDir dir;
  kt::WavSpec truncated;
  truncated.dataSizeOverride = 176400 * 2;  // claims two seconds, holds less
  const struct {
    const char* name;
    kt::WavSpec layout;
    std::size_t dataBytes;  // audio bytes the source holds
    Operation run;
    std::uint32_t fmtSize;        // of the output
    std::uint64_t outputBytes;    // audio bytes of the output
    std::uint32_t factCount = 0;  // of the output's fact chunk (0: none)
    double seconds = -1;          // the output's duration (-1: from the byte rate)
  } cases[] = {
      {"odd data chunk, its last piece", Layout(1, 1, 8000, 8), 16001, Piece(2, 2), 16, 8001},
      {"truncated data chunk ending inside a frame", truncated, 100002, Selection(0, 2), 16, 100000},
      {"float with the 18-byte record", Layout(3, 1, 44100, 32), 176400, Selection(0, 1), 18, 176400},
      {"PCM keeps the 16-byte record", Layout(1, 2, 44100, 16, true), 176400, Selection(0, 1), 16, 176400},
      {"IMA ADPCM piece counts its own samples", kt::ImaAdpcmSpec(80000), 159 * 256, Piece(3, 1), 20,
       53 * 256, 53 * 505, 53 * 505 / 8000.0},
      {"float piece with a fact chunk", Layout(3, 1, 44100, 32, true, 44100), 176400, Piece(2, 2), 18, 88200,
       22050},
      {"8 to 16 bit with a wrong fact count", Layout(1, 1, 8000, 8, false, 12345), 8000,
       [](CWaveFile& w, const std::string& out) { return w.ConvertTo16Bit(out, nullptr); }, 16, 16000, 8000,
       1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = dir.File("out.wav");
    CWaveFile wav(kt::MakeWav(dir, "source.wav", c.layout, kt::PatternData(c.dataBytes)));
    ASSERT_EQ(wav.GetError(), 0u);
    ASSERT_EQ(c.run(wav, out), 0u);
    EXPECT_EQ(kt::HeaderMismatch(out), "");
    const kt::WaveLayout layout = kt::ReadWaveLayout(out);
    EXPECT_EQ(layout.fmtSize, c.fmtSize);
    EXPECT_EQ(layout.dataSize, c.outputBytes);
    EXPECT_EQ(layout.hasFact, c.factCount != 0);
    EXPECT_EQ(layout.factCount, c.factCount);
    EXPECT_NEAR(kt::ProbeDuration(dir, out),
                c.seconds >= 0 ? c.seconds : static_cast<double>(c.outputBytes) / c.layout.ByteRate(), 0.001);
    CWaveFile back(out);
    EXPECT_EQ(back.GetError(), 0u);
    EXPECT_EQ(back.GetDataSize(), c.outputBytes);
  }
}

}  // namespace
