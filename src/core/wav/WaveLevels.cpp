#include "core/wav/WaveLevels.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/File.h"
#include "core/LevelScanError.h"
#include "core/Workers.h"
#include "core/wav/WaveFile.h"

namespace split {

namespace {

// Sample magnitudes are compared in a 2^31 scale: |sample| of every format
// shifted to 32 bits, so one threshold serves all.
constexpr double kScale = 2147483648.0;

enum class Encoding { U8, S16, S24, S32, F32 };

std::uint32_t Magnitude(const std::uint8_t* p, Encoding e) {
  std::int64_t v = 0;
  switch (e) {
    case Encoding::U8:
      v = (std::int64_t{p[0]} - 128) << 24;
      break;
    case Encoding::S16:
      v = std::int64_t{static_cast<std::int16_t>(p[0] | p[1] << 8)} << 16;
      break;
    case Encoding::S24:
      v = std::int64_t{static_cast<std::int32_t>(std::uint32_t{p[0]} << 8 | std::uint32_t{p[1]} << 16 |
                                                 std::uint32_t{p[2]} << 24)};
      break;
    case Encoding::S32:
      v = static_cast<std::int32_t>(std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                    std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
      break;
    case Encoding::F32: {
      float f;
      std::memcpy(&f, p, 4);
      const double a = std::fabs(static_cast<double>(f));
      return a >= 1.0 || std::isnan(a) ? 0x80000000u : static_cast<std::uint32_t>(a * kScale);
    }
  }
  return static_cast<std::uint32_t>(v < 0 ? -v : v);
}

// The 16-bit case, the common one, in a loop the compiler vectorises.
std::uint32_t WindowPeak16(const std::uint8_t* data, std::size_t samples) {
  std::int32_t peak = 0;
  for (std::size_t i = 0; i < samples; ++i) {
    std::int16_t s;
    std::memcpy(&s, data + 2 * i, 2);
    const std::int32_t a = s < 0 ? -std::int32_t{s} : s;
    peak = std::max(peak, a);
  }
  return static_cast<std::uint32_t>(peak) << 16;
}

struct Layout {
  Encoding encoding;
  unsigned bytesPerSample;
  unsigned channels;
  unsigned blockAlign;
};

// One window of frames; data holds frames × blockAlign bytes.
WindowLevel ScanWindow(const std::uint8_t* data, std::size_t frames, const Layout& l,
                       std::uint32_t threshold) {
  WindowLevel w;
  std::uint32_t peak = 0;
  const bool packed16 = l.encoding == Encoding::S16 && l.blockAlign == 2 * l.channels;
  if (packed16) {
    peak = WindowPeak16(data, frames * l.channels);
  } else {
    for (std::size_t f = 0; f < frames; ++f)
      for (unsigned c = 0; c < l.channels; ++c)
        peak = std::max(peak, Magnitude(data + f * l.blockAlign + c * l.bytesPerSample, l.encoding));
  }
  w.peak = static_cast<float>(peak / kScale);
  if (peak < threshold) return w;
  auto frameLoud = [&](std::size_t f) {
    for (unsigned c = 0; c < l.channels; ++c)
      if (Magnitude(data + f * l.blockAlign + c * l.bytesPerSample, l.encoding) >= threshold) return true;
    return false;
  };
  std::size_t first = 0;
  while (!frameLoud(first)) ++first;
  std::size_t last = frames - 1;
  while (!frameLoud(last)) --last;
  w.firstLoud = static_cast<std::uint16_t>(first);
  w.lastLoud = static_cast<std::uint16_t>(last);
  return w;
}

Layout LayoutOf(const CWaveFile& wave) {
  const unsigned bits = wave.GetBitsPerSample();
  const unsigned channels = wave.GetChannels();
  const bool isFloat = wave.GetFormatTag() == wav::kFormatFloat;
  Layout l{Encoding::S16, (bits + 7) / 8, channels, wave.GetBlockAlign()};
  if (isFloat && bits == 32) {
    l.encoding = Encoding::F32;
  } else if (!isFloat && wave.IsPcm() && bits >= 1 && bits <= 32) {
    l.encoding = l.bytesPerSample == 1   ? Encoding::U8
                 : l.bytesPerSample == 2 ? Encoding::S16
                 : l.bytesPerSample == 3 ? Encoding::S24
                                         : Encoding::S32;
  } else {
    throw ScanError(wave.GetFilePath(),
                    wave.GetFilePath() + ": silence detection reads PCM and 32-bit float WAV files only");
  }
  if (channels == 0 || l.blockAlign < channels * l.bytesPerSample || wave.GetSampleRate() == 0)
    throw ScanError(wave.GetFilePath(), wave.GetFilePath() + ": the format chunk is damaged");
  return l;
}

// Scans windows [first, end) of the data into levels, reading with ReadAt
// (so two threads share the file); returns the errno of a failed read, or 0.
int ScanPart(const CFile& file, std::uint64_t dataOffset, const Layout& l, std::uint32_t threshold,
             WindowLevels& levels, std::size_t first, std::size_t end) {
  const std::size_t windowsPerRead =
      std::max<std::size_t>(1, (std::size_t{1} << 20) / (levels.windowSamples * l.blockAlign));
  std::vector<std::uint8_t> buffer(windowsPerRead * levels.windowSamples * l.blockAlign);
  int failure = 0;
  for (std::size_t w = first; w < end && failure == 0;) {
    const std::size_t batch = std::min(windowsPerRead, end - w);
    const std::uint64_t startFrame = std::uint64_t{w} * levels.windowSamples;
    const std::uint64_t frames = std::min<std::uint64_t>(std::uint64_t{batch} * levels.windowSamples,
                                                         levels.totalSamples - startFrame);
    const std::size_t bytes = static_cast<std::size_t>(frames * l.blockAlign);
    try {
      // A file that ends early is a failed read, not silence.
      if (file.ReadAt(buffer.data(), bytes, dataOffset + startFrame * l.blockAlign) < bytes) failure = EIO;
    } catch (const CFileException& e) {
      failure = e.OsError() != 0 ? e.OsError() : EIO;
    }
    for (std::size_t i = 0; i < batch && failure == 0; ++i) {
      const std::uint64_t offset = std::uint64_t{i} * levels.windowSamples;
      const std::size_t count =
          static_cast<std::size_t>(std::min<std::uint64_t>(levels.windowSamples, frames - offset));
      levels.windows[w + i] = ScanWindow(buffer.data() + offset * l.blockAlign, count, l, threshold);
    }
    w += batch;
  }
  return failure;
}

}  // namespace

WindowLevels ScanWaveLevels(const CWaveFile& wave, double threshold) {
  const Layout layout = LayoutOf(wave);
  WindowLevels levels;
  const std::uint64_t total = wave.GetDataSize() / layout.blockAlign;
  if (total / wave.GetSampleRate() > kMaxScanSeconds)
    throw ScanError(
        wave.GetFilePath(),
        wave.GetFilePath() + ": the recording is longer than 24 hours; silence detection stops there");
  levels.Reset(wave.GetSampleRate(), total);
  const auto limit = static_cast<std::uint32_t>(std::clamp(std::ceil(threshold * kScale), 1.0, kScale));
  const std::size_t count = levels.windows.size();
  const std::size_t half = count / 2;
  CFile file;
  if (const CFile::Opened opened = file.Open(wave.GetFilePath(), CFile::Mode::ReadShared); !opened)
    throw ScanError(wave.GetFilePath(),
                    wave.GetFilePath() + ": cannot read the audio: " + std::strerror(opened.osError),
                    opened.osError);
  // Two halves, one a thread.
  int failures[2] = {0, 0};
  std::atomic<int> nextHalf{0};
  RunOnThreads(2, [&] {
    const int part = nextHalf++;
    failures[part] = ScanPart(file, wave.GetDataOffset(), layout, limit, levels, part == 0 ? 0 : half,
                              part == 0 ? half : count);
  });
  for (int f : failures)
    if (f != 0)
      throw ScanError(wave.GetFilePath(), wave.GetFilePath() + ": cannot read the audio: " + std::strerror(f),
                      f);
  return levels;
}

}  // namespace split
