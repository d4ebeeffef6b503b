// The command-line progress bar as an operation drives it, on a clock the
// test moves: file steps redraw the line at most every 100 ms, every other
// change at once, and closing erases it.
#include "cli/CliProgress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class ManualClock : public CClock {
 public:
  TimePoint Now() const override { return now_; }
  void Advance(std::chrono::milliseconds by) { now_ += by; }

 private:
  TimePoint now_{std::chrono::hours(1)};
};

// What the bar wrote to its stream: one entry per draw ("\r<line>\x1b[K"),
// an empty one per erase.
class Terminal {
 public:
  Terminal() : file_(std::tmpfile()) {}
  ~Terminal() { std::fclose(file_); }
  std::FILE* File() const { return file_; }
  std::vector<std::string> Lines() const {
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    for (int c; (c = std::fgetc(file_)) != EOF;) text += static_cast<char>(c);
    std::vector<std::string> lines;
    for (std::size_t at = text.find('\r'); at != std::string::npos;) {
      const std::size_t end = text.find("\x1b[K", at);
      lines.push_back(text.substr(at + 1, end - at - 1));
      at = text.find('\r', end);
    }
    return lines;
  }

 private:
  std::FILE* file_;
};

TEST(CliProgress, FileStepsRedrawAtMostEvery100MillisecondsAndOtherChangesAtOnce) {
  Terminal terminal;
  ManualClock clock;
  CCliProgress bar(true, terminal.File(), clock);
  CProgress progress(&bar);
  progress.SetTitle("Converting to MP3...");  // not started yet: nothing shown
  EXPECT_TRUE(terminal.Lines().empty());
  progress.Start();
  progress.SetFileCount(1);
  progress.SetFileNumber(1);
  progress.SetConvertingText("song.wav", "song.mp3");
  ASSERT_EQ(terminal.Lines().size(), 4u);  // each at once, on one clock reading
  progress.SetFileRange(10, 1);
  for (int i = 0; i < 5; ++i) progress.StepFile();
  clock.Advance(std::chrono::milliseconds(99));
  progress.StepFile();
  EXPECT_EQ(terminal.Lines().size(), 4u) << "steps within 100 ms of the last draw are not drawn";
  clock.Advance(std::chrono::milliseconds(1));
  progress.StepFile();  // 7 of 10
  std::vector<std::string> lines = terminal.Lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines.back(),
            "[#####################.........]  70% 1 out of 1 file(s)  Converting SONG.WAV to SONG.MP3");
  progress.StepFile();
  EXPECT_EQ(terminal.Lines().size(), 5u) << "the 100 ms start again at every draw";
  progress.StepOverall();  // not a file step: drawn at once
  lines = terminal.Lines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_NE(lines.back().find(" 80% "), std::string::npos) << lines.back();
  progress.Close();
  lines = terminal.Lines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines.back(), "") << "closing erases the line";
}

TEST(CliProgress, AQuietBarDrawsNothingButStillHearsCtrlC) {
  Terminal terminal;
  ManualClock clock;
  CCliProgress bar(false, terminal.File(), clock);
  CProgress progress(&bar);
  progress.Start();
  progress.SetFileCount(1);
  progress.SetFileRange(2, 1);
  progress.StepFile();
  EXPECT_FALSE(progress.IsCancelled());
  CCliProgress::SetInterrupted(true);
  EXPECT_TRUE(progress.IsCancelled());
  CCliProgress::SetInterrupted(false);
  EXPECT_TRUE(progress.IsCancelled()) << "a cancel stays for the rest of the operation";
  progress.Close();
  EXPECT_TRUE(terminal.Lines().empty());
}

}  // namespace
