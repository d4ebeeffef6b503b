// The peak model and its readers on signals with known answers: WAV
// samples of every readable form, the MP3 side-information envelope, and
// the exact MP3 peaks decoded range by range.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "core/File.h"
#include "core/mp3/Mp3File.h"
#include "core/open/Formats.h"
#include "core/peaks/PeakJob.h"
#include "core/peaks/PeakPicture.h"
#include "core/wav/WaveFile.h"
#include "core/wav/WavePeaks.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"
#include "support/WaveExpect.h"

namespace {

using peaks::CPeakJob;
using peaks::CPeakModel;

struct Drawn {
  std::unique_ptr<CAudioFile> file;
  std::unique_ptr<CPeakJob> job;
  std::string whyNot;
};

Drawn Draw(const std::string& path, unsigned threads = 2, bool exact = true) {
  Drawn d;
  kt::ScriptedOwner owner;
  d.file = OpenAudioFile(path, nullptr);
  d.job = CPeakJob::For(*d.file, d.whyNot);
  std::atomic<bool> cancel{false};
  if (d.job) d.job->Run(cancel, threads, exact);
  return d;
}

std::vector<std::uint8_t> Le16(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> bytes;
  for (std::int16_t s : samples) kt::PutLe16(bytes, static_cast<std::uint16_t>(s));
  return bytes;
}

TEST(PeakModel, KeepsUnderItsMemoryCapByWideningBlocks) {
  const struct {
    std::uint64_t samples;
    std::uint16_t channels;
    std::uint32_t block;
  } cases[] = {
      {1000, 2, 256}, {44100ull * 3600, 2, 256}, {44100ull * 3600 * 4, 2, 1024}, {1ull << 36, 8, 1u << 19}};
  for (const auto& c : cases) {
    CPeakModel model({44100, c.channels, c.samples});
    EXPECT_EQ(model.SamplesPerBlock(), c.block) << c.samples;
    EXPECT_LE(model.Blocks() * c.channels * sizeof(peaks::Point), CPeakModel::kMaxBytes);
  }
}

TEST(WavePeaks, SineSilenceAndDifferentChannels) {
  kt::TempDir dir;
  // Left: a sine of amplitude 0.5; right: silence.
  std::vector<std::int16_t> pcm;
  for (int i = 0; i < 44100; ++i) {
    pcm.push_back(static_cast<std::int16_t>(std::lround(16384 * std::sin(2 * M_PI * 441.0 * i / 44100))));
    pcm.push_back(0);
  }
  kt::WavSpec format;
  const Drawn d = Draw(kt::MakeWav(dir, "a.wav", format, Le16(pcm)));
  ASSERT_TRUE(d.job) << d.whyNot;
  const auto model = d.job->Model();
  EXPECT_EQ(model->Shape().lengthSamples, 44100u);
  const auto columns = model->Columns(0, 44100, 10);
  for (const auto& column : columns[0]) {
    EXPECT_EQ(column.max, 16384);
    EXPECT_EQ(column.min, -16384);
    EXPECT_NEAR(column.rms, 16384 / std::sqrt(2.0), 60);
  }
  for (const auto& column : columns[1]) EXPECT_TRUE(column.max == 0 && column.min == 0 && column.rms == 0);
}

// A single click at a known sample lands in the column that holds it, in
// every readable sample form.
TEST(WavePeaks, ClickLandsInItsColumnInEveryForm) {
  kt::TempDir dir;
  const std::uint32_t frames = 100000, click = 61234;
  struct Form {
    const char* name;
    std::uint16_t bits, container, formatTag;
    bool extensible;
    int expected;
  } forms[] = {{"8bit", 8, 1, 1, false, 32512},
               {"16bit", 16, 2, 1, false, 30000},
               {"24bit", 24, 3, 1, false, 30000},
               {"ext24in32", 24, 4, 0xFFFE, true, 30000},
               {"ext16", 16, 2, 0xFFFE, true, 30000}};
  for (const Form& f : forms) {
    kt::WavSpec format;
    format.channels = 1;
    format.bitsPerSample = static_cast<std::uint16_t>(f.container * 8);
    format.formatTag = f.formatTag;
    if (f.extensible) {
      format.fmtSize = 40;
      format.fmtExtra = kt::ExtensibleExtra(f.bits, 4);
    }
    std::vector<std::uint8_t> data;
    for (std::uint32_t i = 0; i < frames; ++i) {
      const int v = i == click ? 30000 : 0;
      if (f.container == 1) {
        data.push_back(i == click ? 255 : 128);
        continue;
      }
      for (int b = 0; b < f.container - 2; ++b) data.push_back(0);
      kt::PutLe16(data, static_cast<std::uint16_t>(v));
    }
    const Drawn d = Draw(kt::MakeWav(dir, std::string(f.name) + ".wav", format, data));
    ASSERT_TRUE(d.job) << f.name << ": " << d.whyNot;
    // 1000 columns of 100 samples: the click is in column 612.
    const auto columns = d.job->Model()->Columns(0, frames, 1000);
    for (int x = 0; x < 1000; ++x) {
      const int block = static_cast<int>(click / 256 * 256);
      const bool holds = x * 100 <= block + 255 && (x + 1) * 100 > block;  // columns share the click's block
      EXPECT_EQ(columns[0][static_cast<std::size_t>(x)].max, holds ? f.expected : 0)
          << f.name << " column " << x;
    }
    // Read sample by sample (the deepest zoom), the click is alone.
    std::atomic<bool> cancel{false};
    const CPeakJob::Detail detail = d.job->ReadDetail(click - 10, click + 10, 1, cancel);
    ASSERT_EQ(detail.points.size(), 20u) << f.name;
    for (std::size_t i = 0; i < detail.points.size(); ++i)
      EXPECT_EQ(detail.points[i].max, detail.firstSample + i == click ? f.expected : 0) << f.name << " " << i;
  }
}

TEST(WavePeaks, FormsWithoutASampleReaderSaySo) {
  kt::TempDir dir;
  kt::WavSpec floatSpec;
  floatSpec.formatTag = 3;
  floatSpec.bitsPerSample = 32;
  const kt::WavSpec cases[] = {kt::ImaAdpcmSpec(505), floatSpec};
  int n = 0;
  for (const kt::WavSpec& format : cases) {
    const Drawn d =
        Draw(kt::MakeWav(dir, std::to_string(n++) + ".wav", format, std::vector<std::uint8_t>(1024, 0)));
    EXPECT_FALSE(d.job);
    EXPECT_NE(d.whyNot.find("cannot be drawn"), std::string::npos) << d.whyNot;
  }
}

// The 16-bit reader takes eight samples at a time for 1, 2, 4 and 8
// channels: every point must still be the sample-by-sample one, for every
// channel count, for points that end inside a vector, and at full scale
// (the largest squares) over long points.
TEST(WavePeaks, PointsOfEveryChannelCountAreTheSampleBySampleOnes) {
  kt::TempDir dir;
  const std::uint32_t frames = 5003;
  for (const std::uint16_t channels : {1, 2, 3, 4, 5, 8}) {
    std::vector<std::int16_t> pcm(frames * channels);
    std::uint32_t state = 7u + channels;
    for (std::size_t i = 0; i < pcm.size(); ++i) {
      state = state * 1664525u + 1013904223u;
      const std::size_t frame = i / channels;
      // Full scale in the first 1000 frames, then noise whose level differs by channel.
      pcm[i] = frame < 1000
                   ? static_cast<std::int16_t>(state & 1u ? 32767 : -32768)
                   : static_cast<std::int16_t>(static_cast<std::int32_t>(state >> 16) / (1 + i % channels) -
                                               16384 / (1 + i % channels));
    }
    kt::WavSpec format;
    format.channels = channels;
    CWaveFile wav(kt::MakeWav(dir, std::to_string(channels) + ".wav", format, Le16(pcm)));
    std::string whyNot;
    const auto source = peaks::WaveSourceOf(wav, whyNot);
    ASSERT_TRUE(source.has_value()) << whyNot;
    CFile file;
    file.OpenOrThrow(source->path, CFile::Mode::ReadShared);
    const std::atomic<bool> cancel{false};
    for (const std::uint32_t perPoint : {1u, 3u, 7u, 256u, 1000u, 4096u}) {
      SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(perPoint) + " samples a point");
      const std::vector<peaks::Point> got = peaks::ReadWavePoints(file, *source, 0, frames, perPoint, cancel);
      ASSERT_EQ(got.size(), (frames + perPoint - 1) / perPoint * channels);
      for (std::size_t k = 0; k < got.size(); ++k) {
        const std::size_t point = k / channels, channel = k % channels;
        int low = 32767, high = -32768;
        double squares = 0;
        std::uint32_t count = 0;
        for (std::size_t f = point * perPoint; f < std::min<std::size_t>(frames, (point + 1) * perPoint);
             ++f) {
          const int sample = pcm[f * channels + channel];
          low = std::min(low, sample);
          high = std::max(high, sample);
          squares += double(sample) * sample;
          ++count;
        }
        const auto rms = static_cast<std::int16_t>(std::min(std::sqrt(squares / count) + 0.5, 32767.0));
        ASSERT_EQ(got[k].min, low) << k;
        ASSERT_EQ(got[k].max, high) << k;
        ASSERT_EQ(got[k].rms, rms) << k;
      }
    }
  }
}

