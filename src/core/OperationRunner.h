#pragma once
// The one way a front end runs an operation of the engine: whatever ends it
// (a CAudioFailure, a failed allocation, a fault of no known kind) is caught
// and becomes an outcome with the text to show, so no exception escapes a
// window's command, a CLI verb or a batch job.

#include <functional>
#include <string>

#include "core/AudioError.h"

struct OperationOutcome {
  enum class Ending {
    Finished,     // ran to its end, or was cancelled
    Failed,       // a CAudioFailure ended it
    OutOfMemory,  // an allocation failed
    Unexpected,   // anything else was thrown
  };
  Ending ending = Ending::Finished;
  AudioError code = err::kNone;  // the failure's code; kNoMemory, kUnexpected
  std::string path;              // the file the failure names; may be empty
  int osError = 0;               // the system's reason, 0 when none
  std::string text;              // the message; empty when it finished

  bool Finished() const { return ending == Ending::Finished; }
};

// Runs operation and returns how it ended. fallbackPath names the file in
// the message of a fault of no known kind ("An unknown error occurred while
// accessing ...") and is the outcome's path when the failure names none.
OperationOutcome RunAndCatch(const std::string& fallbackPath, const std::function<void()>& operation);
