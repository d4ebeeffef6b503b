#pragma once
// Generators for MP3 test inputs: hand-built frame headers and synthetic
// frame streams, ID3 tags, real streams encoded by LAME from synthetic PCM,
// and an independent frame walker to check what the engine writes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kt {

// The fields of one frame header, in the values the header stores.
struct FrameSpec {
  unsigned version = 3;          // 0 MPEG 2.5, 1 reserved, 2 MPEG 2, 3 MPEG 1
  unsigned layer = 1;            // 0 reserved, 1 Layer III, 2 Layer II, 3 Layer I
  unsigned bitrateIndex = 9;     // 128 kbit/s for MPEG 1 Layer III
  unsigned sampleRateIndex = 0;  // 44100 Hz for MPEG 1
  bool padding = false;
  bool mono = false;
  bool copyright = false;
  bool original = false;
};

std::array<std::uint8_t, 4> HeaderBytes(const FrameSpec& layout);
// Frame length from the ISO tables, computed here independently of the engine.
std::uint32_t FrameBytes(const FrameSpec& layout);
// count frames of the given kind; the payload never holds 0xFF, so it
// contains no false sync.
std::vector<std::uint8_t> SyntheticFrames(const FrameSpec& layout, std::size_t count, std::uint32_t seed = 1);

// An ID3v2.3 (or 2.4 with footer) tag whose body has bodyBytes bytes.
std::vector<std::uint8_t> Id3v2Tag(std::size_t bodyBytes, bool footer = false);
struct Id3v1Spec {
  std::string title, artist, album, year, comment;
  std::uint8_t genre = 255;
};
std::vector<std::uint8_t> Id3v1Tag(const Id3v1Spec& layout);

// A LAME encoding of 16-bit PCM.
struct LameSpec {
  int channels = 2;
  int sampleRate = 44100;
  int bitrate = 128;  // kbit/s for constant bitrate
  bool vbr = false;   // variable bitrate at vbrQuality instead
  int vbrQuality = 4;
  bool headerFrame = false;  // write the Xing/Info frame LAME reserves at the start
};
std::vector<std::uint8_t> EncodeMp3(const std::vector<std::int16_t>& interleaved, const LameSpec& layout);
// A sine of the given amplitude (0..1) on every channel, interleaved.
std::vector<std::int16_t> SinePcm(std::uint32_t frames, int channels, int sampleRate, double frequency,
                                  double amplitude);
// LAME-encoded sine of the given length in seconds.
std::vector<std::uint8_t> EncodedSine(double seconds, const LameSpec& layout, double frequency = 440.0);

// Offsets of the consecutive frames found by walking from `from` while each
// header checks out and its frame fits before `to`; stops at the first
// position that does not hold a frame.
std::vector<std::size_t> WalkFrames(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to);
// Where that walk stops: the end of the last whole frame.
std::size_t WalkEnd(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to);

// A 16-bit PCM WAV as written by the decoder.
struct DecodedWav {
  std::uint16_t channels = 0;
  std::uint32_t sampleRate = 0;
  std::uint32_t riffSize = 0;
  std::uint32_t dataSize = 0;
  std::vector<std::int16_t> samples;  // interleaved
};
DecodedWav ReadDecodedWav(const std::vector<std::uint8_t>& bytes);

}  // namespace kt
