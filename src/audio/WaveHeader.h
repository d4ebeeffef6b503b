#pragma once
// The fixed 44-byte header of a 16-bit PCM WAV file, as written by the MP3
// decoder: RIFF, a 16-byte "fmt " chunk and the "data" chunk header, with the
// sizes taken from the output file's length.

#include <array>
#include <cstdint>

class CFile;

inline constexpr std::uint32_t kFixedWaveHeaderSize = 44;

// The header of a 16-bit PCM file of totalLength bytes (header included).
// A length below 44 counts as 44, so a header written before any audio
// says "no audio" instead of a wrapped-around size.
std::array<std::uint8_t, kFixedWaveHeaderSize> BuildFixedWaveHeader(std::uint16_t channels,
                                                                    std::uint32_t samplesPerSec,
                                                                    std::uint64_t totalLength);

// Writes the fixed header over the first 44 bytes of out, sized from the
// file's current length, then returns to where the file stood (or to byte
// 44 when it stood inside the header).
void WriteFixedWaveHeader(CFile& out, std::uint16_t channels, std::uint32_t samplesPerSec);
