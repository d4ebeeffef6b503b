// Silence detection and the plans built on it, on recordings made with
// silences at known places (digital silence and -60 dBFS noise, 0.3 to 3 s),
// as WAV and as MP3 encoded by the lame command.

#include "core/split/SilenceFinder.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/mp3/Mp3File.h"
#include "core/open/Formats.h"
#include "core/split/SplitPlan.h"
#include "core/wav/WaveFile.h"
#include "support/GaplessCheck.h"
#include "support/SilenceRecording.h"

namespace {

using kt::Stretch;

struct RecordingCase {
  const char* name;
  double noiseDb;                 // of the silences
  std::vector<std::string> lame;  // empty: the WAV itself
  int channels = 2;
  std::uint32_t rate = 44100;
};

// Three silences long enough (0.6, 1.3 and 3 s) and one too short (0.3 s),
// between stretches of sound longer than the 5 s minimum piece.
std::vector<Stretch> Layout(double noiseDb) {
  return {{6, false},           {0.6, true, noiseDb}, {5.5, false},
          {0.3, true, noiseDb}, {5.5, false},         {1.3, true, noiseDb},
          {6, false},           {3.0, true, noiseDb}, {5.5, false}};
}

// The case's name in test listings (instead of its bytes).
void PrintTo(const RecordingCase& c, std::ostream* os) {
  *os << c.name;
}

class SilenceFinderTest : public ::testing::TestWithParam<RecordingCase> {
 protected:
  kt::TempDir dir;
};

std::unique_ptr<CAudioFile> Open(const std::string& path) {
  if (path.ends_with(".mp3")) return std::make_unique<CMp3File>(path);
  return std::make_unique<CWaveFile>(path);
}

TEST_P(SilenceFinderTest, EveryCutLiesInItsSilenceWithinTenMillisecondsOfItsMiddle) {
  const RecordingCase& c = GetParam();
  const kt::Recording rec = kt::MakeRecording(Layout(c.noiseDb), c.channels, c.rate);
  std::string path = dir.File("take.wav");
  kt::WriteAll(path, rec.wav);
  if (!c.lame.empty()) path = kt::LameEncode(dir, "take.mp3", path, c.lame);
  ASSERT_FALSE(path.empty());
  auto file = Open(path);
  ASSERT_EQ(file->GetError(), err::kNone);

  const split::SilenceScan scan = split::FindSilences(*file, {});
  const split::SplitPlan plan = split::PlanAtSilences(scan, split::CutPlace::Middle, 5 * c.rate);
  const std::vector<std::size_t> expected = {0, 2, 3};  // the 0.3 s silence makes no cut
  ASSERT_EQ(plan.cuts.size(), expected.size());
  const std::uint64_t tolerance = c.rate / 100;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const kt::Recording::Place& truth = rec.silences[expected[i]];
    const split::CutPoint& cut = plan.cuts[i];
    EXPECT_GE(cut.at, truth.start) << "cut " << i;
    EXPECT_LT(cut.at, truth.end) << "cut " << i;
    EXPECT_LE(std::llabs(static_cast<long long>(cut.at) - static_cast<long long>(truth.Middle())),
              static_cast<long long>(tolerance))
        << "cut " << i << " at " << cut.at << ", silence " << truth.start << "-" << truth.end;
    ASSERT_TRUE(cut.silence);
    EXPECT_LT(split::DbfsOf(cut.silence->peak), -48.0);
  }
  // The pieces cover the whole decode.
  const auto pieces = plan.Pieces();
  EXPECT_EQ(pieces.front().start, 0u);
  EXPECT_EQ(pieces.back().end, scan.totalSamples);
  if (c.lame.empty()) {
    EXPECT_EQ(scan.totalSamples, rec.samples);
  } else {
    // The shortcut decodes only around the quiet frames and finds what a whole decode finds.
    EXPECT_LT(scan.framesDecoded, scan.frames * 3 / 4);
    split::LevelScanOptions all;
    all.threshold = split::AmplitudeOf(-48);
    all.minSamples = c.rate / 2;
    all.decodeEverything = true;
    const auto full = split::FindSilenceRuns(file->ScanLevels(all, nullptr), all.minSamples);
    ASSERT_EQ(full.size(), scan.silences.size());
    for (std::size_t i = 0; i < full.size(); ++i) {
      EXPECT_EQ(full[i].start, scan.silences[i].start);
      EXPECT_EQ(full[i].end, scan.silences[i].end);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, SilenceFinderTest,
    ::testing::Values(RecordingCase{"WavDigital", -200, {}}, RecordingCase{"WavNoise60", -60, {}},
                      RecordingCase{"WavMono48k", -60, {}, 1, 48000},
                      RecordingCase{"Mp3Digital128", -200, {"-b", "128"}},
                      RecordingCase{"Mp3Noise60At128", -60, {"-b", "128"}},
                      RecordingCase{"Mp3Noise60Vbr", -60, {"-V", "2"}},
                      RecordingCase{"Mp3Mono48k", -200, {"-b", "64", "-m", "m"}, 1, 48000}),
    [](const auto& info) { return std::string(info.param.name); });

class SilencePlanTest : public ::testing::Test {
 protected:
  // A WAV of the stretches; its scan at the default options.
  split::SilenceScan Scan(const std::vector<Stretch>& stretches, split::SilenceOptions options = {}) {
    const kt::Recording rec = kt::MakeRecording(stretches);
    kt::WriteAll(dir.File("s.wav"), rec.wav);
    CWaveFile wave(dir.File("s.wav"));
    return split::FindSilences(wave, options);
  }
  kt::TempDir dir;
};

TEST_F(SilencePlanTest, NoSilenceReportsTheQuietestStretchAndItsLevel) {
  const split::SilenceScan scan = Scan({{3, false}, {1, true, -40}, {3, false}});
  EXPECT_TRUE(scan.silences.empty());
  EXPECT_NEAR(split::DbfsOf(scan.quietest.peak), -40.0, 1.0);
  EXPECT_GE(scan.quietest.start, 3u * 44100);
  EXPECT_LE(scan.quietest.start + scan.quietest.length, 4u * 44100);
}

TEST_F(SilencePlanTest, ThresholdAndMinimumLengthDecideWhatIsASilence) {
  const std::vector<Stretch> layout = {{3, false}, {1, true, -40}, {3, false}, {0.2, true}, {3, false}};
  struct Row {
    double db;
    std::uint64_t minMicros;
    std::size_t silences;
  } rows[] = {{-48, 500000, 0}, {-30, 500000, 1}, {-30, 150000, 2}, {-48, 150000, 1}, {-30, 1100000, 0}};
  for (const Row& r : rows) {
    EXPECT_EQ(Scan(layout, {r.db, r.minMicros}).silences.size(), r.silences)
        << r.db << " dB, " << r.minMicros;
  }
}

TEST_F(SilencePlanTest, ASilenceThatWouldLeaveAShortPieceIsSkipped) {
  // Silences at 3 s, 15 s and 28.5 s of a 30 s file; pieces of at least 10 s.
  const split::SilenceScan scan =
      Scan({{2.5, false}, {1, true}, {11, false}, {1, true}, {13, false}, {1, true}, {1, false}});
  ASSERT_EQ(scan.silences.size(), 3u);
  const auto plan = split::PlanAtSilences(scan, split::CutPlace::Middle, 10 * 44100);
  ASSERT_EQ(plan.cuts.size(), 1u);
  EXPECT_EQ(plan.cuts[0].at, scan.silences[1].Middle());
  const auto starts = split::PlanAtSilences(scan, split::CutPlace::Start, 0);
  const auto ends = split::PlanAtSilences(scan, split::CutPlace::End, 0);
  EXPECT_EQ(starts.cuts[1].at, scan.silences[1].start);
  EXPECT_EQ(ends.cuts[1].at, scan.silences[1].end);
}

TEST_F(SilencePlanTest, EqualPiecesMoveToTheLongestSilenceInTheirWindow) {
  // 40 s; equal points of 4 pieces at 10, 20 and 30 s.
  const split::SilenceScan scan =
      Scan({{8.5, false}, {0.6, true}, {0.4, false}, {1.5, true}, {10.5, false}, {1, true}, {17.5, false}});
  ASSERT_EQ(scan.silences.size(), 3u);
  const auto plan = split::PlanEqualAtSilences(scan, 4, 3 * 44100);
  ASSERT_EQ(plan.cuts.size(), 3u);
  EXPECT_EQ(plan.cuts[0].at, scan.silences[1].Middle());  // the longer of the two near 10 s
  EXPECT_EQ(plan.cuts[1].at, scan.silences[2].Middle());
  EXPECT_TRUE(plan.cuts[2].noSilenceNear);
  EXPECT_EQ(plan.cuts[2].at, 30u * 44100);
  EXPECT_EQ(plan.Pieces().size(), 4u);
}

TEST_F(SilencePlanTest, UntickedCutsJoinTheirPiecesAndNamesFollowShredEqually) {
  split::SilenceScan scan;
  scan.sampleRate = 100;
  scan.totalSamples = 1000;
  scan.silences = {{190, 210}, {490, 510}, {790, 810}};
  split::SplitPlan plan = split::PlanAtSilences(scan, split::CutPlace::Middle, 0);
  plan.naming = {false, "/music/Live.set.mp3", "_part", FormatNamed("MP3")};
  plan.cuts[1].enabled = false;
  const auto pieces = plan.Pieces();
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[1].start, 200u);
  EXPECT_EQ(pieces[1].end, 800u);
  EXPECT_EQ(pieces[2].path, "/music/LIVE.SET_part-3.mp3");
  plan.naming.format = FormatNamed("WAV");
  plan.naming.base = "/music/take.wav";
  EXPECT_EQ(plan.Pieces()[0].path, "/music/TAKE_part-1.wav");
}

TEST(SplitNaming, TrackTitlesBecomeSafeFileNames) {
  const struct {
    const char* title;
    const char* name;
  } rows[] = {{"Intro", "07 - Intro.wav"},
              {"AC/DC: Live?", "07 - AC_DC_ Live_.wav"},
              {"..hidden. ", "07 - hidden.wav"},
              {"", "07 - Track 07.wav"},
              {"tab\there", "07 - tab_here.wav"}};
  for (const auto& r : rows)
    EXPECT_EQ(split::PieceName({true, "/out", "", FormatNamed("WAV")}, 1, {r.title, "", 7}),
              std::string("/out/") + r.name);
  // A long title is cut at a character boundary.
  std::string longTitle;
  for (int i = 0; i < 100; ++i) longTitle += "é";
  const std::string safe = split::SafeFileName(longTitle);
  EXPECT_LE(safe.size(), 180u);
  EXPECT_EQ(safe.size() % 2, 0u);
}

}  // namespace
