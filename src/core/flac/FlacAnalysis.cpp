// Silence detection and the waveform of a FLAC file: its frames decoded on
// both cores, each worker taking whole stretches of the stream, the levels
// and peaks made from the decoded samples as a WAV file's are from its own.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>

#include "core/File.h"
#include "core/LevelScanError.h"
#include "core/PeakSource.h"
#include "core/StringTable.h"
#include "core/Workers.h"
#include "core/flac/FlacDecoder.h"
#include "core/flac/FlacFile.h"

namespace {

// A sample's magnitude on a 2^31 scale, as every format's levels compare it.
constexpr double kScale = 2147483648.0;
inline std::uint32_t Magnitude(std::int32_t sample, unsigned shift) {
  const std::int64_t v = std::int64_t{sample} << shift;
  return static_cast<std::uint32_t>(v < 0 ? -v : v);
}
// A sample as the waveform's signed 16 bits.
inline int Sample16(std::int32_t sample, unsigned bits) {
  return bits > 16 ? sample >> (bits - 16) : sample * (1 << (16 - bits));
}

// Stretches a worker decodes at once: whole windows or blocks of about this
// many samples.
constexpr std::uint64_t kSlice = 1 << 18;

class CFlacPeakSource : public peaks::CPeakSource {
 public:
  explicit CFlacPeakSource(const flac::Metadata& meta) : meta_(meta) {}
  unsigned Channels() const override { return meta_.info.channels; }

  bool Run(const CFile& file, const std::atomic<bool>& cancel, unsigned threads, bool,
           const Hooks& hooks) override {
    if (hooks.entering) hooks.entering(Pass::Exact);
    auto index = std::make_shared<flac::FrameIndex>(flac::ScanFrames(file, meta_));
    {
      std::lock_guard<std::mutex> lock(lock_);
      index_ = index;
    }
    auto model = std::make_shared<peaks::CPeakModel>(
        peaks::StreamShape{meta_.info.sampleRate, meta_.info.channels, index->samples});
    if (hooks.publish) hooks.publish(model);
    const std::uint32_t spb = model->SamplesPerBlock();
    const std::uint64_t blocks = model->Blocks();
    const std::uint64_t sliceBlocks = std::max<std::uint64_t>(1, kSlice / spb);
    std::atomic<std::uint64_t> next{0};
    RunOnThreads(threads, [&] {
      for (std::uint64_t b; (b = next.fetch_add(sliceBlocks)) < blocks && !cancel.load();) {
        const std::uint64_t count = std::min(sliceBlocks, blocks - b);
        const std::vector<peaks::Point> points = Points(file, *index, b * spb, (b + count) * spb, spb);
        model->Store(b, points, points.size() / meta_.info.channels);
      }
    });
    return !cancel.load();
  }

  peaks::PeakDetail ReadDetail(const CFile& file, std::uint64_t first, std::uint64_t last,
                               std::uint32_t samplesPerPoint, const std::atomic<bool>&) const override {
    peaks::PeakDetail detail;
    detail.samplesPerPoint = std::max<std::uint32_t>(samplesPerPoint, 1);
    detail.firstSample = first - first % detail.samplesPerPoint;
    std::shared_ptr<const flac::FrameIndex> index;
    {
      std::lock_guard<std::mutex> lock(lock_);
      index = index_;
    }
    if (index) detail.points = Points(file, *index, detail.firstSample, last, detail.samplesPerPoint);
    return detail;
  }

 private:
  // Points of spp samples for [first, last), channel interleaved.
  std::vector<peaks::Point> Points(const CFile& file, const flac::FrameIndex& index, std::uint64_t first,
                                   std::uint64_t last, std::uint32_t spp) const {
    const unsigned channels = meta_.info.channels, bits = meta_.info.bitsPerSample;
    std::vector<peaks::Point> points;
    std::vector<peaks::Accumulator> acc(channels);
    std::uint64_t inPoint = 0;
    flac::DecodeInterleaved(file, meta_, index, first, last,
                            [&](const std::int32_t* s, std::uint32_t frames) {
                              for (std::uint32_t f = 0; f < frames; ++f) {
                                for (unsigned c = 0; c < channels; ++c)
                                  acc[c].Add(Sample16(s[std::size_t{f} * channels + c], bits));
                                if (++inPoint == spp) {
                                  for (peaks::Accumulator& a : acc) {
                                    points.push_back(a.Value());
                                    a.Reset();
                                  }
                                  inPoint = 0;
                                }
                              }
                            });
    if (inPoint > 0)
      for (peaks::Accumulator& a : acc) points.push_back(a.Value());
    return points;
  }

  flac::Metadata meta_;
  mutable std::mutex lock_;
  std::shared_ptr<const flac::FrameIndex> index_;
};

}  // namespace

split::WindowLevels CFlacFile::ScanLevels(const split::LevelScanOptions& options, split::LevelScanStats*) {
  if (error != err::kNone) throw split::ScanError(GetFilePath(), GetFilePath() + ": " + LoadMessage(error));
  const flac::FrameIndex& index = Frames();
  const std::uint32_t rate = meta_.info.sampleRate;
  if (index.samples / rate > split::kMaxScanSeconds)
    throw split::ScanError(
        GetFilePath(),
        GetFilePath() + ": the recording is longer than 24 hours; silence detection stops there");
  split::WindowLevels levels;
  levels.Reset(rate, index.samples);
  const auto limit =
      static_cast<std::uint32_t>(std::clamp(std::ceil(options.threshold * kScale), 1.0, kScale));
  const unsigned channels = meta_.info.channels, shift = 32u - meta_.info.bitsPerSample;
  // Slices of whole windows, so no two workers touch one window.
  const std::uint64_t sliceWindows = std::max<std::uint64_t>(1, kSlice / levels.windowSamples);
  const std::uint64_t windows = levels.windows.size();
  std::atomic<std::uint64_t> next{0};
  RunOnThreads(2, [&] {
    for (std::uint64_t w; (w = next.fetch_add(sliceWindows)) < windows;) {
      std::uint64_t pos = w * levels.windowSamples;
      const std::uint64_t end = std::min(windows, w + sliceWindows) * levels.windowSamples;
      DecodeSamples(pos, end, [&](const std::int32_t* s, std::uint32_t frames) {
        for (std::uint32_t f = 0; f < frames; ++f, ++pos) {
          std::uint32_t peak = 0;
          for (unsigned c = 0; c < channels; ++c)
            peak = std::max(peak, Magnitude(s[std::size_t{f} * channels + c], shift));
          levels.Add(pos, static_cast<float>(peak / kScale), peak >= limit);
        }
      });
    }
  });
  return levels;
}

std::unique_ptr<peaks::CPeakSource> CFlacFile::MakePeakSource(std::string& whyNot) {
  if (error != err::kNone) {
    whyNot = LoadMessage(error);
    return nullptr;
  }
  return std::make_unique<CFlacPeakSource>(meta_);
}
