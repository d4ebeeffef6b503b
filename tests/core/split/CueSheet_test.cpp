// Cue sheets through libcue: tracks at odd frame times and with pregaps
// become exact sample spans; every fault names the sheet, the line or track
// and the reason.

#include "core/split/CueSheet.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/open/Formats.h"
#include "core/split/CutListExport.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

class CueSheetTest : public ::testing::Test {
 protected:
  std::string Sheet(const std::string& text, const std::string& name = "album.cue") {
    const std::string path = dir.File(name);
    kt::WriteAll(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    return path;
  }
  // The message of the CueError that reading (and planning over total samples) throws.
  std::string Fault(const std::string& text, std::uint64_t total = 44100 * 600) {
    const std::string path = Sheet(text);
    try {
      const split::CueSheet sheet = split::ReadCueSheet(path);
      split::PlanFromCue(sheet, 44100, total);
      split::CueAudioPath(sheet);
    } catch (const split::CueError& e) {
      return e.what();
    }
    return "";
  }
  kt::TempDir dir;
};

const char* kAlbum =
    "REM DATE 1999\n"
    "PERFORMER \"The Band\"\n"
    "TITLE \"Live at Home\"\n"
    "FILE \"live.wav\" WAVE\n"
    "  TRACK 01 AUDIO\n"
    "    TITLE \"Opening\"\n"
    "    INDEX 01 00:00:33\n"
    "  TRACK 02 AUDIO\n"
    "    TITLE \"Second/Song\"\n"
    "    PERFORMER \"Guest\"\n"
    "    INDEX 00 03:10:70\n"
    "    INDEX 01 03:12:01\n"
    "  TRACK 03 AUDIO\n"
    "    TITLE \"Encore\"\n"
    "    INDEX 01 07:59:74\n";

TEST_F(CueSheetTest, TracksBecomeSampleSpansFromIndexOneToTheNextIndexOne) {
  const split::CueSheet sheet = split::ReadCueSheet(Sheet(kAlbum));
  ASSERT_EQ(sheet.tracks.size(), 3u);
  EXPECT_EQ(sheet.fileName, "live.wav");
  EXPECT_EQ(sheet.performer, "The Band");
  EXPECT_EQ(sheet.tracks[1].performer, "Guest");
  EXPECT_EQ(sheet.tracks[2].performer, "The Band");  // the sheet's performer when the track has none
  EXPECT_EQ(sheet.tracks[1].pregap, (3 * 60 + 10) * 75 + 70);

  const struct {
    std::uint32_t rate;
    std::uint64_t perFrame;
  } rates[] = {{44100, 588}, {48000, 640}, {96000, 1280}};
  for (const auto& r : rates) {
    const split::SplitPlan plan = split::PlanFromCue(sheet, r.rate, std::uint64_t{r.rate} * 600);
    EXPECT_EQ(plan.start, 33 * r.perFrame);
    ASSERT_EQ(plan.cuts.size(), 2u);
    // The pregap of track 2 stays with track 1: the cut is at INDEX 01.
    EXPECT_EQ(plan.cuts[0].at, ((3 * 60 + 12) * 75 + 1) * r.perFrame);
    EXPECT_EQ(plan.cuts[1].at, ((7 * 60 + 59) * 75 + 74) * r.perFrame);
    const auto pieces = plan.Pieces();
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].end, pieces[1].start);
    EXPECT_EQ(pieces[2].end, std::uint64_t{r.rate} * 600);
  }
  // A rate that is no multiple of 75 takes the nearest sample.
  EXPECT_EQ(split::CueFrameToSample(1, 22050), 294u);
  EXPECT_EQ(split::CueFrameToSample(1, 11025), 147u);
  EXPECT_EQ(split::CueFrameToSample(2, 8000), 213u);  // 213.33
}

TEST_F(CueSheetTest, PiecesAreNamedByTrackNumberAndTitleInTheFolder) {
  split::SplitPlan plan = split::PlanFromCue(split::ReadCueSheet(Sheet(kAlbum)), 44100, 44100 * 600);
  plan.naming = {true, dir.File("out"), "", FormatNamed("MP3")};
  const auto pieces = plan.Pieces();
  EXPECT_EQ(pieces[0].path, dir.File("out") + "/01 - Opening.mp3");
  EXPECT_EQ(pieces[1].path, dir.File("out") + "/02 - Second_Song.mp3");
  EXPECT_EQ(pieces[1].facts.performer, "Guest");
  // Unticking the cut before track 3 joins it to track 2.
  plan.cuts[1].enabled = false;
  ASSERT_EQ(plan.Pieces().size(), 2u);
  EXPECT_EQ(plan.Pieces()[1].end, 44100u * 600);
}

