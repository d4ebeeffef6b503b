// kestrune-cli split end to end: the cut list printed as text or JSON, the
// exports, the pieces on disk, usage errors (2) and failures (1) with their
// messages, and nothing written by a dry run or a failed one.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/CliRunner.h"
#include "support/SilenceRecording.h"

namespace fs = std::filesystem;

namespace {

class CliSplitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("KESTRUNE_CONFIG_DIR", dir.File("config").c_str(), 1);
    // Silences at 3-4 s and 7.5-8.3 s of 11 s.
    rec = kt::MakeRecording({{3, false}, {1, true}, {3.5, false}, {0.8, true, -60}, {2.7, false}});
    kt::WriteAll(dir.File("take.wav"), rec.wav);
  }
  kt::CliResult Run(const std::vector<std::string>& args) { return kt::RunCli(dir.Path().string(), args); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.Path()))
      if (e.is_regular_file() && e.path().filename() != "stdout.txt" && e.path().filename() != "stderr.txt")
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  kt::TempDir dir;
  kt::Recording rec;
};

TEST_F(CliSplitTest, ADryRunPrintsTheCutListAndExportsButWritesNoPiece) {
  const auto run = Run({"split", dir.File("take.wav"), "--silence", "--min-piece", "2", "--dry-run",
                        "--cue-out", dir.File("cuts.cue"), "--labels-out", dir.File("cuts.txt")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(
      run.out,
      "cut 1 at 0:00:03.500, in silence 0:00:03.000 - 0:00:04.000 (0:00:01.000 long, peak -150.0 dBFS)\n"
      "cut 2 at 0:00:07.900, in silence 0:00:07.500 - 0:00:08.300 (0:00:00.800 long, peak -59.9 dBFS)\n"
      "piece 1: 0:00:00.000 - 0:00:03.500 (0:00:03.500) " +
          dir.File("TAKE-1.wav") +
          "\n"
          "piece 2: 0:00:03.500 - 0:00:07.900 (0:00:04.400) " +
          dir.File("TAKE-2.wav") +
          "\n"
          "piece 3: 0:00:07.900 - 0:00:11.000 (0:00:03.100) " +
          dir.File("TAKE-3.wav") + "\n");
  EXPECT_EQ(Files(), (std::vector<std::string>{"cuts.cue", "cuts.txt", "take.wav"}));
  const auto labels = kt::ReadAll(dir.File("cuts.txt"));
  EXPECT_EQ(std::string(labels.begin(), labels.end()),
            "0.000000\t3.500000\tTAKE-1\n3.500000\t7.900000\tTAKE-2\n7.900000\t11.000000\tTAKE-3\n");
  // The exported sheet splits the file again at the same places, to the
  // nearest 1/75 s (3.5 s is 262.5 frames).
  const auto again = Run({"split", dir.File("cuts.cue"), "--dry-run", "--json"});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_NE(again.out.find("{\"at\": 3.506667, \"silence\": null}, {\"at\": 7.906667, \"silence\": null}"),
            std::string::npos)
      << again.out;
  EXPECT_NE(again.out.find(dir.File("02 - TAKE-2.wav")), std::string::npos) << again.out;
}

TEST_F(CliSplitTest, JsonListsCutsWithTheirSilencesAndThePiecesThenThePiecesAreWritten) {
  const auto run = Run({"split", dir.File("take.wav"), "--silence", "--min-piece", "2", "--json", "--base",
                        dir.File("out.wav"), "--suffix", "_p"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "{\"cuts\": [{\"at\": 3.500000, \"silence\": [3.000000, 4.000000]}, {\"at\": 7.900000, "
            "\"silence\": [7.500000, 8.300000]}], \"pieces\": [{\"file\": \"" +
                dir.File("OUT_p-1.wav") + "\", \"start\": 0.000000, \"end\": 3.500000}, {\"file\": \"" +
                dir.File("OUT_p-2.wav") + "\", \"start\": 3.500000, \"end\": 7.900000}, {\"file\": \"" +
                dir.File("OUT_p-3.wav") + "\", \"start\": 7.900000, \"end\": 11.000000}]}\n");
  EXPECT_EQ(fs::file_size(dir.File("OUT_p-2.wav")) > 4.4 * 44100 * 4, true);
  EXPECT_TRUE(fs::exists(dir.File("OUT_p-3.wav")));
}

TEST_F(CliSplitTest, EqualPiecesSnapToSilencesAndSayWhenNoneIsNear) {
  const auto run = Run({"split", dir.File("take.wav"), "--equal", "3", "--snap", "0:01", "--dry-run"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // Equal points at 3.667 s (silence 3-4 s in reach) and 7.333 s (silence 7.5-8.3 s in reach).
  EXPECT_NE(run.out.find("cut 1 at 0:00:03.500, in silence"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("cut 2 at 0:00:07.900, in silence"), std::string::npos) << run.out;
  const auto far = Run({"split", dir.File("take.wav"), "--equal", "2", "--snap", "0.2", "--dry-run"});
  EXPECT_NE(far.out.find("cut 1 at 0:00:05.500, no silence near, stays at its equal point"),
            std::string::npos)
      << far.out;
}

TEST_F(CliSplitTest, BadOptionsAreUsageErrorsAndFaultsNameTheFileAndReason) {
  const struct {
    std::vector<std::string> args;
    int code;
    std::string message;
  } rows[] = {
      {{"split", "take.wav"}, 2, "split needs --silence, --equal N, or a cue sheet"},
      {{"split", "take.wav", "--silence", "--equal", "3"}, 2, "do not go together"},
      {{"split", "take.wav", "--silence", "--threshold", "-120"}, 2, "between -96 and -6 dBFS"},
      {{"split", "take.wav", "--silence", "--threshold", "loud"}, 2, "not a number"},
      {{"split", "take.wav", "--silence", "--min-silence", "0:75"}, 2, "--min-silence 0:75"},
      {{"split", "take.wav", "--silence", "--min-silence", "0.001"}, 2, "minimum silence must lie between"},
      {{"split", "take.wav", "--equal", "1"}, 2, "between 2 and 1000"},
      {{"split", "take.wav", "--silence", "--cut-at", "edge"}, 2, "--cut-at"},
      {{"split", dir.File("take.wav"), "--silence", "--min-silence", "1.5", "--dry-run"},
       1,
       dir.File("take.wav") + ": no silence of at least 0:00:01.500 below -48.0 dBFS was found; the quietest "
                              "stretch of that length starts at 0:00:0"},
      {{"split", "missing.wav", "--silence"}, 1, "missing.wav"},
      {{"split", dir.File("take.wav"), "--silence", "--labels-out", dir.File("take.wav")},
       1,
       "would replace the source"},
      {{"split", dir.File("take.wav"), "--equal", "2", "--base", dir.File("p"), "--suffix", "_", "--cue-out",
        dir.File("none/../P_-2.wav")},
       1,
       "P_-2.wav: the export would replace piece 2 of the split"},
      {{"split", dir.File("take.wav"), "--equal", "2", "--cue-out", dir.File("x.txt"), "--labels-out",
        dir.File("./x.txt")},
       1,
       "name the same file"},
  };
  for (const auto& r : rows) {
    const auto run = Run(r.args);
    EXPECT_EQ(run.exitCode, r.code) << r.args.back() << ": " << run.err;
    EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
  }
  EXPECT_EQ(Files(), (std::vector<std::string>{"take.wav"}));
  // A link to the source is the source: found by device and inode.
  fs::create_symlink(dir.File("take.wav"), dir.File("link.txt"));
  const auto linked =
      Run({"split", dir.File("take.wav"), "--silence", "--dry-run", "--labels-out", dir.File("link.txt")});
  EXPECT_EQ(linked.exitCode, 1);
  EXPECT_NE(linked.err.find("the export would replace " + dir.File("take.wav")), std::string::npos)
      << linked.err;
  EXPECT_EQ(kt::ReadAll(dir.File("take.wav")), rec.wav);
}

TEST_F(CliSplitTest, AFifoAsCueSheetOrAsExportIsRefusedAtOnceWithItsName) {
  // Neither FIFO ever gets its other end: waiting for it would hang the run.
  const std::string sheet = dir.File("pipe.cue"), out = dir.File("out.cue");
  ASSERT_EQ(::mkfifo(sheet.c_str(), 0644), 0);
  ASSERT_EQ(::mkfifo(out.c_str(), 0644), 0);
  const struct {
    std::vector<std::string> args;
    std::string message;
  } rows[] = {
      {{"split", sheet}, "kestrune-cli: " + sheet + ": cannot open the cue sheet\n"},
      {{"split", dir.File("take.wav"), "--silence", "--dry-run", "--cue-out", out},
       "kestrune-cli: " + out + ": cannot create the file: Permission denied\n"},
  };
  for (const auto& r : rows) {
    const auto run = Run(r.args);
    EXPECT_EQ(run.exitCode, 1) << r.args.back();
    EXPECT_EQ(run.err, r.message);
  }
  EXPECT_EQ(Files(), (std::vector<std::string>{"take.wav"}));
}

TEST_F(CliSplitTest, ABadCueSheetNamesItsLineAndNothingIsWritten) {
  const std::string text =
      "FILE \"take.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
      "    INDEX 01 00:0x:00\n";
  kt::WriteAll(dir.File("bad.cue"), std::vector<std::uint8_t>(text.begin(), text.end()));
  const auto run = Run({"split", dir.File("bad.cue"), "--out-dir", dir.Path().string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.rfind("kestrune-cli: " + dir.File("bad.cue") + ": line 5: \"INDEX 01 00:0x:00\" ", 0), 0u)
      << run.err;
  const std::string past =
      "FILE \"take.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
      "    INDEX 01 00:12:00\n";
  kt::WriteAll(dir.File("past.cue"), std::vector<std::uint8_t>(past.begin(), past.end()));
  const auto late = Run({"split", dir.File("past.cue")});
  EXPECT_EQ(late.exitCode, 1);
  EXPECT_NE(late.err.find("track 2: it starts at 0:00:12.000, past the end of the audio (0:00:11.000)"),
            std::string::npos)
      << late.err;
  EXPECT_EQ(Files(), (std::vector<std::string>{"bad.cue", "past.cue", "take.wav"}));
}

}  // namespace

namespace {

// An album image as rippers write one: a FLAC of four tones (a hidden
// track of 2 s before track 1, then 4 s, 3 s and 3 s) and an EAC-shaped
// sheet (byte order mark, CRLF, REM, CATALOG, PREGAP, INDEX 00, non-ASCII).
class CliAlbumTest : public CliSplitTest {
 protected:
  void SetUp() override {
    CliSplitTest::SetUp();
    const auto made =
        kt::RunProgram(dir.Path().string(), "sox",
                       {"-n",    "-r",   "44100", "-c",  "2",   "-b",    "16",    dir.File("a.wav"),
                        "synth", "2",    "sine",  "500", "vol", "0.3",   ":",     "synth",
                        "4",     "sine", "700",   "vol", "0.3", ":",     "synth", "3",
                        "sine",  "900",  "vol",   "0.3", ":",   "synth", "3",     "sine",
                        "300",   "vol",  "0.3"});
    ASSERT_EQ(made.exitCode, 0);
    const std::string sheet =
        "\xEF\xBB\xBFREM GENRE \"Jazz\"\r\nREM DATE 1999\r\nREM COMMENT \"ExactAudioCopy v1.0\"\r\n"
        "CATALOG 0000000000000\r\nPERFORMER \"\xC3\x86r\xC3\xB8 Band\"\r\nTITLE \"N\xC3\xB8rd\"\r\n"
        "FILE \"album.flac\" WAVE\r\n  TRACK 01 AUDIO\r\n    TITLE \"F\xC3\xB8rste\"\r\n"
        "    INDEX 00 00:00:00\r\n    INDEX 01 00:02:00\r\n  TRACK 02 AUDIO\r\n    TITLE \"Zwei\"\r\n"
        "    PREGAP 00:00:10\r\n    INDEX 01 00:06:00\r\n  TRACK 03 AUDIO\r\n    TITLE \"Drei\"\r\n"
        "    INDEX 00 00:08:70\r\n    INDEX 01 00:09:00\r\n";
    kt::WriteAll(dir.File("album.cue"), std::vector<std::uint8_t>(sheet.begin(), sheet.end()));
    ASSERT_EQ(kt::RunProgram(dir.Path().string(), "flac",
                             {"--silent", "-f", "--cuesheet=" + dir.File("album.cue"), "-T", "ALBUM=Image",
                              "-o", dir.File("album.flac"), dir.File("a.wav")})
                  .exitCode,
              0);
  }
  // Sample frames of a file as ffmpeg decodes it.
  std::uint64_t Samples(const std::string& path) {
    const auto decoded =
        kt::RunProgram(dir.Path().string(), "ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-"});
    return decoded.out.size() / 4;
  }
};

TEST_F(CliAlbumTest, AnImageSplitsByItsSheetIntoTaggedTracksKeepingTheHiddenTrack) {
  fs::create_directories(dir.File("flac"));
  fs::create_directories(dir.File("mp3"));
  fs::create_directories(dir.File("inside"));
  fs::copy_file(dir.File("album.flac"), dir.File("inside/image.flac"));
  const struct {
    std::vector<std::string> args;
    std::string folder, ext, album;
  } cases[] = {
      {{"split", dir.File("album.cue"), "--out-dir", dir.File("flac")}, "flac/", ".flac", "N\xC3\xB8rd"},
      {{"split", dir.File("album.cue"), "--out-dir", dir.File("mp3"), "--to", "mp3"},
       "mp3/",
       ".mp3",
       "N\xC3\xB8rd"},
      // The sheet inside the image: no names, the album from its tags.
      {{"split", dir.File("inside/image.flac")}, "inside/", ".flac", "Image"},
  };
  const char* const names[] = {"00 - Hidden track", "01 - F\xC3\xB8rste", "02 - Zwei", "03 - Drei"};
  const char* const unnamed[] = {"00 - Hidden track", "01 - Track 01", "02 - Track 02", "03 - Track 03"};
  const std::uint64_t lengths[] = {88200, 176400, 132300, 132300};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    const auto run = Run(c.args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (int i = 0; i < 4; ++i) {
      const std::string piece = dir.File(c.folder + (c.folder == "inside/" ? unnamed[i] : names[i]) + c.ext);
      ASSERT_TRUE(fs::exists(piece)) << piece;
      EXPECT_EQ(Samples(piece), lengths[i]);
      auto tags =
          kt::RunProgram(dir.Path().string(), "ffprobe",
                         {"-v", "error", "-show_entries", "format_tags", "-of", "default=nw=1", piece});
      // FLAC's names are upper case, ID3's lower: compare the names alike.
      for (std::size_t at = 0; at < tags.out.size(); at = tags.out.find('\n', at) + 1) {
        const std::size_t eq = std::min(tags.out.find('=', at), tags.out.size());
        for (std::size_t k = at; k < eq; ++k) tags.out[k] = static_cast<char>(std::tolower(tags.out[k]));
        if (tags.out.find('\n', at) == std::string::npos) break;
      }
      EXPECT_NE(tags.out.find("album=" + c.album), std::string::npos) << tags.out;
      if (c.folder != "inside/") {
        EXPECT_NE(tags.out.find("genre=Jazz"), std::string::npos) << tags.out;
        EXPECT_NE(tags.out.find("date=1999"), std::string::npos) << tags.out;
      }
    }
  }
}

// Too little audio for the pieces asked: none is a failure, fewer are said.
TEST_F(CliSplitTest, AudioTooShortForThePiecesAskedIsSaid) {
  kt::WavSpec layout;
  const std::string zero = kt::MakeWav(dir, "zero.wav", layout, {});
  const std::string one = kt::MakeWav(dir, "one.wav", layout, std::vector<std::uint8_t>(4));
  const struct {
    std::string source;
    int exitCode;
    std::string says;
  } cases[] = {
      {zero, 1, "zero.wav: the audio is too short to split; no piece was written\n"},
      {one, 0, "3 pieces asked; the audio is too short for more than 1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    const kt::CliResult r = Run({"split", c.source, "--equal", "3", "--snap", "0"});
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
  }
}

}  // namespace

namespace {

// A piece another program holds locked is named with that reason.
TEST_F(CliSplitTest, APieceAnotherWriterHoldsIsNamedWithTheLock) {
  kt::WriteAll(dir.File("P_-2.wav"), {1, 2, 3});
  const int holder = ::open(dir.File("P_-2.wav").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  const auto run = Run({"split", dir.File("take.wav"), "--equal", "2", "--snap", "0", "--base", dir.File("p"),
                        "--suffix", "_"});
  ::close(holder);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("P_-2.wav: Cannot create output file. (locked by another program)"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(kt::ReadAll(dir.File("P_-2.wav")), (std::vector<std::uint8_t>{1, 2, 3}));
}

}  // namespace
