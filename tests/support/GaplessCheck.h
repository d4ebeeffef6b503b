#pragma once
// Reference checks for MP3 pieces: decodes by ffmpeg or mpg123 compared
// sample for sample, sources made by the `lame` command, and the header
// frame's fields read back by offsets from the format.

#include <cstdint>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace kt {

enum class RefDecoder { Ffmpeg, Mpg123 };

// Interleaved 16-bit samples as the decoder outputs them (empty when it fails).
std::vector<std::int16_t> Decode(const TempDir& dir, RefDecoder decoder, const std::string& mp3);

// "" when actual equals expected[from, from + actual.size()) (and, when
// wholeLength, covers all of expected) within tolerance; else where they part.
std::string PcmDiff(const std::vector<std::int16_t>& expected, std::size_t from,
                    const std::vector<std::int16_t>& actual, bool wholeLength, int tolerance = 0);

// The sample frame at a time typed as people write it ("1.3", "0:02.770"):
// round(t × rate), as the engine takes it.
std::size_t SampleAtTime(const std::string& time, std::uint32_t rate);
// "" when the decode of cut equals the whole decode's sample frames
// [first, end) of `channels` interleaved channels, end clipped to the whole
// decode; else the lengths or where they part.
std::string SpanDiff(const std::vector<std::int16_t>& whole, std::size_t first, std::size_t end, int channels,
                     const std::vector<std::int16_t>& cut, int tolerance = 0);

// A musical test signal (two tones, a beat, noise) that makes encoders use
// the bit reservoir; channels interleaved.
std::vector<std::uint8_t> MusicWav(double seconds, int channels, int rate);
// Encodes a WAV with the `lame` command; returns the MP3's path ("" on failure).
std::string LameEncode(const TempDir& dir, const std::string& name, const std::string& wav,
                       const std::vector<std::string>& options);

// Encodes a WAV with the `flac` command; returns the FLAC's path ("" on failure).
std::string FlacEncode(const TempDir& dir, const std::string& name, const std::string& wav,
                       const std::vector<std::string>& options = {});

// ffprobe's format duration in seconds of any audio file (negative when it fails).
double ProbeDuration(const TempDir& dir, const std::string& path);
// CRC-16/ARC bit by bit, as the LAME header frame uses it.
std::uint16_t BitwiseCrc16(const std::uint8_t* p, std::size_t n, std::uint16_t crc = 0);

// The Xing/Info frame at `at` of an MPEG 1 stereo stream (the block 36 bytes
// in, the LAME extension 120 bytes later).
struct HeaderFrame {
  std::size_t at = 0, audio = 0;  // the frame and the first audio frame after it
  std::string marker;
  std::uint32_t frames = 0, bytes = 0, delay = 0, padding = 0, musicLength = 0;
  std::uint16_t musicCrc = 0;
  std::vector<std::uint8_t> toc;
};
HeaderFrame ReadHeaderFrame(const std::vector<std::uint8_t>& bytes, std::size_t at);

}  // namespace kt
