// The progress reporter the operations drive, seen from its sink: what each
// call changes, the calls it ignores, and a split's pieces shown as one run.
#include "core/Progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

using Calls = std::vector<std::string>;

TEST(Progress, ASinkHearsOnlyWhatChanged) {
  kt::RecordingProgress progress;
  progress.StepFile();  // no count, no range: nothing moves
  progress.StepOverall();
  progress.StepBoth();
  progress.SetFileCount(2);
  progress.StepFile();  // still no range
  progress.SetFileRange(300, 100);
  progress.SetFileRange(900, 1);  // the first range stays
  progress.StepBoth();
  EXPECT_EQ(progress.calls, (Calls{"SetFileCount 2", "SetFileRange 300 100", "StepOverall"}));
  EXPECT_EQ(progress.fileSteps, 1u);
  EXPECT_EQ(progress.State().file.position, 100u);
  EXPECT_EQ(progress.State().overall.position, 1u);
}

TEST(Progress, TheLinesReadAsTheWindowShowsThem) {
  const struct {
    const char* name;
    void (*call)(CProgress&);
    std::string action, count;
  } cases[] = {
      {"nothing yet", [](CProgress&) {}, "", ""},
      {"shredding", [](CProgress& p) { p.SetShreddingText("Song.wav", "song-1.wav"); },
       "Shredding SONG.WAV to SONG-1.WAV", ""},
      {"converting, UTF-8 kept", [](CProgress& p) { p.SetConvertingText("café.wav", "b.mp3"); },
       "Converting CAFé.WAV to B.MP3", ""},
      {"count before the file count", [](CProgress& p) { p.SetFileNumber(1); }, "", "1 out of 0 file(s)"},
      {"count",
       [](CProgress& p) {
         p.SetFileCount(70000);
         p.SetFileNumber(3);
       },
       "", "3 out of 70000 file(s)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CProgress progress;
    c.call(progress);
    EXPECT_EQ(progress.State().action.Text(), c.action);
    EXPECT_EQ(progress.State().countText, c.count);
  }
}

TEST(Progress, PiecesShowAsOneRunNumberedByThePiece) {
  kt::RecordingProgress progress;
  progress.BeginPieces(3);
  for (std::uint32_t piece : {2u, 3u}) {
    progress.SetPiece(piece);
    // What each piece's save reports on its own.
    progress.Start();
    progress.SetFileCount(1);
    progress.SetFileRange(1000, 500);
    progress.SetShreddingText("a.wav", "p.wav");
    progress.SetFileNumber(1);
    progress.StepFile();
    progress.StepOverall();
    progress.Close();
  }
  progress.EndPieces();
  EXPECT_EQ(progress.calls,
            (Calls{"Start", "SetFileCount 3", "SetFileNumber 2", "SetFileRange 1000 500",
                   "SetShreddingText a.wav p.wav", "SetFileNumber 2", "StepOverall", "SetFileNumber 3",
                   "SetShreddingText a.wav p.wav", "SetFileNumber 3", "StepOverall"}));
  EXPECT_EQ(progress.State().countText, "3 out of 3 file(s)");
  progress.Close();  // the caller closes the run
  EXPECT_EQ(progress.calls.back(), "Close");
}

TEST(Progress, WithoutASinkNothingIsShownAndNothingIsCancelled) {
  CProgress progress;
  progress.Start();
  progress.SetFileCount(1);
  progress.SetFileRange(10, 4);
  for (int i = 0; i < 3; ++i) progress.StepFile();  // 4, 8, then past the end: 0
  EXPECT_EQ(progress.State().file.position, 0u);
  EXPECT_FALSE(progress.IsCancelled());
  EXPECT_EQ(progress.Sink(), nullptr);
}

}  // namespace
