#pragma once
// A split before it is written: the cut points (each maybe sitting in a
// silence, each maybe unticked), and the pieces they make, with their names
// and the tag facts of each piece.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/AudioFormat.h"
#include "core/split/SilenceFinder.h"

namespace split {

// Where a cut goes inside its silence.
enum class CutPlace { Start, Middle, End };

// What a piece is called inside its tag (cue sheets give these).
struct PieceFacts {
  std::string title;
  std::string performer;
  unsigned track = 0;  // a cue sheet's track number; 0: the piece's own number
};

struct CutPoint {
  std::uint64_t at = 0;            // sample position
  std::optional<Silence> silence;  // the silence the cut sits in
  std::uint64_t equalPoint = 0;    // equal pieces: where the cut would be without a silence
  bool noSilenceNear = false;      // equal pieces: no silence in the window, the cut stays put
  bool enabled = true;             // unticked cuts are left out
  PieceFacts next;                 // facts of the piece that starts here
};

struct PlannedPiece {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  std::uint32_t number = 0;  // 1-based
  std::string path;
  PieceFacts facts;
};

// How pieces are named: as Shred Equally names them (base, suffix, -N), or
// as tracks ("NN - Title.ext" in a folder).
struct PieceNaming {
  bool tracks = false;
  std::string base;                      // pieces: base path; tracks: the folder
  std::string suffix;                    // pieces only
  const CAudioFormat* format = nullptr;  // the source's kind: its naming rule and extension
};

struct SplitPlan {
  std::uint32_t sampleRate = 0;
  std::uint64_t totalSamples = 0;
  std::uint64_t start = 0;  // where the first piece starts (a cue sheet's first track)
  PieceFacts first;         // facts of the first piece
  std::string album;        // a cue sheet's title
  std::string date, genre;  // and its REM DATE and REM GENRE
  // The first piece's number: 0 when it is the audio before a cue sheet's
  // first track (a hidden track), else 1.
  std::uint32_t firstNumber = 1;
  std::vector<CutPoint> cuts;
  PieceNaming naming;

  std::size_t EnabledCuts() const;
  // The pieces the ticked cuts make, numbered and named.
  std::vector<PlannedPiece> Pieces() const;
};

// Cuts in the silences, skipping a silence that would leave a piece shorter
// than minPiece samples (before or after it).
SplitPlan PlanAtSilences(const SilenceScan& scan, CutPlace place, std::uint64_t minPiece);

// pieces equal pieces, each inner cut moved to the longest silence within
// ±window samples of its equal point.
SplitPlan PlanEqualAtSilences(const SilenceScan& scan, std::uint32_t pieces, std::uint64_t window);

// The name of piece number of a plan: base + suffix + "-N" with the base's
// file name upper-cased and without ".WAV"/".MP3" as Shred Equally does, or
// "NN - Title.ext" in the folder.
std::string PieceName(const PieceNaming& naming, std::uint32_t number, const PieceFacts& facts);

// A title made safe for a file name: no folder separators, no control or
// reserved characters, no leading dots, at most 180 bytes of whole UTF-8 characters.
std::string SafeFileName(const std::string& title);

}  // namespace split
