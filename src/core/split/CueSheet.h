#pragma once
// A cue sheet read through libcue: its tracks (INDEX 00 and INDEX 01 in
// frames of 1/75 s), their titles and performers, and the audio file it
// names. Every fault is a CueError naming the sheet, the line or track, and
// the reason.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/AudioFailure.h"
#include "core/split/SplitPlan.h"

class CAudioFile;

namespace split {

class CueError : public CAudioFailure {
 public:
  // path: the sheet; text: the whole message, which names it.
  CueError(std::string path, std::string text)
      : CAudioFailure(err::kCueSheet, std::move(path), 0, std::move(text)) {}
};

struct CueTrack {
  unsigned number = 0;
  long pregap = -1;  // INDEX 00 in frames; -1 when there is none
  long start = 0;    // INDEX 01 in frames
  // Sample positions, for a sheet a file carries inside it (exact at any
  // rate); frames stand when these are not set.
  std::optional<std::uint64_t> startSample;
  std::string title;
  std::string performer;
};

struct CueSheet {
  std::string path;
  std::string title;  // the album
  std::string performer;
  std::string date;      // REM DATE
  std::string genre;     // REM GENRE
  std::string fileName;  // as FILE gives it
  std::vector<CueTrack> tracks;
};

// The largest sheet read: cue sheets are a few kilobytes.
constexpr std::size_t kMaxCueBytes = std::size_t{1} << 20;

// Reads and checks the sheet; throws CueError.
CueSheet ReadCueSheet(const std::string& path);

// The sheet a file carries inside it (a FLAC CUESHEET block), its album and
// artist from the file's tags; no tracks when it carries none.
CueSheet EmbeddedCueSheet(const CAudioFile& file);

// Where the sheet's FILE lies: beside the sheet. Throws CueError when it is
// not there.
std::string CueAudioPath(const CueSheet& sheet);

// A frame of 1/75 s as a sample position: exact for every rate that is a
// multiple of 75 (44.1 kHz, 48 kHz, ...), the nearest sample otherwise.
std::uint64_t CueFrameToSample(long frames, std::uint32_t rate);

// One piece per track, from its INDEX 01 to the next track's. Throws
// CueError for a track that starts at or past the end of the audio.
SplitPlan PlanFromCue(const CueSheet& sheet, std::uint32_t rate, std::uint64_t totalSamples);

}  // namespace split
