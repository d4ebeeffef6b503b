// WAV files past 4 GiB: 0xFFFFFFFF sizes that mean "to the end of the file",
// and RF64 (64-bit sizes in a ds64 chunk) read and written, checked against
// ffprobe and the test's own parser. The files are sparse (their audio is a
// hole), so they take no disk space and the tests stay fast.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "core/mp3/Mp3File.h"
#include "core/wav/WaveFile.h"
#include "support/GaplessCheck.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint64_t kFiveGiB = 5ull << 30;
constexpr std::uint32_t kByteRate = 176400;              // 16-bit stereo at 44100 Hz
constexpr std::uint64_t kMarkAt = 25000ull * kByteRate;  // 25000 s into the audio

// Writes header, extends the file by dataSize bytes without allocating them
// and writes mark (when given) at kMarkAt into the hole.
std::string MakeSparse(const kt::TempDir& dir, const std::string& name, const Bytes& header,
                       std::uint64_t dataSize, const Bytes& mark = {}) {
  const std::string path = dir.File(name);
  kt::WriteAll(path, header);
  fs::resize_file(path, header.size() + dataSize);
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(header.size() + kMarkAt));
  f.write(reinterpret_cast<const char*>(mark.data()), static_cast<std::streamsize>(mark.size()));
  return path;
}

