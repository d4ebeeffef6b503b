#pragma once
// What a person asks of a split, in the terms of the dialog and the command
// line, and the plan it makes for an open file: at silences, equal pieces
// snapped to silences, or by a cue sheet.

#include <cstdint>
#include <optional>
#include <string>

#include "core/LevelScanError.h"
#include "core/split/CueSheet.h"
#include "core/split/SplitPlan.h"

class CAudioFile;

namespace split {

enum class SplitMode { Silence, Equal, Cue };

struct SplitRequest {
  SplitMode mode = SplitMode::Silence;
  SilenceOptions silence;
  CutPlace place = CutPlace::Middle;
  std::uint64_t minPieceMicros = 10000000;  // 10 s
  std::uint32_t pieces = 2;                 // equal pieces
  std::uint64_t snapMicros = 10000000;      // ±10 s
  std::string base;                         // empty: the source's own path
  std::string suffix;
  std::string outDir;  // cue sheet pieces; empty: beside the sheet
  // The kind of the pieces; nullptr: the source's own (cut losslessly).
  const CAudioFormat* target = nullptr;
};

// The accepted ranges; outside them a request is refused before any work.
constexpr std::uint32_t kMaxPieces = 1000;
constexpr std::uint64_t kMaxSnapMicros = 3600000000;  // an hour either side

// Why a request is refused, as a phrase; empty when it is fine.
std::string CheckRequest(const SplitRequest& request);

// No silence in the file: the message says so and shows the quietest stretch.
class NoSilenceError : public ScanError {
 public:
  NoSilenceError(std::string path, std::string text)
      : ScanError(std::move(path), std::move(text), 0, err::kNoSilence) {}
};

// The plan for file. Cue mode takes the sheet already read. Throws
// ScanError (NoSilenceError when a silence split finds none) or CueError.
SplitPlan BuildSplitPlan(CAudioFile& file, const SplitRequest& request, const CueSheet* sheet);

}  // namespace split
