#include "core/peaks/WavePeaks.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <thread>

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
      for (unsigned c = 0; c < channels; ++c) {
        const std::uint8_t* p = buffer.get() + f * align + c * source.bytesPerSample;
        Accumulator& a = acc[c];
        for (std::uint64_t i = 0; i < n; ++i, p += align) a.Add(SampleAt(p, source.bytesPerSample));
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

}  // namespace peaks
