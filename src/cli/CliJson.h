#pragma once
// The --json output of kestrune-cli: one JSON object per line, written with
// Qt's JSON writer. The man page lists every member.

#include <cstdint>
#include <string>

class CAudioFile;
struct SplitEstimate;

// info --json: the header facts of a WAV or MP3 file; for MP3 also its
// ID3v1 tag, its ID3v2 tag's text frames and its LAME header frame
// (encoder delay and padding). path is the file as the command line named it.
std::string InfoJson(CAudioFile& file, const std::string& path);

// shred --estimate --json: the checked request and the estimate of one piece.
std::string EstimateJson(const std::string& path, std::uint32_t splits, std::uint32_t overlap,
                         const SplitEstimate& estimate, bool overlapTooHigh);

// batch --json: one finished file.
struct BatchJsonLine {
  std::string source, output, status, reason;
  double seconds = 0.0;
};
std::string BatchJson(const BatchJsonLine& line);
