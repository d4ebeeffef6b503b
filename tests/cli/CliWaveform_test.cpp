// kestrune-cli waveform, run as a user runs it: PNG pictures and JSON peaks
// of signals with known answers, its refusals, and a program that needs no
// display server.

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <filesystem>
#include <regex>

#include "support/CliRunner.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kFrames = 3 * kRate;
constexpr std::uint32_t kClick = 100000;

// Left: silence with one full-scale click; right: a sine at half scale.
std::string KnownWav(const kt::TempDir& dir) {
  std::vector<std::uint8_t> data;
  for (std::uint32_t i = 0; i < kFrames; ++i) {
    kt::PutLe16(data, static_cast<std::uint16_t>(i == kClick ? 32767 : 0));
    kt::PutLe16(data,
                static_cast<std::uint16_t>(std::lround(16384 * std::sin(2 * M_PI * 441.0 * i / kRate))));
  }
  return kt::MakeWav(dir, "known.wav", kt::WavSpec{}, data);
}

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgba;
  std::uint8_t Alpha(int x, int y) const { return rgba[(static_cast<std::size_t>(y) * width + x) * 4 + 3]; }
  int InkedRows(int x, int top, int bottom) const {
    int n = 0;
    for (int y = top; y < bottom; ++y) n += Alpha(x, y) != 0;
    return n;
  }
};

Picture ReadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Picture p;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
  image.format = PNG_FORMAT_RGBA;
  p.rgba.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, p.rgba.data(), 0, nullptr)) {
    p.width = static_cast<int>(image.width);
    p.height = static_cast<int>(image.height);
  }
  return p;
}

std::vector<long> Numbers(const std::string& text) {
  std::vector<long> numbers;
  const std::regex number("-?[0-9]+");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), number); it != std::sregex_iterator(); ++it)
    numbers.push_back(std::stol(it->str()));
  return numbers;
}

// The list after "key": [[...], [...]] as one list per channel.
std::vector<std::vector<long>> Lists(const std::string& json, const std::string& key) {
  std::vector<std::vector<long>> lists;
  std::size_t at = json.find("\"" + key + "\": [");
  if (at == std::string::npos) return lists;
  at = json.find('[', at) + 1;
  while (json[at] == '[' || json[at] == ',' || json[at] == ' ') {
    if (json[at] != '[') {
      ++at;
      continue;
    }
    const std::size_t end = json.find(']', at);
    lists.push_back(Numbers(json.substr(at + 1, end - at - 1)));
    at = end + 1;
  }
  return lists;
}

long Field(const std::string& json, const std::string& key) {
  const std::size_t at = json.find("\"" + key + "\": ");
  return at == std::string::npos ? -1 : std::stol(json.substr(at + key.size() + 4));
}

