// kestrune-cli on an MP3 stream whose frames differ in bitrate: the seconds
// given on the command line and the seconds it prints count frames.
#include <gtest/gtest.h>

#include "res/StringTable.h"
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
  constexpr std::uint64_t kFrames = 860;
  Bytes mp3;
  std::vector<long> starts;
  for (std::uint64_t k = 0; k <= kFrames; ++k) {
    starts.push_back(static_cast<long>(mp3.size()));
    if (k == kFrames) break;
    kt::FrameSpec frame;
    frame.bitrateIndex = std::vector<unsigned>{1, 9, 14, 11, 5}[(k / 3) % 5];
    const Bytes one = kt::SyntheticFrames(frame, 1, static_cast<std::uint32_t>(k + 7));
    mp3.insert(mp3.end(), one.begin(), one.end());
  }
  auto frames = [&](std::size_t first, std::size_t end) {
    return Bytes(mp3.begin() + starts[first], mp3.begin() + starts[end]);
  };
  const std::string source = dir.File("mix.mp3");
  kt::WriteAll(source, mp3);
  const double duration = kFrames * 1152 / 44100.0;
  auto run = [&](const std::vector<std::string>& args) {
    const kt::CliResult r = kt::RunCli(dir.Path().string(), args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
  };

  EXPECT_NE(run({"info", source}).find(FormatText("Play Duration - %.2lf Sec(s)", duration)),
            std::string::npos);
  // 3 s lies in frame 114 (114.8), 10 s in frame 382 (382.8); plain frame
  // copies show where the cuts fall.
  EXPECT_NE(run({"cut", source, "--from", "3", "--to", "10", "-o", dir.File("cut.mp3"), "--frames-only"})
                .find("This selection will last for 7.00 seconds"),
            std::string::npos);
  EXPECT_EQ(kt::ReadAll(dir.File("cut.mp3")), frames(114, 383));
  EXPECT_NE(run({"shred", source, "-n", "4", "--estimate"})
                .find(FormatText("File splits' playtime - %.2lf Second(s)", duration / 4)),
            std::string::npos);
  // Pieces end at frames 286 and 573; a 1 s overlap reaches back to the
  // frame holding 1 s before each start: 247 (247.7) and 534 (534.7).
  run({"shred", source, "-n", "3", "--overlap", "1", "--suffix", "", "--base", dir.File("p"),
       "--frames-only"});
  EXPECT_EQ(kt::ReadAll(dir.File("P-1.mp3")), frames(0, 286));
  EXPECT_EQ(kt::ReadAll(dir.File("P-2.mp3")), frames(247, 573));
  EXPECT_EQ(kt::ReadAll(dir.File("P-3.mp3")), frames(534, kFrames));
}

}  // namespace
