#pragma once
// Window levels of an MP3 file, decoding as little as it can: the frames'
// side information marks the stretches that may be quiet, and only those
// (with the frames before them that their bit reservoir and filter state
// need) go through libmad, on two threads. Everything else counts as loud.
// Sample positions are those of the file's whole decode (after the encoder
// and decoder delay when the stream's header frame gives them).

#include <cstdint>

#include "core/WindowLevels.h"

class CMp3File;

namespace split {

using Mp3ScanOptions = LevelScanOptions;
using Mp3ScanStats = LevelScanStats;

// Samples in the whole decode of mp3 (frames walked, no decoding). Throws
// ScanError when the audio cannot be read.
std::uint64_t Mp3TotalSamples(CMp3File& mp3);

// Throws ScanError when the audio cannot be read.
WindowLevels ScanMp3Levels(CMp3File& mp3, const Mp3ScanOptions& options, Mp3ScanStats* stats = nullptr);

}  // namespace split
