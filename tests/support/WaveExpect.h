#pragma once
// Expected WAV bytes and an MP3 reader for the WAV engine tests.

#include <cstdint>
#include <string>
#include <vector>

namespace kt {

// The fmtExtra of a WAVE_FORMAT_EXTENSIBLE record: cbSize 22, valid bits,
// channel mask and the PCM (or IEEE float) sub-format.
std::vector<std::uint8_t> ExtensibleExtra(std::uint16_t validBits, std::uint32_t channelMask,
                                          bool pcm = true);

// The canonical 44-byte PCM header for dataSize audio bytes.
std::vector<std::uint8_t> CanonicalHeader(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                                          std::uint32_t dataSize);

// The header of a WAV or RF64 file as an independent reader sees it: the
// chunks up to "data", with the 64-bit sizes of a ds64 chunk applied.
struct WaveLayout {
  bool rf64 = false;
  std::uint64_t fileSize = 0;
  std::uint64_t riffSize = 0;
  std::uint32_t fmtSize = 0;
  std::uint16_t blockAlign = 0;
  bool hasFact = false;
  std::uint32_t factCount = 0;
  std::uint64_t ds64Samples = 0;
  std::uint64_t dataOffset = 0;
  std::uint64_t dataSize = 0;
};
WaveLayout ReadWaveLayout(const std::string& path);
// Empty when the header tells the truth about the file: RIFF size = file
// size - 8, the data chunk (whole frames, padded when odd) ends the file.
std::string HeaderMismatch(const std::string& path);

// Bytes [from, from + count) of bytes (to the end when count is omitted).
std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from,
                                std::size_t count = static_cast<std::size_t>(-1));

// What libmad makes of an MP3 file.
struct DecodedMp3 {
  unsigned frames = 0;
  unsigned channels = 0;
  unsigned sampleRate = 0;
  std::uint64_t samplesPerChannel = 0;
  unsigned badFrames = 0;
  double peak = 0.0;               // largest absolute sample, 0..1
  std::vector<unsigned> bitrates;  // kbit/s of each frame
};
DecodedMp3 DecodeMp3(const std::string& path);

}  // namespace kt
