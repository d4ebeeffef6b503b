#include <gtest/gtest.h>

#include "core/mp3/Mp3File.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Damaged and truncated streams: every operation ends normally, and the
// pieces of a split still cover the audio exactly, whatever the damage.
void ExerciseEveryOperation(const kt::TempDir& dir, const Bytes& bytes, const std::string& label) {
  kt::WriteAll(dir.File("d.mp3"), bytes);
  kt::ScriptedOwner owner;
  CMp3File f(dir.File("d.mp3"), &owner);
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

  kt::RecordingProgress selection;
  EXPECT_EQ(f.SaveSelection(dir.File("s.mp3"), 1, 3, &selection), 0u) << label;
  kt::RecordingProgress decode;
  const int result = f.ConvertToWav(dir.File("o.wav"), &decode);
  EXPECT_TRUE(result == 0 || f.GetError() == 4000u) << label;
  const auto wav = kt::ReadDecodedWav(kt::ReadAll(dir.File("o.wav")));
  EXPECT_EQ(wav.dataSize, wav.samples.size() * 2) << label;
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

}  // namespace