TEST(CliWaveform, PngHasOneBandPerChannelOnATransparentBackground) {
  kt::TempDir dir;
  const std::string wav = KnownWav(dir);
  const std::string out = dir.File("w.png");
  const kt::CliResult r = kt::RunCli(dir.Path().string(), {"waveform", wav, "-o", out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Picture p = ReadPng(out);
  ASSERT_EQ(p.width, 1800);
  ASSERT_EQ(p.height, 280);
  EXPECT_EQ(p.Alpha(0, 0), 0);
  EXPECT_EQ(p.Alpha(1799, 279), 0);
  // The click's column (with the 256-sample blocks it falls in) in the top
  // band, and nothing of it elsewhere in that band but the silent middle line.
  const int clickColumn = static_cast<int>(std::uint64_t{kClick} * 1800 / kFrames);
  for (int x = 0; x < 1800; ++x) {
    const bool near = std::abs(x - clickColumn) <= 1 + 256 * 1800 / static_cast<int>(kFrames);
    const int inked = p.InkedRows(x, 0, 140);
    if (x == clickColumn) {
      EXPECT_GT(inked, 60) << x;
    } else if (!near) {
      EXPECT_LE(inked, 1) << x;
    }
  }
  // The sine fills about half of the bottom band in every column.
  for (int x : {10, 900, 1790}) EXPECT_NEAR(p.InkedRows(x, 140, 280), 70, 4) << x;

  const kt::CliResult small =
      kt::RunCli(dir.Path().string(), {"waveform", wav, "-o", out, "--width", "300", "--height", "40"});
  ASSERT_EQ(small.exitCode, 0) << small.err;
  EXPECT_EQ(ReadPng(out).width, 300);
  EXPECT_EQ(ReadPng(out).height, 40);
}

TEST(CliWaveform, JsonGivesExactPeaksPerPoint) {
  kt::TempDir dir;
  const std::string wav = KnownWav(dir);
  const std::string out = dir.File("w.json");
  const kt::CliResult r = kt::RunCli(dir.Path().string(), {"waveform", wav, "-o", out, "--points", "100"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto bytes = kt::ReadAll(out);
  const std::string json(bytes.begin(), bytes.end());
  EXPECT_EQ(Field(json, "sample_rate"), 44100);
  EXPECT_EQ(Field(json, "channels"), 2);
  EXPECT_EQ(Field(json, "length_samples"), kFrames);
  const long spp = Field(json, "samples_per_point");
  EXPECT_EQ(spp % 256, 0);
  const std::size_t points = (kFrames + spp - 1) / spp;
  EXPECT_LE(points, 100u);
  const auto mins = Lists(json, "min"), maxs = Lists(json, "max");
  ASSERT_EQ(mins.size(), 2u);
  ASSERT_EQ(maxs.size(), 2u);
  for (std::size_t i = 0; i < points; ++i) {
    EXPECT_EQ(maxs[0][i], i == kClick / static_cast<std::size_t>(spp) ? 32767 : 0) << i;
    EXPECT_EQ(mins[0][i], 0) << i;
    EXPECT_EQ(maxs[1][i], 16384) << i;
    EXPECT_EQ(mins[1][i], -16384) << i;
  }
  EXPECT_EQ(maxs[0].size(), points);
}

TEST(CliWaveform, Mp3PeaksAreTheDecodedOnes) {
  kt::TempDir dir;
  const std::string mp3 = dir.File("tone.mp3");
  kt::WriteAll(mp3, kt::EncodedSine(8.0, kt::LameSpec{}, 440.0));
  const std::string out = dir.File("w.json");
  const kt::CliResult r = kt::RunCli(dir.Path().string(), {"waveform", mp3, "-o", out, "--points", "40"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto bytes = kt::ReadAll(out);
  const std::string json(bytes.begin(), bytes.end());
  const auto maxs = Lists(json, "max");
  ASSERT_EQ(maxs.size(), 2u);
  // EncodedSine is at half scale; the middle of the tone decodes near it.
  for (std::size_t i = 2; i + 2 < maxs[0].size(); ++i) EXPECT_NEAR(maxs[0][i] / 32768.0, 0.5, 0.06) << i;
}

TEST(CliWaveform, RefusalsNameTheProblemAndWriteNothing) {
  kt::TempDir dir;
  const std::string wav = KnownWav(dir);
  const struct {
    std::vector<std::string> args;
    int exit;
    const char* says;
  } cases[] = {
      {{"waveform", wav, "-o", dir.File("w.gif")}, 2, "must end in .png or .json"},
      {{"waveform", wav, "-o", dir.File("w.png"), "--width", "0"}, 2, "--width and --height"},
      {{"waveform", wav, "-o", dir.File("w.json"), "--points", "0"}, 2, "--points"},
      {{"waveform", wav, "-o", dir.File("w.json"), "--points", "-1"}, 2, "--points"},
      {{"waveform", wav, "-o", dir.File("w.json"), "--points", "18446744073709551615"}, 2, "--points"},
      {{"waveform", dir.File("missing.wav"), "-o", dir.File("w.png")}, 1, "kestrune-cli: "},
      {{"waveform", dir.File("notes.txt"), "-o", dir.File("w.png")}, 1, "not supported"},
      {{"waveform", wav, "-o", dir.File("nofolder/w.png")}, 1, "nothing was written"},
  };
  kt::WriteAll(dir.File("notes.txt"), {1, 2, 3});
  for (const auto& c : cases) {
    const kt::CliResult r = kt::RunCli(dir.Path().string(), c.args);
    EXPECT_EQ(r.exitCode, c.exit) << c.args[3];
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("w.png")));
  }
  // The source is never the output.
  const auto before = kt::ReadAll(wav);
  std::filesystem::copy(wav, dir.File("same.png"));
  const kt::CliResult same =
      kt::RunCli(dir.Path().string(), {"waveform", dir.File("same.png"), "-o", dir.File("same.png")});
  EXPECT_EQ(same.exitCode, 1);
  EXPECT_EQ(kt::ReadAll(dir.File("same.png")), before);
}

// Pictures come from libpng: the tool links no part of a display server.
TEST(CliWaveform, TheToolNeedsNoDisplayServer) {
  kt::TempDir dir;
  const kt::CliResult r = kt::RunProgram(dir.Path().string(), "ldd", {KESTRUNE_CLI_PATH});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("libpng"), std::string::npos) << r.out;
  for (const char* library : {"libxcb", "libX11", "libwayland", "libQt6Gui", "libGL", "libEGL"})
    EXPECT_EQ(r.out.find(library), std::string::npos) << library;
}

}  // namespace
