#include <gtest/gtest.h>

#include <cmath>

#include "core/mp3/MadDecoder.h"
#include "core/mp3/Mp3File.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

struct Decoded {
  AudioError result = 0;
  AudioError error = 0;
  std::vector<std::uint8_t> bytes;
  kt::DecodedWav wav;
};

Decoded Decode(const kt::TempDir& dir, const std::vector<std::uint8_t>& mp3, CProgress* progress = nullptr) {
  kt::WriteAll(dir.File("in.mp3"), mp3);
  CMp3File f(dir.File("in.mp3"));
  EXPECT_EQ(f.GetError(), 0u);
  kt::RecordingProgress own;
  Decoded d;
  d.result = f.ConvertToWav(dir.File("out.wav"), progress ? progress : &own);
  d.error = f.GetError();
  d.bytes = kt::ReadAll(dir.File("out.wav"));
  d.wav = kt::ReadDecodedWav(d.bytes);
  return d;
}

// How well a channel of the decoded signal follows the source: the best
// normalised correlation over the lags the encoder and decoder delay may
// take, and the gain at that lag.
struct Match {
  double correlation = -1;
  double gain = 0;
};

Match BestMatch(const kt::DecodedWav& wav, const std::vector<std::int16_t>& source, int channels,
                int channel) {
  const std::size_t frames = source.size() / channels;
  Match best;
  for (std::size_t lag = 0; lag < 3000; ++lag) {
    double xy = 0, xx = 0, yy = 0;
    // Skip the edges, where the codec fades in and out.
    for (std::size_t i = 2000; i + 2000 < frames && (i + lag) * channels < wav.samples.size(); i += 3) {
      const double x = source[i * channels + channel];
      const double y = wav.samples[(i + lag) * channels + channel];
      xy += x * y, xx += x * x, yy += y * y;
    }
    if (xx == 0 || yy == 0) continue;
    const double c = xy / std::sqrt(xx * yy);
    if (c > best.correlation) best = {c, xy / xx};
  }
  return best;
}

void ExpectFollows(const kt::DecodedWav& wav, const std::vector<std::int16_t>& source, int channels) {
  for (int c = 0; c < channels; ++c) {
    const Match m = BestMatch(wav, source, channels, c);
    EXPECT_GT(m.correlation, 0.995) << "channel " << c;
    EXPECT_GT(m.gain, 0.9) << "channel " << c;
    EXPECT_LT(m.gain, 1.05) << "channel " << c;
  }
}

std::size_t AudioFrames(const std::vector<std::uint8_t>& mp3, std::size_t start, std::size_t end) {
  return kt::WalkFrames(mp3, start, end).size();
}

TEST(Mp3DecodeSamples, RoundClipAndShiftTo16Bits) {
  EXPECT_EQ(CMadDecoder::ToPcm16(1 << 28), 32767);
  EXPECT_EQ(CMadDecoder::ToPcm16(-(1 << 28)), -32768);
  EXPECT_EQ(CMadDecoder::ToPcm16(4095), 0);
  EXPECT_EQ(CMadDecoder::ToPcm16(4096), 1);
  EXPECT_EQ(CMadDecoder::ToPcm16(-4096), 0);
  EXPECT_EQ(CMadDecoder::ToPcm16(-4097), -1);
  EXPECT_EQ(CMadDecoder::ToPcm16(INT32_MAX), 32767);
  EXPECT_EQ(CMadDecoder::ToPcm16(INT32_MIN), -32768);
}

TEST(Mp3Decode, StereoSineRoundTripsWithExactHeaderAndEveryFrame) {
  kt::TempDir dir;
  kt::LameSpec layout;
  const auto pcm = kt::SinePcm(44100 * 3 / 2, 2, 44100, 440.0, 0.5);
  const auto mp3 = kt::EncodeMp3(pcm, layout);
  kt::RecordingProgress progress;
  const Decoded d = Decode(dir, mp3, &progress);
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.error, 0u);
  EXPECT_EQ(d.wav.channels, 2);
  EXPECT_EQ(d.wav.sampleRate, 44100u);
  EXPECT_EQ(kt::GetLe32(d.bytes, 28), 176400u);
  EXPECT_EQ(kt::GetLe16(d.bytes, 32), 4u);
  EXPECT_EQ(kt::GetLe16(d.bytes, 34), 16u);
  EXPECT_EQ(kt::GetLe16(d.bytes, 20), 1u);
  EXPECT_EQ(d.wav.dataSize, d.bytes.size() - 44);
  EXPECT_EQ(d.wav.riffSize, d.bytes.size() - 8);
  // The guard bytes after the last read let the last frame decode too.
  EXPECT_EQ(d.wav.samples.size(), AudioFrames(mp3, 0, mp3.size()) * 1152 * 2);
  ExpectFollows(d.wav, pcm, 2);
  EXPECT_EQ(progress.State().title, "Converting to WAV...");
  EXPECT_EQ(progress.State().action.Text(), "Converting IN.MP3 to OUT.WAV");
  EXPECT_EQ(progress.State().fileRange, mp3.size() / 8192);
  EXPECT_EQ(progress.fileSteps, mp3.size() / 8192);
}

