#pragma once
// Headers of the WAV files the engine writes: a plain RIFF WAV while the
// sizes fit 32 bits, RF64 (the EBU's 64-bit WAV: "RF64" form, a ds64 chunk
// holding the RIFF size, data size and sample count, the 32-bit fields set
// to 0xFFFFFFFF) for larger files. Also the fixed 16-bit PCM header the MP3
// decoder writes, with the sizes taken from the output file's length.

#include <array>
#include <cstdint>
#include <vector>

class CFile;

// The wave format record of a "fmt " chunk, with its extra-byte count.
struct WaveFormat {
  std::uint16_t formatTag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSec = 0;
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
  std::uint16_t extraCount = 0;  // bytes of format-specific data after the record
};

enum class WaveForm { Riff, Rf64 };

// Everything of a header but its sizes.
struct WaveHeaderParts {
  WaveFormat format;
  std::vector<std::uint8_t> extra;  // extraCount bytes (zeros when it does not match)
  bool hasFact = false;
  std::vector<std::uint8_t> factBody;  // its first four bytes are replaced by the sample count
};

// The record of integer PCM of containerBytes a sample.
WaveFormat PcmWaveFormat(std::uint16_t channels, std::uint32_t samplesPerSec, unsigned containerBytes);

// The header parts of a new PCM file of this record: WAVE_FORMAT_EXTENSIBLE
// when the valid bits are fewer than the container's or there are more than
// two channels (FLAC's speaker order as the channel mask), plain otherwise.
WaveHeaderParts PcmWaveHeaderParts(const WaveFormat& format, unsigned validBits);

// The form a file of dataSize audio bytes after these parts needs.
WaveForm WaveFormFor(const WaveHeaderParts& parts, std::uint64_t dataSize);

// RIFF (or RF64), "fmt " (16 bytes for plain PCM, otherwise 18 plus the
// extra bytes), the fact chunk and the data chunk's header, for dataSize
// audio bytes holding sampleCount samples per channel. The RIFF size counts
// the pad byte an odd data chunk is followed by. A plain header whose sizes
// do not fit carries 0xFFFFFFFF, the mark of a stream without a known end.
std::vector<std::uint8_t> BuildWaveHeader(const WaveHeaderParts& parts, std::uint64_t dataSize,
                                          std::uint64_t sampleCount, WaveForm form);

inline constexpr std::uint32_t kFixedWaveHeaderSize = 44;

// The header of a 16-bit PCM file of totalLength bytes (header included).
// A length below 44 counts as 44, so a header written before any audio
// says "no audio" instead of a wrapped-around size.
std::array<std::uint8_t, kFixedWaveHeaderSize> BuildFixedWaveHeader(std::uint16_t channels,
                                                                    std::uint32_t samplesPerSec,
                                                                    std::uint64_t totalLength);

// The form of a decoded file expected to hold about expectedBytes of audio:
// RF64 with a margin below 4 GiB, as the header cannot grow once audio
// follows it.
WaveForm DecodedWaveForm(double expectedBytes);

// Writes the fixed 16-bit PCM header (in the given form) over the start of
// out, sized from the file's current length, then returns to where the file
// stood (or to the end of the header when it stood inside it).
void WriteFixedWaveHeader(CFile& out, std::uint16_t channels, std::uint32_t samplesPerSec,
                          WaveForm form = WaveForm::Riff);