TEST(WavePeaks, CancelStopsTheWork) {
  kt::TempDir dir;
  const std::string path = kt::PatternWav(dir, "p.wav", 20);
  auto file = OpenAudioFile(path, nullptr);
  std::string whyNot;
  auto job = CPeakJob::For(*file, whyNot);
  std::atomic<bool> cancel{true};
  EXPECT_FALSE(job->Run(cancel, 2));
  EXPECT_EQ(job->GetStage(), CPeakJob::Stage::Cancelled);
}

// Ranges decoded on their own, each with its lead-in, give exactly what one
// decode of the whole stream gives.
TEST(Mp3Peaks, RangesDecodeAsTheWholeStream) {
  kt::TempDir dir;
  const struct {
    const char* name;
    kt::LameSpec format;
  } cases[] = {{"cbr32", {2, 44100, 32, false, 4, false}},
               {"vbr", {2, 44100, 128, true, 2, true}},
               {"mono22", {1, 22050, 24, false, 4, false}}};
  for (const auto& c : cases) {
    std::vector<std::int16_t> pcm;
    // Loud noise-like chirps make LAME lean on the bit reservoir.
    for (int i = 0; i < c.format.sampleRate * 20; ++i)
      for (int ch = 0; ch < c.format.channels; ++ch)
        pcm.push_back(static_cast<std::int16_t>(12000 * std::sin(0.00001 * i * i + ch) *
                                                std::sin(0.37 * i * (ch + 1))));
    const std::string path = dir.File(std::string(c.name) + ".mp3");
    kt::WriteAll(path, kt::EncodeMp3(pcm, c.format));
    const Drawn d = Draw(path, 2);
    ASSERT_TRUE(d.job) << d.whyNot;
    ASSERT_EQ(d.job->GetStage(), CPeakJob::Stage::Done);
    const auto model = d.job->Model();
    ASSERT_GT(model->Blocks(), 3 * 256u);  // several ranges
    std::atomic<bool> cancel{false};
    const CPeakJob::Detail whole =
        d.job->ReadDetail(0, model->Shape().lengthSamples, model->SamplesPerBlock(), cancel);
    ASSERT_EQ(whole.firstSample, 0u);
    for (unsigned ch = 0; ch < model->Shape().channels; ++ch) {
      const auto points = model->ChannelPoints(ch);
      ASSERT_EQ(points.size() * model->Shape().channels, whole.points.size());
      int mismatches = 0;
      for (std::size_t b = 0; b < points.size(); ++b) {
        const peaks::Point& w = whole.points[b * model->Shape().channels + ch];
        const bool differs = points[b].min != w.min || points[b].max != w.max || points[b].rms != w.rms;
        mismatches += differs;
      }
      EXPECT_EQ(mismatches, 0) << c.name << " channel " << ch;
    }
    // The decoded peaks are those of an independent decoder.
    const kt::DecodedMp3 reference = kt::DecodeMp3(path);
    int highest = 0;
    for (unsigned ch = 0; ch < model->Shape().channels; ++ch)
      for (const auto& p : model->ChannelPoints(ch)) highest = std::max({highest, int{p.max}, -int{p.min}});
    EXPECT_NEAR(highest / 32768.0, reference.peak, 0.002) << c.name;
  }
}

