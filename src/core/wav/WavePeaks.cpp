#include "core/wav/WavePeaks.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/File.h"
#include "core/Workers.h"
#include "core/wav/WaveFile.h"

namespace peaks {
namespace {

constexpr std::size_t kReadBytes = 1 << 20;

// The sample at p as a signed 16-bit value: 8-bit PCM is unsigned, wider
// PCM is signed little-endian and keeps its top two bytes.
inline int SampleAt(const std::uint8_t* p, unsigned bytes) {
  if (bytes == 1) return (p[0] - 128) * 256;
  return static_cast<std::int16_t>(p[bytes - 2] | (p[bytes - 1] << 8));
}

// Adds the n sample frames at p of a plain 16-bit stream (samples packed,
// channels interleaved) to acc, one accumulator a channel, sample by sample.
void AddPacked16(const std::uint8_t* p, std::uint64_t n, std::vector<Accumulator>& acc) {
  const std::size_t channels = acc.size();
  for (std::uint64_t i = 0; i < n; ++i)
    for (std::size_t c = 0; c < channels; ++c, p += 2)
      acc[c].Add(static_cast<std::int16_t>(p[0] | (p[1] << 8)));
}

#if defined(__SSE2__)
// The same for streams of 1, 2, 4 or 8 channels, eight samples at a time:
// lane k of a vector always holds channel k mod channels, so every lane
// keeps its own lowest, highest and sum of squares (exact: each square is
// at most 2^30 and is summed in 64 bits), and the lanes of a channel are
// joined at the end. The result is the sample-by-sample one.
void AddPacked16Lanes(const std::uint8_t* p, std::uint64_t n, std::vector<Accumulator>& acc) {
  const std::size_t channels = acc.size();
  const std::uint64_t samples = n * channels, vectors = samples / 8;
  const __m128i zero = _mm_setzero_si128();
  __m128i low = _mm_set1_epi16(32767), high = _mm_set1_epi16(-32768);
  __m128i sums[4] = {zero, zero, zero, zero};  // lanes 0-1, 2-3, 4-5, 6-7
  for (std::uint64_t v = 0; v < vectors; ++v) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * v));
    low = _mm_min_epi16(low, x);
    high = _mm_max_epi16(high, x);
    const __m128i lo = _mm_mullo_epi16(x, x), hi = _mm_mulhi_epi16(x, x);
    const __m128i squares03 = _mm_unpacklo_epi16(lo, hi), squares47 = _mm_unpackhi_epi16(lo, hi);
    sums[0] = _mm_add_epi64(sums[0], _mm_unpacklo_epi32(squares03, zero));
    sums[1] = _mm_add_epi64(sums[1], _mm_unpackhi_epi32(squares03, zero));
    sums[2] = _mm_add_epi64(sums[2], _mm_unpacklo_epi32(squares47, zero));
    sums[3] = _mm_add_epi64(sums[3], _mm_unpackhi_epi32(squares47, zero));
  }
  alignas(16) std::int16_t lows[8], highs[8];
  alignas(16) std::uint64_t squares[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(lows), low);
  _mm_store_si128(reinterpret_cast<__m128i*>(highs), high);
  for (int k = 0; k < 4; ++k) _mm_store_si128(reinterpret_cast<__m128i*>(squares + 2 * k), sums[k]);
  if (vectors > 0)
    for (std::size_t k = 0; k < 8; ++k) acc[k % channels].AddTotals(lows[k], highs[k], squares[k], vectors);
  // The samples after the last whole vector start on a channel boundary.
  AddPacked16(p + 16 * vectors, (samples - vectors * 8) / channels, acc);
}
#endif

// Adds the n frames at p to acc, one accumulator a channel.
void AddFrames(const std::uint8_t* p, std::uint64_t n, const WaveSource& source,
               std::vector<Accumulator>& acc) {
  const unsigned channels = source.channels;
  if (source.bytesPerSample == 2 && source.blockAlign == 2 * channels) {
#if defined(__SSE2__)
    if (8 % channels == 0) return AddPacked16Lanes(p, n, acc);
#endif
    return AddPacked16(p, n, acc);
  }
  const std::size_t align = source.blockAlign;
  for (unsigned c = 0; c < channels; ++c) {
    const std::uint8_t* q = p + c * source.bytesPerSample;
    for (std::uint64_t i = 0; i < n; ++i, q += align) acc[c].Add(SampleAt(q, source.bytesPerSample));
  }
}

}  // namespace

StreamShape WaveSource::Shape() const {
  return {sampleRate, channels, blockAlign ? dataSize / blockAlign : 0};
}

