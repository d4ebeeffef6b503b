// kestrune-cli on an MP3 stream whose frames differ in bitrate: the seconds
// given on the command line and the seconds it prints count frames (the
// engine's cuts are checked in detail by the MP3 timing tests).
#include <gtest/gtest.h>

#include "core/StringTable.h"
#include "support/CliRunner.h"
#include "support/GaplessCheck.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CliMp3Time, SecondsOfAVariableBitrateStreamCountFrames) {
  kt::TempDir dir;
  setenv("KESTRUNE_CONFIG_DIR", dir.File("config").c_str(), 1);
  // 860 frames of 1152 samples at 44100 Hz (22.47 s), starting at 32 kbit/s:
  // the first frame's bitrate would make the stream last 88 s.
  Bytes mp3;
  std::vector<long> starts;
  for (std::uint32_t k = 0; k < 860; ++k) {
    starts.push_back(static_cast<long>(mp3.size()));
    kt::FrameSpec frame;
    frame.bitrateIndex = std::vector<unsigned>{1, 9, 14, 11, 5}[(k / 3) % 5];
    const Bytes one = kt::SyntheticFrames(frame, 1, k + 7);
    mp3.insert(mp3.end(), one.begin(), one.end());
  }
  const std::string source = dir.File("mix.mp3");
  kt::WriteAll(source, mp3);
  auto run = [&](const std::vector<std::string>& args) {
    const kt::CliResult r = kt::RunCli(dir.Path().string(), args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
  };
  EXPECT_NE(run({"info", source}).find(FormatText("Play Duration - %.2lf Sec(s)", 860 * 1152 / 44100.0)),
            std::string::npos);
  // 3 s lies in frame 114 (114.8), 10 s in frame 382 (382.8); plain frame
  // copies show where the cuts fall, and play 269 frames (7.03 s).
  EXPECT_NE(run({"cut", source, "--from", "3", "--to", "10", "-o", dir.File("cut.mp3"), "--frames-only"})
                .find("This selection will last for 7.03 seconds"),
            std::string::npos);
  EXPECT_EQ(kt::ReadAll(dir.File("cut.mp3")), Bytes(mp3.begin() + starts[114], mp3.begin() + starts[383]));
}

// Times with fractions cut a LAME file to the sample; the piece reads as its
// span of the source: the music frames' bitrate and the length it plays.
TEST(CliMp3Time, TypedTimesCutToTheSampleAndThePieceReadsAsItsSpan) {
  kt::TempDir dir;
  setenv("KESTRUNE_CONFIG_DIR", dir.File("config").c_str(), 1);
  kt::WriteAll(dir.File("s.wav"), kt::MusicWav(6.0, 2, 44100));
  const std::string source = kt::LameEncode(dir, "s.mp3", dir.File("s.wav"), {"-b", "128"});
  ASSERT_FALSE(source.empty());
  const kt::CliResult cut = kt::RunCli(
      dir.Path().string(), {"cut", source, "--from", "1.25", "--to", "0:03.5", "-o", dir.File("c.mp3")});
  ASSERT_EQ(cut.exitCode, 0) << cut.err;
  EXPECT_EQ(cut.out, "This selection will last for 2.25 seconds\n");
  const std::vector<std::int16_t> whole = kt::Decode(dir, kt::RefDecoder::Ffmpeg, source);
  EXPECT_EQ(kt::SpanDiff(whole, 55125, 154350, 2, kt::Decode(dir, kt::RefDecoder::Ffmpeg, dir.File("c.mp3"))),
            "");
  const kt::CliResult info = kt::RunCli(dir.Path().string(), {"info", dir.File("c.mp3")});
  EXPECT_NE(info.out.find("Bitrate - 128 Kbits/sec\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Play Duration - 2.25 Sec(s)\n"), std::string::npos) << info.out;
}

}  // namespace
