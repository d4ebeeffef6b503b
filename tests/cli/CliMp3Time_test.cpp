// kestrune-cli on an MP3 stream whose frames differ in bitrate: the seconds
// given on the command line and the seconds it prints count frames (the
// engine's cuts are checked in detail by the MP3 timing tests).
#include <gtest/gtest.h>

#include "core/StringTable.h"
#include "support/CliRunner.h"
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
  // copies show where the cuts fall.
  EXPECT_NE(run({"cut", source, "--from", "3", "--to", "10", "-o", dir.File("cut.mp3"), "--frames-only"})
                .find("This selection will last for 7.00 seconds"),
            std::string::npos);
  EXPECT_EQ(kt::ReadAll(dir.File("cut.mp3")), Bytes(mp3.begin() + starts[114], mp3.begin() + starts[383]));
}

}  // namespace
