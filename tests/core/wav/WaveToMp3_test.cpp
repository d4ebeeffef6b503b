#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <numeric>

#include "core/wav/WaveFile.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

namespace {

using kt::WavSpec;

struct Mp3Fixture : ::testing::Test {
  kt::TempDir dir;
  kt::RecordingProgress progress;
  std::string Sine(const std::string& name, std::uint16_t channels, std::uint32_t rate, std::uint32_t frames,
                   WavSpec layout = {}) {
    layout.channels = channels;
    layout.sampleRate = rate;
    return kt::MakeWav(dir, name, layout, kt::Sine16(frames, channels, rate, 440.0));
  }
  std::string Out(const std::string& name = "out.mp3") const { return dir.File(name); }
};

Mp3EncodeSettings BatchSettings() {
  return Mp3EncodeSettings{0, 0, 0, false, false, false, true};
}

// The tag frame LAME writes over the first frame: "Info" for CBR, "Xing"
// for VBR and ABR, followed by the flags and the frame count.
std::string TagFrameKind(const std::vector<std::uint8_t>& mp3, std::uint32_t* frameCount) {
  for (std::size_t at = 4; at + 12 < 200 && at + 12 < mp3.size(); ++at) {
    if (std::memcmp(&mp3[at], "Info", 4) == 0 || std::memcmp(&mp3[at], "Xing", 4) == 0) {
      const std::uint32_t flags =
          (mp3[at + 4] << 24) | (mp3[at + 5] << 16) | (mp3[at + 6] << 8) | mp3[at + 7];
      *frameCount =
          (flags & 1u) ? (mp3[at + 8] << 24) | (mp3[at + 9] << 16) | (mp3[at + 10] << 8) | mp3[at + 11] : 0;
      return std::string(reinterpret_cast<const char*>(&mp3[at]), 4);
    }
  }
  return "";
}

TEST_F(Mp3Fixture, StereoCdAudioWithBatchSettingsIsRealMp3OfTheRightLength) {
  const std::uint32_t frames = 44100 * 2;
  CWaveFile wav(Sine("s.wav", 2, 44100, frames));
  EXPECT_EQ(wav.ConvertToMp3(Out(), &progress, BatchSettings()), 0);
  ASSERT_EQ(wav.GetError(), 0u);
  const auto mp3 = kt::ReadAll(Out());
  ASSERT_GT(mp3.size(), 1000u);
  // Frame header: MPEG-1 layer III, no CRC, not copyrighted, original.
  EXPECT_EQ(mp3[0], 0xFF);
  EXPECT_EQ(mp3[1], 0xFB);
  EXPECT_EQ(mp3[3] & 0x0C, 0x04);
  EXPECT_NE(mp3[3] >> 6, 3) << "stereo source stays stereo";
  const kt::DecodedMp3 d = kt::DecodeMp3(Out());
  EXPECT_EQ(d.channels, 2u);
  EXPECT_EQ(d.sampleRate, 44100u);
  EXPECT_EQ(d.badFrames, 0u);
  EXPECT_GE(d.samplesPerChannel, frames);
  EXPECT_LE(d.samplesPerChannel, frames + 4 * 1152);
  EXPECT_GT(d.peak, 0.4);  // the sine's amplitude is 0.5
  EXPECT_LT(d.peak, 0.6);
  for (std::size_t i = 2; i < d.bitrates.size(); ++i)
    EXPECT_EQ(d.bitrates[i], d.bitrates[1]) << "constant bitrate";
  std::uint32_t tagFrames = 0;
  EXPECT_EQ(TagFrameKind(mp3, &tagFrames), "Info");
  EXPECT_EQ(tagFrames + 1, d.frames);
}

TEST_F(Mp3Fixture, VariableBitrateFileCarriesTheTagFrameWithItsExactLength) {
  CWaveFile wav(Sine("v.wav", 2, 44100, 44100 * 3));
  Mp3EncodeSettings s = BatchSettings();
  s.encodingMode = 2;
  s.bitrate = 128;
  s.vbrQuality = 5;
  wav.ConvertToMp3(Out(), nullptr, s);
  ASSERT_EQ(wav.GetError(), 0u);
  const kt::DecodedMp3 d = kt::DecodeMp3(Out());
  std::uint32_t tagFrames = 0;
  EXPECT_EQ(TagFrameKind(kt::ReadAll(Out()), &tagFrames), "Xing");
  EXPECT_EQ(tagFrames + 1, d.frames);
  for (std::size_t i = 1; i < d.bitrates.size(); ++i) EXPECT_GE(d.bitrates[i], 128u) << i;
}

// Average bitrate aims at the mean asked for; without one it aims at the
// bitrate the automatic rule picks for constant bitrate (what an automatic
// CBR encoding of the same source uses), at the source's rate.
TEST_F(Mp3Fixture, AverageBitrateAimsAtTheMeanOrAtTheAutomaticCbrBitrate) {
  // Noise needs every bit the mean allows.
  CWaveFile wav(kt::MakeWav(dir, "a.wav", WavSpec{}, kt::PatternData(176400 * 4)));
  Mp3EncodeSettings cbr = BatchSettings();
  wav.ConvertToMp3(Out("cbr.mp3"), nullptr, cbr);
  ASSERT_EQ(wav.GetError(), 0u);
  const kt::DecodedMp3 automatic = kt::DecodeMp3(Out("cbr.mp3"));
  ASSERT_GT(automatic.bitrates.size(), 1u);
  const unsigned autoBitrate = automatic.bitrates[1];
  for (const std::uint16_t asked : {192, 0}) {
    SCOPED_TRACE(asked);
    Mp3EncodeSettings s = BatchSettings();
    s.encodingMode = 3;
    s.bitrate = asked;
    wav.ConvertToMp3(Out(), nullptr, s);
    ASSERT_EQ(wav.GetError(), 0u);
    const kt::DecodedMp3 d = kt::DecodeMp3(Out());
    std::uint32_t tagFrames = 0;
    EXPECT_EQ(TagFrameKind(kt::ReadAll(Out()), &tagFrames), "Xing");
    EXPECT_EQ(d.sampleRate, 44100u);
    const double mean =
        std::accumulate(d.bitrates.begin() + 1, d.bitrates.end(), 0.0) / (d.bitrates.size() - 1);
    const double target = asked ? asked : autoBitrate;
    EXPECT_GT(mean, target * 0.88);
    EXPECT_LT(mean, target * 1.12);
  }
}

TEST_F(Mp3Fixture, MonoFlagCrcAndCopyrightReachTheFrames) {
  CWaveFile wav(Sine("m.wav", 2, 48000, 48000));
  Mp3EncodeSettings s = BatchSettings();
  s.monoFlag = true;
  s.crcFlag = true;
  s.copyrightFlag = true;
  s.originalFlag = false;
  s.bitrate = 64;
  wav.ConvertToMp3(Out(), nullptr, s);
  ASSERT_EQ(wav.GetError(), 0u);
  const auto mp3 = kt::ReadAll(Out());
  const kt::DecodedMp3 d = kt::DecodeMp3(Out());
  EXPECT_EQ(d.channels, 1u);
  EXPECT_EQ(d.sampleRate, 48000u);
  // The second frame is audio: CRC present (protection bit 0), mono, copyright, not original.
  ASSERT_GT(d.frames, 2u);
  EXPECT_EQ(d.bitrates[1], 64u);
  const std::size_t second = [&] {
    for (std::size_t i = 1; i + 1 < mp3.size(); ++i)
      if (mp3[i] == 0xFF && (mp3[i + 1] & 0xFE) == 0xFA) return i;
    return std::size_t{0};
  }();
  ASSERT_GT(second, 0u);
  EXPECT_EQ(mp3[second + 1] & 0x01, 0);
  EXPECT_EQ(mp3[second + 3] >> 6, 3);
  EXPECT_EQ(mp3[second + 3] & 0x0C, 0x08);
}

TEST_F(Mp3Fixture, EightBitSourceIsWidenedAndKeepsItsLength) {
  WavSpec layout;
  layout.bitsPerSample = 8;
  std::vector<std::uint8_t> audio;
  for (std::uint32_t i = 0; i < 22050 * 2; ++i) {
    const auto v = static_cast<std::uint8_t>(128 + std::lround(60 * std::sin(i * 0.0627)));
    audio.push_back(v);
    audio.push_back(v);
  }
  layout.sampleRate = 22050;
  CWaveFile wav(kt::MakeWav(dir, "e.wav", layout, audio));
  wav.ConvertToMp3(Out(), &progress, BatchSettings());
  ASSERT_EQ(wav.GetError(), 0u);
  const kt::DecodedMp3 d = kt::DecodeMp3(Out());
  EXPECT_EQ(d.sampleRate, 22050u);
  EXPECT_GE(d.samplesPerChannel, 44100u);
  EXPECT_LE(d.samplesPerChannel, 44100u + 5 * 576);
  EXPECT_GT(d.peak, 0.35);
  EXPECT_EQ(progress.fileSteps, 88200u / 16384 + 1);
}

TEST_F(Mp3Fixture, ProgressOfA100000ByteMonoFileHas13Blocks) {
  WavSpec layout;
  layout.channels = 1;
  CWaveFile wav(kt::MakeWav(dir, "p.wav", layout, kt::Sine16(50000, 1, 44100, 300.0)));
  wav.ConvertToMp3(Out(), &progress, BatchSettings());
  ASSERT_EQ(wav.GetError(), 0u);
  const std::vector<std::string> want = {
      "Start",           "SetTitle Converting to MP3...",   "SetFileCount 1",
      "SetFileNumber 1", "SetConvertingText p.wav out.mp3", "SetFileRange 13 1"};
  EXPECT_EQ(progress.calls, want);
  EXPECT_EQ(progress.fileSteps, 13u);
}

TEST_F(Mp3Fixture, ChunkAfterTheDataIsNotEncoded) {
  WavSpec plain;
  WavSpec tagged;
  tagged.after = {kt::Chunk{"LIST", kt::PatternData(200)}};
  const auto audio = kt::Sine16(30000, 2, 44100, 1000.0);
  CWaveFile a(kt::MakeWav(dir, "plain.wav", plain, audio));
  CWaveFile b(kt::MakeWav(dir, "tagged.wav", tagged, audio));
  a.ConvertToMp3(Out("a.mp3"), nullptr, BatchSettings());
  b.ConvertToMp3(Out("b.mp3"), nullptr, BatchSettings());
  EXPECT_EQ(kt::ReadAll(Out("a.mp3")), kt::ReadAll(Out("b.mp3")));
}

TEST_F(Mp3Fixture, CancelEndsWithAFlushedPlayableFile) {
  CWaveFile wav(Sine("c.wav", 2, 44100, 44100 * 5));
  progress.cancelAfterFileSteps = 3;
  wav.ConvertToMp3(Out(), &progress, BatchSettings());
  EXPECT_EQ(wav.GetError(), 0u);
  const kt::DecodedMp3 d = kt::DecodeMp3(Out());
  EXPECT_EQ(d.badFrames, 0u);
  EXPECT_GE(d.samplesPerChannel, 4u * 4096);
  EXPECT_LE(d.samplesPerChannel, 4u * 4096 + 4 * 1152);
}

// Rates below the lowest MP3 rate are resampled up to 8000 Hz, several times
// the MP3 bytes per call; the whole input must still come out (it used to
// lose blocks and report success). Noise makes the frames as large as they
// get; a 1 Hz source gets the padding of several input samples, as lame's.
TEST_F(Mp3Fixture, LowRatesAreResampledAndKeepTheWholeInput) {
  const struct {
    std::uint32_t rate;
    std::uint16_t bits;
    Mp3EncodeSettings settings;
  } cases[] = {
      {1000, 8, BatchSettings()},
      {500, 8, {320, 0, 0, false, false, false, true}},
      {1500, 16, {64, 2, 2, false, false, false, true}},
      {1000, 8, {128, 3, 0, true, false, false, true}},
      {7999, 8, {160, 0, 0, false, false, false, true}},
      {1, 16, BatchSettings()},
  };
  const double seconds = 10;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.settings.bitrate) + " kbit/s");
    WavSpec layout;
    layout.sampleRate = c.rate;
    layout.bitsPerSample = c.bits;
    CWaveFile wav(kt::MakeWav(dir, "low.wav", layout, kt::PatternData(seconds * layout.ByteRate(), c.rate)));
    wav.ConvertToMp3(Out(), &progress, c.settings);
    ASSERT_EQ(wav.GetError(), 0u);
    const kt::DecodedMp3 d = kt::DecodeMp3(Out());
    EXPECT_EQ(d.sampleRate, 8000u);
    EXPECT_EQ(d.badFrames, 0u);
    const double decoded = static_cast<double>(d.samplesPerChannel) / d.sampleRate;
    EXPECT_GE(decoded, seconds);
    EXPECT_LE(decoded, seconds + 0.6 + 8.0 / c.rate);
    std::uint32_t tagFrames = 0;
    if (!TagFrameKind(kt::ReadAll(Out()), &tagFrames).empty()) {
      EXPECT_EQ(tagFrames + 1, d.frames) << "the tag frame counts every frame written";
    }
  }
}

