#pragma once
// Window levels of a PCM WAV file (8, 16, 24 or 32-bit integer, or 32-bit
// float), read with two threads that each take half of the data chunk.

#include <cstdint>
#include <string>

#include "core/WindowLevels.h"

class CWaveFile;

namespace split {

// Reads the data chunk of wave (opened from path) and returns its levels
// against the threshold amplitude (full scale 1.0). Throws ScanError for a
// format it cannot read or a read failure.
WindowLevels ScanWaveLevels(const CWaveFile& wave, double threshold);

}  // namespace split