// The canonical header with both sizes set to the streaming mark.
Bytes StreamingHeader() {
  Bytes h = kt::CanonicalHeader(2, 44100, 16, 0);
  for (std::size_t at : {4u, 40u}) std::fill(h.begin() + at, h.begin() + at + 4, 0xFF);
  return h;
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
  for (const std::uint64_t v : {4 + 36 + 24 + 8 + dataSize, dataSize, dataSize / 4}) {
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

// 5 GiB sources, with streaming sizes or RF64, open with their real size and
// a second cut from 25000 s in is a plain WAV, byte for byte.
TEST(WaveLarge, SourcesPast4GiBOpenWithTheirRealSizesAndCut) {
  kt::TempDir dir;
  const Bytes mark = kt::PatternData(kByteRate, 7);
  Bytes want = kt::CanonicalHeader(2, 44100, 16, kByteRate);
  want.insert(want.end(), mark.begin(), mark.end());
  for (const bool rf64 : {false, true}) {
    SCOPED_TRACE(rf64 ? "RF64" : "streaming sizes");
    CWaveFile wav(
        MakeSparse(dir, "long.wav", rf64 ? Rf64Header(kFiveGiB) : StreamingHeader(), kFiveGiB, mark));
    ASSERT_EQ(wav.GetError(), 0u);
    EXPECT_EQ(wav.IsRf64(), rf64);
    EXPECT_EQ(wav.GetDataSize(), kFiveGiB);
    EXPECT_DOUBLE_EQ(wav.GetDuration(), static_cast<double>(kFiveGiB) / kByteRate);
    ASSERT_EQ(wav.SaveSelection(dir.File("cut.wav"), 25000, 25001, nullptr).error, 0u);
    EXPECT_EQ(kt::ReadAll(dir.File("cut.wav")), want);
  }
}

// The information line shows the ds64 RIFF size plus 8 as read, even where
// the sum passes 64 bits.
TEST(WaveRf64, TheInformationLineShowsTheDs64SizeAsRead) {
  kt::TempDir dir;
  const std::pair<std::uint64_t, const char*> cases[] = {
      {5000, "5008"},
      {0xFFFFFFFFFFFFFFF7ull, "18446744073709551615"},
      {0xFFFFFFFFFFFFFFF8ull, "18446744073709551616"},
      {0xFFFFFFFFFFFFFFFFull, "18446744073709551623"},
  };
  for (const auto& [riffSize, shown] : cases) {
    SCOPED_TRACE(shown);
    Bytes bytes = Rf64Header(4000);
    for (int i = 0; i < 8; ++i) bytes[20 + i] = static_cast<std::uint8_t>(riffSize >> (8 * i));
    const Bytes audio = kt::PatternData(4000);
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    kt::WriteAll(dir.File("a.wav"), bytes);
    CWaveFile wav(dir.File("a.wav"));
    ASSERT_EQ(wav.GetError(), 0u);
    EXPECT_EQ(wav.GetInformationLines().at(1),
              std::string("File size (As in Header) - ") + shown + " bytes (RF64)");
  }
}

// Plain headers up to the last size a 32-bit RIFF size holds (0xFFFFFFFF
// itself is the streaming mark), RF64 from there on.
TEST(WaveRf64, FormChangesExactlyWhereTheRiffSizeStopsFitting) {
  kt::TempDir dir;
  CWaveFile wav(kt::MakeWav(dir, "a.wav", kt::WavSpec{}, kt::PatternData(400)));
  const std::uint64_t lastPlain = 0xFFFFFFFEull - 36;  // RIFF size 0xFFFFFFFE
  for (const std::uint64_t size : {std::uint64_t{400}, lastPlain, lastPlain + 2, kFiveGiB}) {
    SCOPED_TRACE(size);
    EXPECT_EQ(wav.BuildDerivedHeader(wav.GetFormat(), {}, size),
              size <= lastPlain ? kt::CanonicalHeader(2, 44100, 16, static_cast<std::uint32_t>(size))
                                : Rf64Header(size));
  }
}

// Every writer whose output will pass 4 GiB writes RF64 from its first byte;
// cancelled early, the header keeps that form with the sizes written: a cut,
// 2.5 GiB of 8-bit audio widened, an MP3 whose length (from its size and
// bitrate; after 4 s it is a hole) passes 4 GiB decoded. ffprobe and the
// engine read each back.
TEST(WaveRf64, OutputsPast4GiBAreRf64AndReadBackWithTheirDuration) {
  kt::TempDir dir;
  CWaveFile stream(MakeSparse(dir, "stream.wav", StreamingHeader(), kFiveGiB));
  const std::uint64_t eightBit = 5ull << 29;
  CWaveFile eight(MakeSparse(
      dir, "eight.wav", kt::CanonicalHeader(2, 44100, 8, static_cast<std::uint32_t>(eightBit)), eightBit));
  const std::string mp3 = dir.File("long.mp3");
  kt::WriteAll(mp3, kt::EncodedSine(4.0, kt::LameSpec{}));
  fs::resize_file(mp3, 25000ull * 16000);  // 25000 s at 128 kbit/s
  CMp3File decoder(mp3);
  ASSERT_GT(decoder.GetDuration() * kByteRate, 4294967296.0);
  const struct {
    std::string name;
    unsigned cancelAfter;
    std::function<void(const std::string&, CProgress*)> write;
  } writers[] = {
      {"cut", 1, [&](const std::string& out, CProgress* p) { stream.SaveSelection(out, 0, 26000, p); }},
      {"to 16 bit", 1, [&](const std::string& out, CProgress* p) { eight.ConvertTo16Bit(out, p); }},
      {"decoded", 8, [&](const std::string& out, CProgress* p) { decoder.ConvertToWav(out, p); }},
  };
  for (const auto& w : writers) {
    SCOPED_TRACE(w.name);
    const std::string out = dir.File(w.name + ".wav");
    kt::RecordingProgress progress;
    progress.cancelAfterFileSteps = w.cancelAfter;
    w.write(out, &progress);
    const kt::WaveLayout layout = kt::ReadWaveLayout(out);
    EXPECT_TRUE(layout.rf64);
    EXPECT_EQ(kt::HeaderMismatch(out), "");
    EXPECT_EQ(layout.ds64Samples, layout.dataSize / 4);
    ASSERT_GT(layout.dataSize, 0u);
    EXPECT_NEAR(kt::ProbeDuration(dir, out), static_cast<double>(layout.dataSize) / kByteRate, 0.001);
    CWaveFile back(out);
    EXPECT_TRUE(back.IsRf64());
    EXPECT_EQ(back.GetDataSize(), layout.dataSize);
  }
}

}  // namespace
