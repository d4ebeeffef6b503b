#pragma once
// The cutting arithmetic of WAV files: where each piece of an equal split
// and a saved selection begin and end in the data chunk, and how pieces are
// named. All cut points are whole sample frames; times arrive as sample
// positions.

#include <cstdint>
#include <string>

struct WavePiece {
  std::uint64_t start = 0;    // first byte of the piece's own audio, from the data chunk start
  std::uint64_t length = 0;   // bytes of the piece's own audio
  std::uint64_t overlap = 0;  // bytes of the audio before start copied ahead of it
};

struct WaveSelection {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

std::uint64_t AlignDown(std::uint64_t value, std::uint16_t blockAlign);
std::uint64_t AlignUp(std::uint64_t value, std::uint16_t blockAlign);

// Piece number (1-based) of an equal split into pieces: every piece holds
// dataSize / pieces bytes rounded down to whole frames, except the last,
// which takes every remaining whole frame. Pieces after the first begin with
// overlapSeconds of the audio before them, as far as there is audio.
WavePiece PlanWavePiece(std::uint64_t dataSize, std::uint16_t blockAlign, std::uint32_t avgBytesPerSec,
                        std::uint32_t pieces, std::uint32_t number, std::uint32_t overlapSeconds);

// The same with the overlap in bytes (rounded down to whole frames).
WavePiece PlanWavePieceBytes(std::uint64_t dataSize, std::uint16_t blockAlign, std::uint32_t pieces,
                             std::uint32_t number, std::uint64_t overlapBytes);

// The audio bytes of samples sample frames at sampleRate: samples ×
// avgBytesPerSec / sampleRate, rounded down, or up with roundUp (exact for
// PCM, whose byte rate is the rate times the frame size).
std::uint64_t WaveBytesOfSamples(std::uint64_t samples, std::uint32_t avgBytesPerSec,
                                 std::uint32_t sampleRate, bool roundUp = false);

// The samples [firstSample, endSample) at sampleRate: the start rounds up
// and the length down to whole frames (blocks of a compressed format); it
// never reaches past the data.
WaveSelection PlanWaveSampleSelection(std::uint64_t dataSize, std::uint16_t blockAlign,
                                      std::uint32_t avgBytesPerSec, std::uint32_t sampleRate,
                                      std::uint64_t firstSample, std::uint64_t endSample);
// The stretch from whole second startSecond to endSecond (samples at a rate of one a second).
WaveSelection PlanWaveSelection(std::uint64_t dataSize, std::uint16_t blockAlign,
                                std::uint32_t avgBytesPerSec, std::uint32_t startSecond,
                                std::uint32_t endSecond);

// The name of a piece: base's folder as given, its file name upper-cased
// without any ".WAV", then the suffix and "-<number>.wav".
std::string WavePieceName(const std::string& base, const std::string& suffix, std::uint32_t number);
