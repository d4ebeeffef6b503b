#pragma once
// The check that MP3 pieces play exactly: every piece decoded on its own by a
// reference decoder (ffmpeg, mpg123), the results joined, compared sample for
// sample with the decode of the whole source. Also sources made by the `lame`
// command and the frame checks of ffprobe and mp3val.

#include <cstdint>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace kt {

enum class RefDecoder { Ffmpeg, Mpg123 };
const char* Name(RefDecoder decoder);

// Interleaved 16-bit samples as the decoder outputs them, gapless where the
// decoder honours the header frame.
struct Pcm {
  std::vector<std::int16_t> samples;
  bool ok = false;  // the decoder ran and exited with 0
  std::string error;
};
Pcm Decode(const TempDir& dir, RefDecoder decoder, const std::string& mp3);

// Where two decodes part: the first differing sample (interleaved index), or
// npos when one is a prefix of the other; with both lengths.
struct PcmCompare {
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  std::size_t firstDifference = npos;
  std::size_t expectedSize = 0, actualSize = 0;
  int largestError = 0;
  bool Equal() const { return firstDifference == npos && expectedSize == actualSize; }
  std::string Describe() const;
};
// actual against expected[from, from + actual.size()), or the whole of
// expected when wholeLength.
PcmCompare ComparePcm(const std::vector<std::int16_t>& expected, std::size_t from,
                      const std::vector<std::int16_t>& actual, bool wholeLength);

// Decodes each piece with decoder and compares their join with the source's
// decode; pieceSamples, when given, receives each piece's decoded length.
PcmCompare CompareJoinedPieces(const TempDir& dir, RefDecoder decoder, const std::string& source,
                               const std::vector<std::string>& pieces,
                               std::vector<std::size_t>* pieceSamples = nullptr);

// A musical test signal (two tones, a beat, noise) that makes encoders use the
// bit reservoir; seconds long at rate, channels interleaved.
std::vector<std::uint8_t> MusicWav(double seconds, int channels, int rate);
// Encodes a WAV with the `lame` command and the given options; returns the MP3's path.
std::string LameEncode(const TempDir& dir, const std::string& name, const std::string& wav,
                       const std::vector<std::string>& options);

// ffprobe's format duration in seconds (negative when it fails).
double ProbeDuration(const TempDir& dir, const std::string& mp3);
// The warnings and errors mp3val reports ("" when none). Its warning about
// a file without any tag is left out: it speaks of the source's choice, not
// of the frames.
std::string Mp3valWarnings(const TempDir& dir, const std::string& mp3);

}  // namespace kt
