#pragma once
// The Shred Equally check and estimate, shared by the dialog and the
// command-line tool: validation (3000-3002), the predicted size and playtime
// of one piece, the overlap warning and the estimate window's lines.

#include <cstdint>
#include <string>
#include <vector>

#include "core/AudioError.h"

// Header facts of a WAV file that the estimate needs.
struct WaveSplitFacts {
  std::uint64_t dataSize = 0;  // audio bytes (capped at what the file holds)
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t extraFormatBytes = 0;  // c, the extra-format-byte count
  std::uint32_t factSize = 0;          // 0 without a fact chunk
};

// Facts of an MP3 file that the estimate needs.
struct Mp3SplitFacts {
  std::uint32_t audioBytes = 0;  // without ID3v2 and ID3v1 tags
  std::uint32_t byteRate = 0;    // bytes per second (average for VBR)
  bool hasTag = false;           // an ID3v1 tag is appended to every piece
  double seconds = 0.0;          // exact play time of counted frames (VBR); 0: audioBytes / byteRate
};

struct SplitEstimate {
  AudioError error = err::kNone;  // 0, 3000, 3001 or 3002
  std::uint32_t size = 0;         // estimated bytes of one piece
  double playtime = 0.0;          // estimated seconds of one piece
};

SplitEstimate EstimateWaveSplit(const WaveSplitFacts& facts, std::uint32_t splits);
SplitEstimate EstimateMp3Split(const Mp3SplitFacts& facts, std::uint32_t splits);

// Half the playtime, truncated: the largest overlap that needs no warning.
std::uint32_t OverlapLimit(double playtime);
bool OverlapTooHigh(std::uint32_t overlapTime, double playtime);
// "Overlap time is %u Second(s), is high for ... Do you wish to change the overlap time?"
std::string OverlapQuestion(std::uint32_t overlapTime, double playtime);
inline constexpr const char* kOverlapNotice = "Estimated time may not be exact for all splits";

// The six lines of the estimate window, in the order 1041, 1037, 1038, 1039, 1040, 1042.
std::vector<std::string> EstimateLines(const std::string& sourceName, std::uint32_t splits,
                                       std::uint32_t overlapTime, std::uint32_t size, double playtime);