TEST_F(Mp3Fixture, UnsupportedSourcesAreRefusedInOrderAndWriteNothing) {
  WavSpec six;
  six.channels = 6;
  six.bitsPerSample = 24;
  CWaveFile a(kt::MakeWav(dir, "six.wav", six, kt::PatternData(1800)));
  a.ConvertToMp3(Out(), &progress, BatchSettings());
  EXPECT_EQ(a.GetError(), 127u);

  WavSpec deep;
  deep.bitsPerSample = 24;
  CWaveFile b(kt::MakeWav(dir, "deep.wav", deep, kt::PatternData(1800)));
  b.ConvertToMp3(Out(), &progress, BatchSettings());
  EXPECT_EQ(b.GetError(), 126u);

  WavSpec mulaw;
  mulaw.formatTag = 7;
  mulaw.bitsPerSample = 8;
  mulaw.fmtSize = 18;
  CWaveFile c(kt::MakeWav(dir, "mulaw.wav", mulaw, kt::PatternData(1800)));
  c.ConvertToMp3(Out(), &progress, BatchSettings());
  EXPECT_EQ(c.GetError(), 117u);

  const std::string source = Sine("own.wav", 2, 44100, 1000);
  CWaveFile d(source);
  d.ConvertToMp3(source, &progress, BatchSettings());
  EXPECT_EQ(d.GetError(), 119u);
  d.ConvertToMp3(Out("none/x.mp3"), &progress, BatchSettings());
  EXPECT_EQ(d.GetError(), 103u);

  WavSpec fast;
  fast.sampleRate = 3000000000u;
  fast.byteRateOverride = 4000;
  CWaveFile e(kt::MakeWav(dir, "fast.wav", fast, kt::PatternData(4000)));
  ASSERT_EQ(e.GetError(), 0u);
  e.ConvertToMp3(Out(), &progress, BatchSettings());
  EXPECT_EQ(e.GetError(), 122u);

  EXPECT_TRUE(progress.calls.empty());
  EXPECT_FALSE(std::filesystem::exists(Out()));
  EXPECT_FALSE(std::filesystem::exists(source + ".mp3"));
  EXPECT_GT(kt::ReadAll(source).size(), 44u);
}

}  // namespace
