#include <gtest/gtest.h>

#include <filesystem>

#include "core/mp3/Mp3File.h"
#include "support/GaplessCheck.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// Damaged and truncated streams: every operation ends normally, and the
// pieces of a split still cover the audio exactly, whatever the damage.
void ExerciseEveryOperation(const kt::TempDir& dir, const Bytes& bytes, const std::string& label) {
  kt::WriteAll(dir.File("d.mp3"), bytes);
  kt::ScriptedOwner owner;
  kt::Owned<CMp3File> f(dir.File("d.mp3"), &owner);
  f.SetGaplessPieces(false);
  if (f.GetError() != 0) {
    EXPECT_EQ(f.GetError(), 109u) << label;
    return;
  }
  EXPECT_LE(f.GetAudioStart(), f.GetAudioEnd()) << label;
  EXPECT_LE(f.GetAudioEnd(), bytes.size()) << label;

  kt::RecordingProgress split;
  owner.shred.numberOfSplits = 3;
  owner.shred.baseFilename = dir.File("p");
  f.SetOverlapTime(0);
  ASSERT_EQ(f.SplitEqually(&split), 0u) << label;
  Bytes joined;
  const std::size_t tag = f.HasTag() ? 128 : 0;
  for (int i = 1; i <= 3; ++i) {
    const Bytes piece = kt::ReadAll(dir.File("P-" + std::to_string(i) + ".mp3"));
    ASSERT_GE(piece.size(), tag) << label;
    joined.insert(joined.end(), piece.begin(), piece.end() - static_cast<long>(tag));
  }
  const Bytes audio(bytes.begin() + static_cast<long>(f.GetAudioStart()),
                    bytes.begin() + static_cast<long>(f.GetAudioEnd()));
  EXPECT_EQ(joined, audio) << label;

  // A selection or a decode that would hold no audio fails with 108 and
  // leaves no file; one that succeeds holds audio.
  kt::RecordingProgress selection;
  fs::remove(dir.File("s.mp3"));
  const AudioError cut = f.SaveSelection(dir.File("s.mp3"), 1, 3, &selection);
  EXPECT_TRUE(cut == 0u || cut == err::kZeroLength) << label;
  EXPECT_EQ(fs::exists(dir.File("s.mp3")), cut == 0u) << label;
  if (cut == 0u) {
    EXPECT_GT(fs::file_size(dir.File("s.mp3")), f.HasTag() ? 128u : 0u) << label;
  }
  kt::RecordingProgress decode;
  fs::remove(dir.File("o.wav"));
  const AudioError result = f.ConvertToWav(dir.File("o.wav"), &decode);
  EXPECT_TRUE(result == 0 || f.GetError() == 4000u || f.GetError() == err::kZeroLength) << label;
  if (!fs::exists(dir.File("o.wav"))) {
    EXPECT_NE(f.GetError(), 0u) << label;
    return;
  }
  const auto wav = kt::ReadDecodedWav(kt::ReadAll(dir.File("o.wav")));
  EXPECT_EQ(wav.dataSize, wav.samples.size() * 2) << label;
  EXPECT_GT(wav.dataSize, 0u) << label;
}

TEST(Mp3Damaged, MutatedStreamsNeverBreakAnOperation) {
  kt::TempDir dir;
  kt::LameSpec layout;
  layout.vbr = true;
  layout.headerFrame = true;
  Bytes clean = kt::EncodedSine(4.0, layout);
  const Bytes tag = kt::Id3v1Tag({});
  clean.insert(clean.end(), tag.begin(), tag.end());
  std::uint32_t x = 12345;
  auto next = [&x] { return x = x * 1664525u + 1013904223u; };
  for (int round = 0; round < 25; ++round) {
    Bytes bytes = clean;
    for (int i = 0; i < 40; ++i) bytes[next() % bytes.size()] = static_cast<std::uint8_t>(next() >> 24);
    ExerciseEveryOperation(dir, bytes, "mutated " + std::to_string(round));
  }
}

TEST(Mp3Damaged, TruncatedStreamsAndJunkInTheMiddle) {
  kt::TempDir dir;
  kt::LameSpec layout;
  const Bytes clean = kt::EncodedSine(3.0, layout);
  for (std::size_t keep : {clean.size() - 1, clean.size() - 200, clean.size() / 2 + 3, std::size_t{900}})
    ExerciseEveryOperation(dir, Bytes(clean.begin(), clean.begin() + static_cast<long>(keep)),
                           "truncated to " + std::to_string(keep));
  // 70000 bytes of junk between two halves: wider than any search window.
  Bytes spliced(clean.begin(), clean.begin() + static_cast<long>(clean.size() / 2));
  const Bytes junk = kt::PatternData(70000, 3);
  spliced.insert(spliced.end(), junk.begin(), junk.end());
  spliced.insert(spliced.end(), clean.begin() + static_cast<long>(clean.size() / 2), clean.end());
  ExerciseEveryOperation(dir, spliced, "junk in the middle");
}

// Where the stream starts: a header counts only when the next one follows at
// its length and shares its version, layer and sampling rate. Before the
// real stream (20 frames at 44100 Hz), junk holds a header whose successor
// differs in one of them; a free-format stream, whose frames carry no
// length, is refused with 109 instead of being read from a false sync.
TEST(Mp3StreamStart, AHeaderCountsOnlyWhenItsSuccessorContinuesTheStream) {
  kt::TempDir dir;
  const kt::FrameSpec cd;  // MPEG 1 Layer III, 128 kbit/s, 44100 Hz
  kt::FrameSpec rate48 = cd, layer2 = cd, mpeg2 = cd;
  rate48.sampleRateIndex = 1;
  layer2.layer = 2;
  mpeg2.version = 2;
  const Bytes stream = kt::SyntheticFrames(cd, 20);
  for (const auto& [what, successor] : {std::pair<const char*, kt::FrameSpec>{"another rate", rate48},
                                        {"another layer", layer2},
                                        {"another version", mpeg2}}) {
    SCOPED_TRACE(what);
    // The false header, its successor one frame on, and filler without 0xFF.
    Bytes bytes(kt::FrameBytes(cd) + 700, 0x11);
    const auto head = kt::HeaderBytes(cd), next = kt::HeaderBytes(successor);
    std::copy(head.begin(), head.end(), bytes.begin());
    std::copy(next.begin(), next.end(), bytes.begin() + kt::FrameBytes(cd));
    const std::size_t junk = bytes.size();
    bytes.insert(bytes.end(), stream.begin(), stream.end());
    kt::WriteAll(dir.File("a.mp3"), bytes);
    CMp3File f(dir.File("a.mp3"));
    ASSERT_EQ(f.GetError(), 0u);
    EXPECT_EQ(f.GetAudioStart(), junk);
    EXPECT_EQ(f.GetSampleRate(), 44100u);
    EXPECT_NEAR(f.GetDuration(), 20 * 1152 / 44100.0, 0.002);  // from the bytes at 128 kbit/s
  }

  kt::WriteAll(dir.File("s.wav"), kt::MusicWav(3.0, 2, 44100));
  for (const char* bitrate : {"200", "96"}) {
    SCOPED_TRACE(bitrate);
    const std::string free =
        kt::LameEncode(dir, "free.mp3", dir.File("s.wav"), {"--freeformat", "-b", bitrate});
    ASSERT_FALSE(free.empty());
    CMp3File f(free);
    EXPECT_EQ(f.GetError(), err::kInvalidMp3);
  }
}

}  // namespace