TEST_F(CueSheetTest, FaultsNameTheSheetTheLineOrTrackAndTheReason) {
  const std::string head = "FILE \"live.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
  const struct {
    const char* name;
    std::string text;
    std::uint64_t total;
    std::vector<std::string> parts;
  } rows[] = {
      {"unreadable line",
       head + "  BOGUS 12 here\n  TRACK 02 AUDIO\n    INDEX 01 00:05:00\n",
       44100 * 600,
       {"line 4: \"BOGUS 12 here\" holds a character a cue sheet does not allow there"}},
      {"bad time", head + "  TRACK 02 AUDIO\n    INDEX 01 00:0x:00\n", 44100 * 600, {"line 5"}},
      {"track without index", head + "  TRACK 02 AUDIO\n", 44100 * 600, {"line 4"}},
      {"past the end",
       head + "  TRACK 02 AUDIO\n    INDEX 01 10:00:00\n",
       44100 * 60,
       {"track 2", "past the end of the audio (0:01:00.000)"}},
      {"out of order",
       head + "  TRACK 02 AUDIO\n    INDEX 01 00:05:00\n  TRACK 03 AUDIO\n    INDEX 01 00:04:00\n",
       44100 * 600,
       {"track 3", "not after the INDEX 01 of track 2"}},
      {"pregap after index",
       head + "  TRACK 02 AUDIO\n    INDEX 01 00:05:00\n    INDEX 00 00:06:00\n",
       44100 * 600,
       {"track 2", "INDEX 00 comes after its INDEX 01"}},
      {"two files",
       head + "FILE \"other.wav\" WAVE\n  TRACK 02 AUDIO\n    INDEX 01 00:05:00\n",
       44100 * 600,
       {"track 2", "several files"}},
      {"no tracks", "TITLE \"x\"\n", 44100 * 600, {"album.cue"}},
      {"missing file", head, 44100 * 600, {"track 1", "\"live.wav\" named by FILE is not there"}},
      {"75 frames", head + "  TRACK 02 AUDIO\n    INDEX 01 00:05:75\n", 44100 * 600, {"line 5", "00:05:75"}},
      {"60 seconds",
       head + "  TRACK 02 AUDIO\n    INDEX 01 00:60:00\r\n",
       44100 * 600,
       {"line 5", "00:60:00 has"}},
  };
  // The FILE of the sheet as a folder or a FIFO is named for what it is.
  fs::create_directory(dir.File("folder.wav"));
  ASSERT_EQ(::mkfifo(dir.File("fifo.wav").c_str(), 0600), 0);
  const std::string folderHead = "FILE \"folder.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
  const std::string fifoHead = "FILE \"fifo.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
  EXPECT_NE(Fault(folderHead).find("named by FILE is a folder"), std::string::npos) << Fault(folderHead);
  EXPECT_NE(Fault(fifoHead).find("is not a regular file"), std::string::npos) << Fault(fifoHead);
  for (const auto& r : rows) {
    const std::string message = Fault(r.text, r.total);
    EXPECT_NE(message.find(dir.File("album.cue")), std::string::npos) << r.name << ": " << message;
    for (const std::string& part : r.parts)
      EXPECT_NE(message.find(part), std::string::npos) << r.name << ": " << message;
  }
  // Binary data and oversized sheets are refused before libcue sees them.
  EXPECT_NE(Fault(std::string("FILE \"a.wav\" WAVE\n\0\0\0", 22)).find("binary"), std::string::npos);
  EXPECT_NE(Fault(std::string(split::kMaxCueBytes + 1, ' ')).find("larger than 1 MiB"), std::string::npos);
}

TEST_F(CueSheetTest, ALineEndingInCarriageReturnsAndAByteOrderMarkRead) {
  const std::string path = Sheet(
      "\xEF\xBB\xBF"
      "FILE \"a.wav\" WAVE\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:01:00\r\n");
  EXPECT_EQ(split::ReadCueSheet(path).tracks.at(0).start, 75);
}

TEST_F(CueSheetTest, AnExportedSheetReadsBackToTheSameCutsAtFrameTimes) {
  split::SplitPlan plan = split::PlanFromCue(split::ReadCueSheet(Sheet(kAlbum)), 44100, 44100 * 600);
  plan.naming = {true, dir.File(""), "", FormatNamed("WAV")};
  const std::string text = split::CueSheetText(plan, "/music/live.wav");
  EXPECT_NE(text.find("FILE \"live.wav\" WAVE\n"), std::string::npos) << text;
  EXPECT_NE(text.find("TITLE \"Live at Home\""), std::string::npos) << text;
  // A quote inside a title would end it: it becomes an apostrophe.
  plan.cuts[0].next.title = "Say \"Hi\"";
  EXPECT_NE(split::CueSheetText(plan, "/music/live.wav").find("TITLE \"Say 'Hi'\""), std::string::npos);
  const split::CueSheet back = split::ReadCueSheet(Sheet(text, "back.cue"));
  ASSERT_EQ(back.tracks.size(), 3u);
  EXPECT_EQ(back.tracks[0].start, 33);
  EXPECT_EQ(back.tracks[1].start, (3 * 60 + 12) * 75 + 1);
  EXPECT_EQ(back.tracks[1].title, "Second/Song");
  EXPECT_EQ(back.title, "Live at Home");
}

}  // namespace