// The envelope, read from the side information alone, agrees with the
// decoded peaks on where the audio is loud and where it is silent.
TEST(Mp3Peaks, EnvelopeAgreesWithExactPeaksOnLoudAndSilent) {
  kt::TempDir dir;
  for (const kt::LameSpec& format :
       {kt::LameSpec{2, 44100, 128, false, 4, true}, kt::LameSpec{2, 44100, 128, true, 4, true},
        kt::LameSpec{1, 22050, 48, false, 4, false}}) {
    // 2 s loud, 2 s silent, 2 s quiet, 2 s silent, 2 s at full scale.
    std::vector<std::int16_t> pcm;
    const double levels[] = {0.5, 0.0, 0.05, 0.0, 0.95};
    for (double level : levels)
      for (int i = 0; i < format.sampleRate * 2; ++i)
        for (int ch = 0; ch < format.channels; ++ch)
          pcm.push_back(static_cast<std::int16_t>(
              std::lround(32767 * level * std::sin(2 * M_PI * 440.0 * i / format.sampleRate))));
    const std::string path = dir.File("levels.mp3");
    kt::WriteAll(path, kt::EncodeMp3(pcm, format));
    const Drawn envelope = Draw(path, 2, false);
    const Drawn exact = Draw(path, 2, true);
    ASSERT_TRUE(envelope.job && exact.job);
    const std::uint64_t length = exact.job->Model()->Shape().lengthSamples;
    const auto e = envelope.job->Model()->Columns(0, length, 50);
    const auto x = exact.job->Model()->Columns(0, length, 50);
    double loudEnvelope = 0, quietEnvelope = 0;
    for (std::size_t col = 0; col < 50; ++col) {
      // Skip the columns around each change of level.
      if (col % 10 == 0 || col % 10 == 9) continue;
      const double level = levels[col / 10];
      const int envelopeLevel = e[0][col].max, exactLevel = x[0][col].max;
      SCOPED_TRACE(testing::Message() << "column " << col << " level " << level << " envelope "
                                      << envelopeLevel << " exact " << exactLevel);
      if (level == 0.0) {
        EXPECT_LT(envelopeLevel, 100);
        EXPECT_LT(exactLevel, 100);
        continue;
      }
      EXPECT_NEAR(exactLevel / 32767.0, level, level * 0.1 + 0.01);
      // Sound shows as sound, at no less than a third of its level.
      EXPECT_GT(envelopeLevel, exactLevel / 3);
      double& highest = level > 0.4 ? loudEnvelope : quietEnvelope;
      highest = std::max(highest, double(envelopeLevel));
      if (level > 0.4) {
        EXPECT_GT(envelopeLevel, 32767 / 4);
      }
    }
    // Loud passages stand above quiet ones.
    EXPECT_GT(loudEnvelope, quietEnvelope);
  }
}

}  // namespace
