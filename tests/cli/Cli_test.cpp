// kestrune-cli end to end: the real binary on generated files, checked
// against what lands on disk, what is printed and the exit code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "cli/CliJob.h"
#include "cli/CliProgress.h"
#include "core/TimeText.h"
#include "settings/SettingsStore.h"
#include "support/CliRunner.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

namespace fs = std::filesystem;

namespace {

using Result = kt::CliResult;

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("KESTRUNE_CONFIG_DIR", dir.File("config").c_str(), 1); }

  Result Run(const std::vector<std::string>& args) { return kt::RunCli(dir.Path().string(), args); }
  // The store the tool finds through KESTRUNE_CONFIG_DIR.
  CSettingsStore Settings() {
    return CSettingsStore(QString::fromStdString(dir.File("config") + "/registry.ini"));
  }

  std::string StereoWav(const std::string& name, std::uint32_t seconds) {
    kt::WavSpec layout;
    layout.sampleRate = 8000;
    return kt::MakeWav(dir, name, layout, kt::PatternData(seconds * 32000));
  }

  kt::TempDir dir;
};

TEST_F(CliTest, UsageErrorsExitWithTwoAndHelpWithZero) {
  EXPECT_EQ(Run({}).exitCode, 2);
  EXPECT_EQ(Run({"frobnicate"}).exitCode, 2);
  EXPECT_EQ(Run({"cut", "x.wav", "--from", "1"}).exitCode, 2);
  EXPECT_EQ(Run({"to-mp3", "x.wav", "-o", "y.mp3", "--bitrate", "33"}).exitCode, 2);
  const Result help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("shred"), std::string::npos);
  const Result version = Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_NE(version.out.find("1.1"), std::string::npos);
}

