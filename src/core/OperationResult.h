#pragma once
// What an operation of the engine hands back to its front end. The engine
// never shows anything itself: an operation returns its outcome code and,
// where a finished operation has something to say ("This selection will
// last for ..."), the notice the window shows in a box and the command-line
// tool prints. Failures that end an operation are CAudioFailures instead
// (core/AudioFailure.h), caught by the operation runner.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "core/AudioError.h"

enum class MessageIcon { None, Information, Warning, Error, Question };

struct OperationNotice {
  std::string caption;
  std::string text;
  MessageIcon icon = MessageIcon::Information;
};

struct OperationResult {
  OperationResult() = default;
  OperationResult(AudioError code, std::optional<OperationNotice> shown = std::nullopt)
      : error(code), notice(std::move(shown)) {}

  AudioError error = err::kNone;
  std::optional<OperationNotice> notice;  // shown when the operation finished

  bool Ok() const { return error == err::kNone; }
};

// An equal split as the Shred Equally dialog or the command line asks for it.
struct ShredRequest {
  std::uint32_t numberOfSplits = 2;
  std::string baseFilename;  // empty: use the source file's own path
};
