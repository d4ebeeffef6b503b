#pragma once
// Finds the silences of an open WAV or MP3 file: stretches where the peak of
// all channels over 10 ms windows stays below a threshold for at least a
// minimum length. Sample positions are those of the file's whole decode.

#include <cstdint>
#include <vector>

#include "core/split/SilenceRuns.h"

class CAudioFile;

namespace split {

struct SilenceOptions {
  double thresholdDb = -48.0;
  std::uint64_t minSilenceMicros = 500000;
};

// The accepted ranges of the options.
constexpr double kMinThresholdDb = -96.0;
constexpr double kMaxThresholdDb = -6.0;
constexpr std::uint64_t kMinSilenceMicros = 10000;      // 10 ms
constexpr std::uint64_t kMaxSilenceMicros = 600000000;  // 10 minutes

struct SilenceScan {
  std::uint32_t sampleRate = 0;
  std::uint64_t totalSamples = 0;
  std::vector<Silence> silences;
  // The quietest stretch of the minimum length, when there is no silence.
  QuietestStretch quietest;
  std::uint64_t framesDecoded = 0;  // MP3: frames decoded, of
  std::uint64_t frames = 0;         // the stream's frames
};

// Throws ScanError when the file cannot be read or is of a kind it cannot scan.
SilenceScan FindSilences(CAudioFile& file, const SilenceOptions& options);

}  // namespace split