TEST_F(CliTest, UnreadableOrUnknownFilesFailWithTheCatalogueMessage) {
  Result r = Run({"info", dir.File("missing.wav")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kestrune-cli: " + dir.File("missing.wav") +
                       ": Cannot open audio file. (No such file or directory)\n");
  kt::WriteAll(dir.File("notes.txt"), {'h', 'i'});
  r = Run({"info", dir.File("notes.txt")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kestrune-cli: " + dir.File("notes.txt") + ": This file type is not supported\n");
  kt::WriteAll(dir.File("junk.wav"), kt::PatternData(3000));
  r = Run({"info", dir.File("junk.wav")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kestrune-cli: " + dir.File("junk.wav") +
                       ": AIFF Wave header not found. This WAV file is corrupted.\n");
}

TEST_F(CliTest, InfoPrintsTheInformationWindowLines) {
  kt::WavSpec layout;  // 16-bit stereo 44100 Hz
  const std::string path = kt::MakeWav(dir, "ten.wav", layout, std::vector<std::uint8_t>(1764000));
  const Result r = Run({"info", path});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Filename - ten.wav\n"), std::string::npos);
  EXPECT_NE(r.out.find("Sample frame size - 4 bytes\n"), std::string::npos);
  EXPECT_NE(r.out.find("Playing duration - 10.00 seconds\n"), std::string::npos);
}

TEST_F(CliTest, ShredWritesNumberedPiecesThatReassembleTheSource) {
  const std::string src = StereoWav("Song.wav", 6);
  const Result r = Run({"shred", src, "-n", "3", "--overlap", "0", "--suffix", "_p", "--quiet"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("SONG.WAV will be split into 3 file(s)."), std::string::npos);
  EXPECT_NE(r.out.find("Number of splits - 3"), std::string::npos);
  // The folder keeps its case; the name is upper-cased without ".WAV".
  std::vector<std::uint8_t> joined;
  for (int i = 1; i <= 3; ++i) {
    const std::string piece = dir.File("SONG_p-" + std::to_string(i) + ".wav");
    ASSERT_TRUE(fs::exists(piece)) << piece;
    const auto bytes = kt::ReadAll(piece);
    joined.insert(joined.end(), bytes.begin() + 44, bytes.end());
  }
  const auto source = kt::ReadAll(src);
  EXPECT_EQ(joined, std::vector<std::uint8_t>(source.begin() + 44, source.end()));
}

TEST_F(CliTest, FramesOnlyGivesPlainFrameCopiesAndTheStoredSettingChoosesOtherwise) {
  // ID3v2 tag, the LAME library's header frame, frames, ID3v1 tag.
  using Bytes = std::vector<std::uint8_t>;
  kt::LameSpec layout;
  layout.headerFrame = true;
  const Bytes id3v2 = kt::Id3v2Tag(500), id3v1 = kt::Id3v1Tag({"T", "A", "B", "1999", "C", 1});
  const Bytes mp3 = kt::EncodedSine(6.0, layout);
  Bytes all = id3v2;
  all.insert(all.end(), mp3.begin(), mp3.end());
  all.insert(all.end(), id3v1.begin(), id3v1.end());
  const std::string src = dir.File("song.mp3");
  kt::WriteAll(src, all);
  const long audio =
      static_cast<long>(id3v2.size() + kt::WalkFrames(mp3, 0, mp3.size())[1]);  // after the header frame
  auto shred = [&](const std::string& base, bool framesOnly) {  // base in capitals, as the pieces are named
    std::vector<std::string> args{"-q", "shred",    src, "-n",     "3",           "--overlap",
                                  "0",  "--suffix", "",  "--base", dir.File(base)};
    if (framesOnly) args.push_back("--frames-only");
    const Result r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<Bytes> out;
    for (const char* i : {"-1.mp3", "-2.mp3", "-3.mp3"}) out.push_back(kt::ReadAll(dir.File(base + i)));
    return out;
  };
  Bytes joined;
  for (const Bytes& piece : shred("PLAIN", true)) {
    EXPECT_EQ(Bytes(piece.end() - 128, piece.end()), id3v1);
    joined.insert(joined.end(), piece.begin(), piece.end() - 128);
  }
  EXPECT_EQ(joined, Bytes(all.begin() + audio, all.end() - 128));
  Result r = Run({"-q", "cut", src, "--from", "1", "--to", "3", "-o", dir.File("cut.mp3"), "--frames-only"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Bytes cut = kt::ReadAll(dir.File("cut.mp3")), body(cut.begin(), cut.end() - 128);
  EXPECT_NE(std::search(all.begin(), all.end(), body.begin(), body.end()), all.end()) << "the source's bytes";

  // Without the flag the stored setting decides: gapless unless saved off.
  for (const Bytes& piece : shred("GAPLESS", false)) EXPECT_EQ(kt::Slice(piece, 0, id3v2.size()), id3v2);
  ASSERT_TRUE(Settings().SetGaplessMp3(false));
  r = Run({"-q", "cut", src, "--from", "1", "--to", "3", "-o", dir.File("cut2.mp3")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(kt::ReadAll(dir.File("cut2.mp3")), cut);
}

TEST_F(CliTest, ShredEstimateOnlyWritesNothingAndRefusalsFail) {
  const std::string src = StereoWav("a.wav", 4);
  Result r = Run({"shred", src, "-n", "2", "--estimate", "--overlap", "0"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("File splits' playtime - 2.00 Second(s)"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.File("A-1.wav")));

  r = Run({"shred", src, "-n", "1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kestrune-cli: " + src + ": Please enter splits value greater than 1\n");
  r = Run({"shred", src, "-n", "5"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kestrune-cli: " + src +
                       ": The number of splits is too large so that it will not play even for 1 second\n");
  EXPECT_FALSE(fs::exists(dir.File("A-1.wav")));
}

TEST_F(CliTest, ShredWarnsAboutAHighOverlapAndCutsAnyway) {
  const std::string src = StereoWav("b.wav", 4);
  const Result r = Run({"shred", src, "-n", "2", "--overlap", "3"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Overlap time is 3 Second(s), is high for the split of playtime 2 Second(s). Set the "
                       "overlap time about 1 Second(s)."),
            std::string::npos);
  EXPECT_NE(r.out.find("Estimated time may not be exact for all splits"), std::string::npos);
  EXPECT_NE(r.out.find("Overlaping time - 3 Second(s)"), std::string::npos);
  // Piece 2 begins with all of piece 1's audio (2 s of 32000 bytes/s).
  EXPECT_EQ(kt::ReadAll(dir.File("B-2.wav")).size(), 44u + 64000u + 64000u);
}

TEST_F(CliTest, CutPrintsTheSelectionLengthAndRefusesItsOwnSource) {
  const std::string src = StereoWav("c.wav", 5);
  Result r = Run({"cut", src, "--from", "1", "--to", "3", "-o", dir.File("sel.wav")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "This selection will last for 2.00 seconds\n");
  EXPECT_EQ(kt::ReadAll(dir.File("sel.wav")).size(), 44u + 64000u);

  const auto before = kt::ReadAll(src);
  r = Run({"cut", src, "--from", "1", "--to", "3", "-o", src});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kestrune-cli: " + src + ": Output file cannot be the same as the source file.\n");
  EXPECT_EQ(kt::ReadAll(src), before);
}

TEST_F(CliTest, TimesAreTakenInEveryFormAndABadOneIsAUsageErrorNamingItsOption) {
  const std::string src = StereoWav("t.wav", 8);  // 8000 Hz, 4 bytes a sample frame
  const std::vector<std::uint8_t> data = kt::Slice(kt::ReadAll(src), 44);
  const struct {
    const char* from;
    const char* to;
    std::size_t first, end;  // samples
    const char* said;
  } rows[] = {
      {"3.3", "7.77", 26400, 62160, "4.47"},
      {"0:01.25", "0:00:02", 10000, 16000, "0.75"},
      {"0:00:05.000125", "1", 8000, 40001, "4.00"},  // either order; 5.000125 s is sample 40001
      {"7", "0:09", 56000, 64000, "1.00"},           // clipped at the end of the audio
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.from);
    const Result r = Run({"cut", src, "--from", row.from, "--to", row.to, "-o", dir.File("t-cut.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::string("This selection will last for ") + row.said + " seconds\n");
    EXPECT_EQ(kt::Slice(kt::ReadAll(dir.File("t-cut.wav")), 44),
              kt::Slice(data, row.first * 4, (row.end - row.first) * 4));
  }
  // A typed overlap counts samples too: piece 2 of 2 starts 0.25 s (2000 sample frames) early.
  const Result shred = Run({"-q", "shred", src, "-n", "2", "--overlap", "0:00.25", "--base", dir.File("ov")});
  ASSERT_EQ(shred.exitCode, 0) << shred.err;
  EXPECT_EQ(kt::Slice(kt::ReadAll(dir.File("OV-2.wav")), 44), kt::Slice(data, (32000 - 2000) * 4));
  const struct {
    std::vector<std::string> args;
    const char* err;
  } bad[] = {
      {{"cut", src, "--from", "3,5", "--to", "4", "-o", dir.File("x.wav")},
       "kestrune-cli: --from 3,5: ',' is not part of a time (write S, S.fff, M:SS.fff or H:MM:SS.fff)\n"},
      {{"cut", src, "--from", "1", "--to", "1:75", "-o", dir.File("x.wav")},
       "kestrune-cli: --to 1:75: seconds must be below 60\n"},
      {{"shred", src, "-n", "2", "--overlap", "-1"},
       "kestrune-cli: --overlap -1: '-' is not part of a time (write S, S.fff, M:SS.fff or H:MM:SS.fff)\n"},
      {{"cut", src, "--from", "8.5", "--to", "9", "-o", dir.File("x.wav")},
       "kestrune-cli: the cut starts at 8.5 s, at or after the end of the audio, which lasts 8.00 seconds\n"},
  };
  for (const auto& row : bad) {
    const Result r = Run(row.args);
    EXPECT_EQ(r.exitCode, 2);
    // A usage error: the line, then the pointer to --help.
    EXPECT_EQ(r.err, row.err + std::string("Try 'kestrune-cli --help' for more information.\n"));
    EXPECT_TRUE(r.out.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.wav")));
}

TEST_F(CliTest, UnwritableOutputFolderFailsWith103) {
  const std::string src = StereoWav("d.wav", 2);
  const Result r = Run({"cut", src, "--from", "0", "--to", "1", "-o", dir.File("no/such/folder/x.wav")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kestrune-cli: " + dir.File("no/such/folder/x.wav") +
                       ": Cannot create output file. (No such file or directory)\n");
}

TEST_F(CliTest, ConversionsRoundTripThroughTheRealCodecs) {
  kt::WavSpec layout;
  layout.sampleRate = 44100;
  const std::string src = kt::MakeWav(dir, "tone.wav", layout, kt::Sine16(44100 * 2, 2, 44100, 440.0));
  Result r = Run({"to-mp3", src, "-o", dir.File("tone.mp3"), "--bitrate", "128"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = Run({"info", dir.File("tone.mp3")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Bitrate - 128 Kbits/sec"), std::string::npos) << r.out;
  r = Run({"to-wav", dir.File("tone.mp3"), "-o", dir.File("back.wav")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = Run({"info", dir.File("back.wav")});
  EXPECT_NE(r.out.find("Number of Channels - 2"), std::string::npos);
  // Two seconds of audio come back, give or take the codec's padding frames.
  const auto back = kt::ReadAll(dir.File("back.wav"));
  EXPECT_NEAR(static_cast<double>(back.size() - 44) / 176400.0, 2.0, 0.1);

  r = Run({"to-8bit", src, "-o", dir.File("t8.wav")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = Run({"to-16bit", dir.File("t8.wav"), "-o", dir.File("t16.wav")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(kt::ReadAll(dir.File("t16.wav")).size(), kt::ReadAll(src).size());
  r = Run({"rip", src, "--channels", "2", "-o", dir.File("right.wav")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(kt::ReadAll(dir.File("right.wav")).size(), 44u + 44100u * 2 * 2);

  r = Run({"to-wav", src, "-o", dir.File("x.wav")});
  EXPECT_EQ(r.exitCode, 1);
  r = Run({"rip", src, "--channels", "3", "-o", dir.File("x.wav")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_FALSE(fs::exists(dir.File("x.wav")));
}

TEST_F(CliTest, InterruptCancelsLikeTheCancelButtonAndExits130) {
  const std::string src = StereoWav("e.wav", 10);
  CliOptions options;
  options.verb = CliVerb::Cut;
  options.input = src;
  options.output = dir.File("partial.wav");
  options.from = 0;
  options.to = 10 * timetext::kMicrosPerSecond;
  options.quiet = true;
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  CCliProgress::SetInterrupted(true);
  const int code =
      CCliJob(options, CSettingsStore(QString::fromStdString(dir.File("config/registry.ini"))), out, err)
          .Run();
  CCliProgress::SetInterrupted(false);
  EXPECT_EQ(code, 130);
  // The header and the first block made it; the output is closed and kept,
  // its header sized for what it holds.
  const auto partial = kt::ReadAll(dir.File("partial.wav"));
  EXPECT_LT(partial.size(), 44u + 320000u);
  EXPECT_GE(partial.size(), 44u);
  EXPECT_EQ(kt::GetLe32(partial, 40), partial.size() - 44);
  std::fclose(out);
  std::fclose(err);
}

}  // namespace

namespace {

TEST_F(CliTest, ShredTakesOverlapAndSuffixFromTheStoredSettings) {
  // The desktop program's Settings dialog writes the store; the tool reads it.
  setenv("KESTRUNE_CONFIG_DIR", dir.File("config").c_str(), 1);
  ASSERT_TRUE(Settings().SetOverlapTime(1));
  ASSERT_TRUE(Settings().SetSuffix("_kept"));
  const std::string src = StereoWav("f.wav", 4);
  const Result r = Run({"shred", src, "-n", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Overlaping time - 1 Second(s)"), std::string::npos);
  EXPECT_EQ(kt::ReadAll(dir.File("F_kept-2.wav")).size(), 44u + 64000u + 32000u);
}

}  // namespace