std::optional<WaveSource> WaveSourceOf(const CWaveFile& file, std::string& whyNot) {
  const unsigned channels = file.GetChannels();
  const unsigned bits = file.GetBitsPerSample();
  if (!file.IsPcm() || bits == 0 || bits > 32 || channels == 0) {
    whyNot = "The waveform of this kind of WAV file cannot be drawn (only PCM samples are read).";
    return std::nullopt;
  }
  const unsigned bytes = (bits + 7) / 8;
  if (file.GetBlockAlign() < channels * bytes || (bytes == 1 && bits != 8)) {
    whyNot = "The waveform of this WAV file cannot be drawn: its sample layout is not understood.";
    return std::nullopt;
  }
  WaveSource source;
  source.path = file.GetFilePath();
  source.dataOffset = file.GetDataOffset();
  source.blockAlign = file.GetBlockAlign();
  source.dataSize = file.GetDataSize() - file.GetDataSize() % source.blockAlign;
  source.sampleRate = file.GetSampleRate();
  source.channels = static_cast<std::uint16_t>(channels);
  source.bytesPerSample = static_cast<std::uint16_t>(bytes);
  return source;
}

std::vector<Point> ReadWavePoints(const CFile& file, const WaveSource& source, std::uint64_t first,
                                  std::uint64_t last, std::uint32_t samplesPerPoint,
                                  const std::atomic<bool>& cancel) {
  std::vector<Point> points;
  const std::uint64_t total = source.Shape().lengthSamples;
  last = std::min(last, total);
  if (first >= last || samplesPerPoint == 0) return points;
  const unsigned channels = source.channels;
  const std::size_t align = source.blockAlign;
  // Whole points per read, so a point never straddles two reads.
  const std::uint64_t pointsPerRead = std::max<std::uint64_t>(1, kReadBytes / align / samplesPerPoint);
  auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(pointsPerRead * samplesPerPoint * align);
  std::vector<Accumulator> acc(channels);
  points.reserve(static_cast<std::size_t>((last - first + samplesPerPoint - 1) / samplesPerPoint * channels));
  for (std::uint64_t at = first; at < last && !cancel.load(std::memory_order_relaxed);) {
    const std::uint64_t frames = std::min(last - at, pointsPerRead * samplesPerPoint);
    const std::size_t want = static_cast<std::size_t>(frames * align);
    const std::size_t got = file.ReadAt(buffer.get(), want, source.dataOffset + at * align);
    const std::uint64_t read = got / align;
    for (std::uint64_t f = 0; f < read; f += samplesPerPoint) {
      const std::uint64_t n = std::min<std::uint64_t>(samplesPerPoint, read - f);
      AddFrames(buffer.get() + f * align, n, source, acc);
      for (Accumulator& a : acc) {
        points.push_back(a.Value());
        a.Reset();
      }
    }
    if (read < frames) break;  // the file is shorter than its header says
    at += frames;
  }
  return points;
}

bool ComputeWavePeaks(const WaveSource& source, CPeakModel& model, const std::atomic<bool>& cancel,
                      unsigned threads) {
  CFile file;
  file.OpenOrThrow(source.path, CFile::Mode::ReadShared);
  const std::uint32_t spb = model.SamplesPerBlock();
  const std::uint64_t blocks = model.Blocks();
  // Work in slices of whole blocks, about 1 MiB each, taken in order.
  const std::uint64_t sliceBlocks =
      std::max<std::uint64_t>(1, (1u << 20) / (std::uint64_t{spb} * source.blockAlign));
  std::atomic<std::uint64_t> next{0};
  RunOnThreads(threads, [&] {
    for (std::uint64_t b; (b = next.fetch_add(sliceBlocks)) < blocks && !cancel.load();) {
      const std::uint64_t count = std::min(sliceBlocks, blocks - b);
      const std::vector<Point> points = ReadWavePoints(file, source, b * spb, (b + count) * spb, spb, cancel);
      model.Store(b, points, points.size() / std::max<unsigned>(source.channels, 1));
    }
  });
  return !cancel.load();
}

namespace {

class CWavePeakSource : public CPeakSource {
 public:
  explicit CWavePeakSource(WaveSource source)
      : source_(std::move(source)), model_(std::make_shared<CPeakModel>(source_.Shape())) {}
  unsigned Channels() const override { return source_.channels; }
  std::shared_ptr<CPeakModel> InitialModel() const override { return model_; }

  bool Run(const CFile&, const std::atomic<bool>& cancel, unsigned threads, bool,
           const Hooks& hooks) override {
    if (hooks.entering) hooks.entering(Pass::Exact);
    if (hooks.publish) hooks.publish(model_);
    return ComputeWavePeaks(source_, *model_, cancel, threads);
  }

  PeakDetail ReadDetail(const CFile& file, std::uint64_t first, std::uint64_t last,
                        std::uint32_t samplesPerPoint, const std::atomic<bool>& cancel) const override {
    PeakDetail detail;
    detail.samplesPerPoint = samplesPerPoint;
    detail.firstSample = first - first % samplesPerPoint;
    detail.points = ReadWavePoints(file, source_, detail.firstSample, last, samplesPerPoint, cancel);
    return detail;
  }

 private:
  WaveSource source_;
  std::shared_ptr<CPeakModel> model_;
};

}  // namespace

std::unique_ptr<CPeakSource> MakeWavePeakSource(const CWaveFile& file, std::string& whyNot) {
  std::optional<WaveSource> source = WaveSourceOf(file, whyNot);
  if (!source) return nullptr;
  return std::make_unique<CWavePeakSource>(std::move(*source));
}

}  // namespace peaks