TEST(Mp3Decode, MonoMpeg2AndMpeg25StreamsKeepTheirFormat) {
  kt::TempDir dir;
  for (int rate : {44100, 22050, 11025}) {
    kt::LameSpec layout;
    layout.channels = 1;
    layout.sampleRate = rate;
    layout.bitrate = rate == 44100 ? 96 : rate == 22050 ? 48 : 32;
    const auto pcm = kt::SinePcm(static_cast<std::uint32_t>(rate), 1, rate, 440.0, 0.5);
    const auto mp3 = kt::EncodeMp3(pcm, layout);
    const Decoded d = Decode(dir, mp3);
    EXPECT_EQ(d.wav.channels, 1) << rate;
    EXPECT_EQ(d.wav.sampleRate, static_cast<std::uint32_t>(rate));
    EXPECT_EQ(kt::GetLe16(d.bytes, 32), 2u);
    EXPECT_EQ(kt::GetLe32(d.bytes, 28), static_cast<std::uint32_t>(rate) * 2);
    const std::size_t perFrame = rate == 44100 ? 1152 : 576;
    EXPECT_EQ(d.wav.samples.size(), AudioFrames(mp3, 0, mp3.size()) * perFrame);
    ExpectFollows(d.wav, pcm, 1);
  }
}

TEST(Mp3Decode, VbrHeaderFrameIsNotDecodedAsSilence) {
  kt::TempDir dir;
  kt::LameSpec layout;
  layout.vbr = true;
  layout.headerFrame = true;
  const auto mp3 = kt::EncodedSine(2.0, layout);
  const auto frames = kt::WalkFrames(mp3, 0, mp3.size());
  ASSERT_GT(frames.size(), 2u);
  const Decoded d = Decode(dir, mp3);
  // The header frame's delay and padding trim the decode to what was encoded.
  EXPECT_EQ(d.wav.samples.size(), 88200u * 2);
}

TEST(Mp3Decode, TagAndId3v2AreNeverHandedToTheDecoder) {
  kt::TempDir dir;
  kt::LameSpec layout;
  const auto mp3 = kt::EncodedSine(1.0, layout);
  const Decoded plain = Decode(dir, mp3);

  // A tag whose bytes form three silent Layer I frames would decode as
  // extra audio if the decoder were given it.
  auto tag = kt::Id3v1Tag({});
  kt::FrameSpec layer1;
  layer1.layer = 3;
  layer1.bitrateIndex = 1;  // 32-byte frames
  for (std::size_t at = 3; at + 32 <= 99; at += 32) {
    const auto header = kt::HeaderBytes(layer1);
    std::copy(header.begin(), header.end(), tag.begin() + static_cast<long>(at));
    std::fill(tag.begin() + static_cast<long>(at) + 4, tag.begin() + static_cast<long>(at) + 32, 0);
  }
  auto tagged = kt::Id3v2Tag(5000);
  tagged.insert(tagged.end(), mp3.begin(), mp3.end());
  tagged.insert(tagged.end(), tag.begin(), tag.end());
  const Decoded d = Decode(dir, tagged);
  EXPECT_EQ(d.wav.samples, plain.wav.samples);
}

TEST(Mp3Decode, CancelKeepsThePartialWavWithATrueHeader) {
  kt::TempDir dir;
  kt::LameSpec layout;
  const auto mp3 = kt::EncodedSine(5.0, layout);
  kt::RecordingProgress progress;
  progress.cancelAfterFileSteps = 2;
  const Decoded d = Decode(dir, mp3, &progress);
  EXPECT_EQ(d.result, 0u) << "a cancel is no failure";
  EXPECT_EQ(d.error, 0u);
  EXPECT_GT(d.bytes.size(), 44u);
  EXPECT_LT(d.wav.samples.size(), AudioFrames(mp3, 0, mp3.size()) * 1152 * 2 / 2);
  EXPECT_EQ(d.wav.dataSize, d.bytes.size() - 44);
  EXPECT_EQ(d.wav.channels, 2);
  EXPECT_EQ(d.wav.sampleRate, 44100u);
}

TEST(Mp3Decode, RefusedOutputsWriteNothingAndShowNoProgress) {
  kt::TempDir dir;
  kt::LameSpec layout;
  kt::WriteAll(dir.File("in.mp3"), kt::EncodedSine(0.5, layout));
  CMp3File f(dir.File("in.mp3"));
  ASSERT_EQ(f.GetError(), 0u);

  kt::RecordingProgress progress;
  EXPECT_EQ(f.ConvertToWav(dir.File("missing/out.wav"), &progress), 103u);
  EXPECT_EQ(f.GetError(), 103u);
  EXPECT_TRUE(progress.calls.empty());

  const auto before = kt::ReadAll(dir.File("in.mp3"));
  EXPECT_EQ(f.ConvertToWav(dir.File("./in.mp3"), &progress), 119u);
  EXPECT_EQ(f.GetError(), 119u);
  EXPECT_EQ(kt::ReadAll(dir.File("in.mp3")), before);
  EXPECT_TRUE(progress.calls.empty());

  // A successful run afterwards clears the code.
  EXPECT_EQ(f.ConvertToWav(dir.File("ok.wav"), &progress), 0);
  EXPECT_EQ(f.GetError(), 0u);
}

TEST(Mp3Decode, WriteFailureEndsTheRunWithTheFileError) {
  kt::TempDir dir;
  kt::LameSpec layout;
  kt::WriteAll(dir.File("in.mp3"), kt::EncodedSine(3.0, layout));
  kt::DiskFullAfter disk(100000);
  CMp3File f(dir.File("in.mp3"), &disk);
  kt::RecordingProgress progress;
  EXPECT_THROW(f.ConvertToWav(dir.File("full.wav"), &progress), CFileException);
}

}  // namespace
