// WAV files past 4 GiB: 0xFFFFFFFF sizes that mean "to the end of the file",
// and RF64 (64-bit sizes in a ds64 chunk) read and written, checked against
// ffprobe, sox and the test's own parser. The files are sparse (their audio
// is a hole with a few marked stretches), so they take no disk space and
// the tests stay fast.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "audio/Mp3File.h"
#include "audio/WaveFile.h"
#include "res/StringTable.h"
#include "support/CliRunner.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint64_t kFiveGiB = 5ull << 30;
constexpr std::uint32_t kByteRate = 176400;  // 16-bit stereo at 44100 Hz

// Writes header, extends the file to header + dataSize bytes without
// allocating them, and writes marks (data offset, bytes) into the hole.
std::string MakeSparse(const kt::TempDir& dir, const std::string& name, const Bytes& header,
                       std::uint64_t dataSize,
                       const std::vector<std::pair<std::uint64_t, Bytes>>& marks = {}) {
  const std::string path = dir.File(name);
  kt::WriteAll(path, header);
  fs::resize_file(path, header.size() + dataSize);
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  for (const auto& [at, bytes] : marks) {
    f.seekp(static_cast<std::streamoff>(header.size() + at));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  return path;
}

// The canonical header with both sizes set to the streaming mark.
Bytes StreamingHeader() {
  Bytes h = kt::CanonicalHeader(2, 44100, 16, 0);
  for (std::size_t at : {4u, 40u}) std::fill(h.begin() + at, h.begin() + at + 4, 0xFF);
  return h;
}

TEST(WaveLarge, StreamingSizesMeanToTheEndOfTheFileAlsoPast4GiB) {
  kt::TempDir dir;
  const Bytes mark = kt::PatternData(kByteRate);
  const std::string source =
      MakeSparse(dir, "stream.wav", StreamingHeader(), kFiveGiB, {{std::uint64_t{25000} * kByteRate, mark}});
  CWaveFile wav(source, nullptr);
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_EQ(wav.GetDataSize(), kFiveGiB);
  EXPECT_EQ(wav.GetHeaderDataSize(), 0xFFFFFFFFu);
  EXPECT_DOUBLE_EQ(wav.GetDuration(), static_cast<double>(kFiveGiB) / kByteRate);

  const std::string out = dir.File("at 25000 s.wav");
  ASSERT_EQ(wav.SaveSelection(out, 25000, 25001, nullptr), 0u);
  Bytes want = kt::CanonicalHeader(2, 44100, 16, kByteRate);
  want.insert(want.end(), mark.begin(), mark.end());
  EXPECT_EQ(kt::ReadAll(out), want);
}

// An RF64 header written by hand: ds64 first, a 16-byte PCM record, the
// data chunk with the 32-bit fields at 0xFFFFFFFF.
Bytes Rf64Header(std::uint64_t dataSize) {
  Bytes h;
  kt::PutTag(h, "RF64");
  kt::PutLe32(h, 0xFFFFFFFFu);
  kt::PutTag(h, "WAVE");
  kt::PutTag(h, "ds64");
  kt::PutLe32(h, 28);
  const std::uint64_t riff = 4 + 36 + 24 + 8 + dataSize;
  for (const std::uint64_t v : {riff, dataSize, dataSize / 4}) {
    kt::PutLe32(h, static_cast<std::uint32_t>(v));
    kt::PutLe32(h, static_cast<std::uint32_t>(v >> 32));
  }
  kt::PutLe32(h, 0);
  const Bytes canonical = kt::CanonicalHeader(2, 44100, 16, 0);
  h.insert(h.end(), canonical.begin() + 12, canonical.begin() + 36);  // the "fmt " chunk
  kt::PutTag(h, "data");
  kt::PutLe32(h, 0xFFFFFFFFu);
  return h;
}

// What ffprobe and sox say a file lasts (-1 when they cannot read it).
double ProbeSeconds(const kt::TempDir& dir, const std::string& tool, const std::string& path) {
  const std::vector<std::string> args =
      tool == "sox" ? std::vector<std::string>{"--i", "-D", path}
                    : std::vector<std::string>{"-v",      "error", "-show_entries", "format=duration", "-of",
                                               "csv=p=0", path};
  const kt::CliResult r = kt::RunProgram(dir.Path().string(), tool == "sox" ? "sox" : "ffprobe", args);
  return r.exitCode == 0 && r.err.empty() ? std::atof(r.out.c_str()) : -1;
}

// sox reads an RF64 file through to learn its length: only small ones go to it.
void ExpectReadersAgree(const kt::TempDir& dir, const std::string& path, double seconds) {
  EXPECT_NEAR(ProbeSeconds(dir, "ffprobe", path), seconds, 0.001);
  if (fs::file_size(path) < (100u << 20)) {
    EXPECT_NEAR(ProbeSeconds(dir, "sox", path), seconds, 0.001);
  }
}

TEST(WaveRf64, Rf64FilesOpenShowTheirRealSizesAndCut) {
  kt::TempDir dir;
  const Bytes mark = kt::PatternData(kByteRate, 7);
  const std::string source =
      MakeSparse(dir, "long.wav", Rf64Header(kFiveGiB), kFiveGiB, {{std::uint64_t{25000} * kByteRate, mark}});
  CWaveFile wav(source, nullptr);
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_TRUE(wav.IsRf64());
  EXPECT_TRUE(wav.FoundByChunkWalk());
  EXPECT_EQ(wav.GetDataSize(), kFiveGiB);
  EXPECT_DOUBLE_EQ(wav.GetDuration(), static_cast<double>(kFiveGiB) / kByteRate);
  const auto lines = wav.GetInformationLines();
  EXPECT_EQ(lines[1],
            "File size (As in Header) - " + std::to_string(fs::file_size(source)) + " bytes (RF64)");
  EXPECT_EQ(lines[7], "Data bytes size - " + std::to_string(kFiveGiB) + " bytes");
  // A piece below 4 GiB is a plain WAV, byte for byte.
  const std::string out = dir.File("cut.wav");
  ASSERT_EQ(wav.SaveSelection(out, 25000, 25001, nullptr), 0u);
  Bytes want = kt::CanonicalHeader(2, 44100, 16, kByteRate);
  want.insert(want.end(), mark.begin(), mark.end());
  EXPECT_EQ(kt::ReadAll(out), want);
}

TEST(WaveRf64, SmallRf64FromFfmpegOpensWithItsDataSize) {
  kt::TempDir dir;
  const std::string path = dir.File("ffmpeg.wav");
  const kt::CliResult r =
      kt::RunProgram(dir.Path().string(), "ffmpeg",
                     {"-v", "error", "-f", "lavfi", "-i", "sine=frequency=440:duration=2:sample_rate=44100",
                      "-ac", "2", "-c:a", "pcm_s16le", "-rf64", "always", path});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_EQ(kt::ReadAll(path).at(0), 'R');
  CWaveFile wav(path, nullptr);
  ASSERT_EQ(wav.GetError(), 0u);
  EXPECT_TRUE(wav.IsRf64());
  EXPECT_EQ(wav.GetDataSize(), 2u * kByteRate);
  EXPECT_DOUBLE_EQ(wav.GetDuration(), 2.0);
}

// Headers sized for a plain WAV up to the last size a 32-bit RIFF size can
// hold (0xFFFFFFFF itself is the streaming mark), RF64 from there on.
TEST(WaveRf64, FormChangesExactlyWhereTheRiffSizeStopsFitting) {
  kt::TempDir dir;
  CWaveFile wav(kt::MakeWav(dir, "a.wav", kt::WavSpec{}, kt::PatternData(400)), nullptr);
  const std::uint64_t lastPlain = 0xFFFFFFFEull - 36;  // RIFF size 0xFFFFFFFE
  struct Case {
    std::uint64_t dataSize;
    bool rf64;
  };
  for (const Case c :
       {Case{400, false}, Case{lastPlain, false}, Case{lastPlain + 2, true}, Case{kFiveGiB, true}}) {
    SCOPED_TRACE(c.dataSize);
    const Bytes h = wav.BuildDerivedHeader(wav.GetFormat(), {}, c.dataSize);
    EXPECT_EQ(h.size(), c.rf64 ? 80u : 44u);
    if (!c.rf64) {
      EXPECT_EQ(h, kt::CanonicalHeader(2, 44100, 16, static_cast<std::uint32_t>(c.dataSize)));
      continue;
    }
    // Byte for byte what the hand-written RF64 header above holds.
    EXPECT_EQ(h, Rf64Header(c.dataSize));
  }
}

// The engine's own RF64: a whole 5 GiB header over a sparse file, and a
// cut planned past 4 GiB and cancelled early, whose header keeps the RF64
// form with the sizes written. ffprobe, sox and the engine read both back.
TEST(WaveRf64, WrittenRf64ReadsBackWithTheRightDuration) {
  kt::TempDir dir;
  const std::string source = MakeSparse(dir, "stream.wav", StreamingHeader(), kFiveGiB);
  CWaveFile wav(source, nullptr);
  ASSERT_EQ(wav.GetError(), 0u);
  const std::string whole =
      MakeSparse(dir, "whole.wav", wav.BuildDerivedHeader(wav.GetFormat(), {}, kFiveGiB), kFiveGiB);
  EXPECT_EQ(kt::HeaderMismatch(whole), "");
  ExpectReadersAgree(dir, whole, static_cast<double>(kFiveGiB) / kByteRate);

  const std::string cut = dir.File("cut.wav");
  kt::RecordingProgress progress;
  progress.cancelAfterFileSteps = 1;
  ASSERT_EQ(wav.SaveSelection(cut, 0, 26000, &progress), 0u);
  const kt::WaveLayout layout = kt::ReadWaveLayout(cut);
  EXPECT_TRUE(layout.rf64);
  EXPECT_EQ(kt::HeaderMismatch(cut), "");
  EXPECT_EQ(layout.ds64Samples, layout.dataSize / 4);
  ASSERT_GT(layout.dataSize, 0u);
  ExpectReadersAgree(dir, cut, static_cast<double>(layout.dataSize) / kByteRate);

  for (const std::string& path : {whole, cut}) {
    CWaveFile back(path, nullptr);
    ASSERT_EQ(back.GetError(), 0u);
    EXPECT_TRUE(back.IsRf64());
    EXPECT_EQ(back.GetDataSize(), kt::ReadWaveLayout(path).dataSize);
    EXPECT_EQ(back.BuildDerivedHeader(back.GetFormat(), {}, back.GetDataSize()),
              wav.BuildDerivedHeader(wav.GetFormat(), {}, back.GetDataSize()));
  }
}

// A conversion whose output will pass 4 GiB (8 to 16 bits of 2.5 GiB) is
// RF64 from its first byte, cancelled or not.
TEST(WaveRf64, WideningPast4GiBWritesRf64) {
  kt::TempDir dir;
  const std::uint64_t eightBit = 5ull << 29;  // 2.5 GiB of 8-bit stereo
  const std::string source = MakeSparse(
      dir, "eight.wav", kt::CanonicalHeader(2, 44100, 8, static_cast<std::uint32_t>(eightBit)), eightBit);
  CWaveFile wav(source, nullptr);
  ASSERT_EQ(wav.GetError(), 0u);
  const std::string out = dir.File("wide.wav");
  kt::RecordingProgress progress;
  progress.cancelAfterFileSteps = 1;
  ASSERT_EQ(wav.ConvertTo16Bit(out, &progress), 0u);
  const kt::WaveLayout layout = kt::ReadWaveLayout(out);
  EXPECT_TRUE(layout.rf64);
  EXPECT_EQ(kt::HeaderMismatch(out), "");
  ASSERT_GT(layout.dataSize, 0u);
  ExpectReadersAgree(dir, out, static_cast<double>(layout.dataSize) / kByteRate);
}

// An MP3 long enough to decode past 4 GiB (its length from the file size
// and the bitrate; the stretch after a few real seconds is a hole) is
// decoded into RF64 from the start; cancelled early, it still is.
TEST(WaveRf64, DecodingAVeryLongMp3WritesRf64) {
  kt::TempDir dir;
  kt::LameSpec layout;  // 128 kbit/s, 44100 Hz stereo
  const std::string mp3 = dir.File("long.mp3");
  kt::WriteAll(mp3, kt::EncodedSine(4.0, layout));
  fs::resize_file(mp3, 25000ull * 16000);  // 25000 s at 16000 bytes a second
  CMp3File file(mp3, nullptr);
  ASSERT_EQ(file.GetError(), 0u);
  ASSERT_GT(file.GetDuration() * kByteRate, 4294967296.0);
  const std::string out = dir.File("decoded.wav");
  kt::RecordingProgress progress;
  progress.cancelAfterFileSteps = 8;  // 64 KiB of the MP3 decoded
  file.ConvertToWav(out, &progress);
  const kt::WaveLayout decoded = kt::ReadWaveLayout(out);
  EXPECT_TRUE(decoded.rf64);
  EXPECT_EQ(kt::HeaderMismatch(out), "");
  ASSERT_GT(decoded.dataSize, 0u);
  ExpectReadersAgree(dir, out, static_cast<double>(decoded.dataSize) / kByteRate);
  CWaveFile back(out, nullptr);
  EXPECT_EQ(back.GetDataSize(), decoded.dataSize);

  // A short MP3 still decodes to the plain 44-byte header.
  const std::string shortMp3 = dir.File("short.mp3");
  kt::WriteAll(shortMp3, kt::EncodedSine(1.0, layout));
  CMp3File small(shortMp3, nullptr);
  small.ConvertToWav(dir.File("short.wav"), nullptr);
  EXPECT_FALSE(kt::ReadWaveLayout(dir.File("short.wav")).rf64);
  EXPECT_EQ(kt::ReadWaveLayout(dir.File("short.wav")).dataOffset, 44u);
}

}  // namespace
