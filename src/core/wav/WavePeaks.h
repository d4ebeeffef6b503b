#pragma once
// Peaks straight from the samples of a WAV data chunk: integer PCM of 8 to
// 32 bits in plain or EXTENSIBLE form. Other forms (ADPCM, A-law, float...)
// have no reader here and are reported as not drawable.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/PeakModel.h"
#include "core/PeakSource.h"

class CFile;
class CWaveFile;

namespace peaks {

struct WaveSource {
  std::string path;
  std::uint64_t dataOffset = 0;
  std::uint64_t dataSize = 0;  // whole sample frames only
  std::uint32_t sampleRate = 0;
  std::uint16_t channels = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bytesPerSample = 0;  // container bytes of one sample
  StreamShape Shape() const;
};

// The readable facts of an open WAV file, or nullopt with whyNot set.
std::optional<WaveSource> WaveSourceOf(const CWaveFile& file, std::string& whyNot);

// Points of samplesPerPoint samples each for the samples [first, last) of
// the source, channel interleaved; reads with ReadAt, so several threads
// may share one open file. Stops early (returning what it has) on cancel.
std::vector<Point> ReadWavePoints(const CFile& file, const WaveSource& source, std::uint64_t first,
                                  std::uint64_t last, std::uint32_t samplesPerPoint,
                                  const std::atomic<bool>& cancel);

// Fills the model from the whole data chunk on threads workers; false when
// cancelled. File failures propagate as CFileException.
bool ComputeWavePeaks(const WaveSource& source, CPeakModel& model, const std::atomic<bool>& cancel,
                      unsigned threads);

// The waveform reader of a WAV file: its samples, read once on threads
// workers; nullptr with whyNot set for a form it cannot read.
std::unique_ptr<CPeakSource> MakeWavePeakSource(const CWaveFile& file, std::string& whyNot);

}  // namespace peaks
