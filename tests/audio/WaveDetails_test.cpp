// The details of the WAV files the engine writes, read back by independent
// readers (ffprobe, sox and the test's own chunk parser): pad bytes of odd
// data chunks, whole sample frames, the format record's length.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "audio/WaveCut.h"
#include "audio/WaveFile.h"
#include "support/CliRunner.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

// ffprobe's duration of a file and what it warned about.
struct Probe {
  double seconds = -1;
  std::string warnings;
};
Probe FfProbe(const kt::TempDir& dir, const std::string& path) {
  const kt::CliResult r =
      kt::RunProgram(dir.Path().string(), "ffprobe",
                     {"-v", "warning", "-show_entries", "format=duration", "-of", "csv=p=0", path});
  return {r.exitCode == 0 ? std::atof(r.out.c_str()) : -1, r.err};
}
Probe Sox(const kt::TempDir& dir, const std::string& path) {
  const kt::CliResult r = kt::RunProgram(dir.Path().string(), "sox", {"--i", "-D", path});
  return {r.exitCode == 0 ? std::atof(r.out.c_str()) : -1, r.err};
}

// An operation on the source that writes the output to check.
using Operation = std::function<AudioError(CWaveFile&, const std::string& out)>;

Operation Selection(std::uint32_t from, std::uint32_t to) {
  return [=](CWaveFile& w, const std::string& out) { return w.SaveSelection(out, from, to, nullptr); };
}
// Splits into pieces pieces; the output to check is piece number `check`.
Operation Piece(std::uint32_t pieces, std::uint32_t check) {
  return [=](CWaveFile& w, const std::string& out) {
    kt::ScriptedOwner owner;
    owner.shred.numberOfSplits = pieces;
    owner.shred.baseFilename = out + ".piece";
    CWaveFile source(w.GetFilePath(), &owner);
    const AudioError e = source.SplitEqually(nullptr);
    std::filesystem::rename(WavePieceName(out + ".piece", "", check), out);
    return e;
  };
}

struct Case {
  const char* name;
  kt::WavSpec spec;
  std::size_t dataBytes;  // audio bytes the source holds
  Operation run;
  std::uint32_t fmtSize;        // of the output
  std::uint64_t outputBytes;    // audio bytes of the output
  bool soxReads = true;         // sox decodes the format
  std::uint32_t factCount = 0;  // of the output's fact chunk (0: none)
  double seconds = -1;          // the output's duration (-1: from the byte rate)
};

kt::WavSpec Mono8() {
  kt::WavSpec s;
  s.channels = 1;
  s.sampleRate = 8000;
  s.bitsPerSample = 8;
  return s;
}
kt::WavSpec Float18() {
  kt::WavSpec s;
  s.formatTag = 3;
  s.channels = 1;
  s.bitsPerSample = 32;
  s.fmtSize = 18;
  s.fmtExtra = {0, 0};
  return s;
}
kt::WavSpec WithFact(kt::WavSpec s, std::uint32_t count) {
  s.before.push_back(kt::Chunk{"fact", {}});
  kt::PutLe32(s.before.back().body, count);
  return s;
}
kt::WavSpec Truncated() {
  kt::WavSpec s;
  s.dataSizeOverride = 176400 * 2;  // claims two seconds, holds less
  return s;
}
kt::WavSpec Pcm18() {
  kt::WavSpec s;
  s.fmtSize = 18;
  s.fmtExtra = {0, 0};
  return s;
}

TEST(WaveDetails, OutputsArePaddedWholeFramesWithTheirFormatRecordAndReadCleanly) {
  kt::TempDir dir;
  const Case cases[] = {
      {"odd data chunk, its last piece", Mono8(), 16001, Piece(2, 2), 16, 8001},
      {"odd selection", Mono8(), 16001, Selection(1, 3), 16, 8001},
      {"truncated data chunk ending inside a frame", Truncated(), 100002, Selection(0, 2), 16, 100000},
      {"float with the 18-byte record", Float18(), 176400, Selection(0, 1), 18, 176400},
      {"float piece", Float18(), 176400, Piece(2, 1), 18, 88200},
      {"PCM keeps the 16-byte record", Pcm18(), 176400, Selection(0, 1), 16, 176400},
      {"IMA ADPCM piece counts its own samples", kt::ImaAdpcmSpec(80000), 159 * 256, Piece(3, 1), 20,
       53 * 256, false, 53 * 505, 53 * 505 / 8000.0},
      {"IMA ADPCM selection", kt::ImaAdpcmSpec(80000), 159 * 256, Selection(2, 5), 20, 47 * 256, false,
       47 * 505, 47 * 505 / 8000.0},
      {"float piece with a fact chunk", WithFact(Float18(), 44100), 176400, Piece(2, 2), 18, 88200, true,
       22050},
      {"PCM selection with a fact chunk", WithFact(kt::WavSpec{}, 88200), 176400 * 2, Selection(1, 2), 16,
       176400, true, 44100},
      {"8 to 16 bit with a wrong fact count", WithFact(Mono8(), 12345), 8000,
       [](CWaveFile& w, const std::string& out) { return w.ConvertTo16Bit(out, nullptr); }, 16, 16000, true,
       8000, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string source = kt::MakeWav(dir, "source.wav", c.spec, kt::PatternData(c.dataBytes));
    const std::string out = dir.File("out.wav");
    CWaveFile wav(source, nullptr);
    ASSERT_EQ(wav.GetError(), 0u);
    ASSERT_EQ(c.run(wav, out), 0u);
    EXPECT_EQ(kt::HeaderMismatch(out), "");
    const kt::WaveLayout layout = kt::ReadWaveLayout(out);
    EXPECT_EQ(layout.fmtSize, c.fmtSize);
    EXPECT_EQ(layout.dataSize, c.outputBytes);
    EXPECT_EQ(layout.hasFact, c.factCount != 0);
    EXPECT_EQ(layout.factCount, c.factCount);
    const double seconds =
        c.seconds >= 0 ? c.seconds : static_cast<double>(c.outputBytes) / c.spec.ByteRate();
    const Probe ff = FfProbe(dir, out);
    EXPECT_NEAR(ff.seconds, seconds, 0.001);
    EXPECT_EQ(ff.warnings, "");
    if (c.soxReads) {
      const Probe sox = Sox(dir, out);
      EXPECT_NEAR(sox.seconds, seconds, 0.001);
      EXPECT_EQ(sox.warnings, "");
    }
    // The engine reads its own output back as it was meant.
    CWaveFile back(out, nullptr);
    EXPECT_EQ(back.GetError(), 0u);
    EXPECT_EQ(back.GetDataSize(), c.outputBytes);
    EXPECT_EQ(back.GetFormat().channels, c.spec.channels);
  }
}

}  // namespace
