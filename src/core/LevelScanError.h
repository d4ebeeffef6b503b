#pragma once
// Why a level scan could not run: the file and the reason, as one sentence
// (a CAudioFailure with code err::kLevelScan).

#include <string>

#include "core/AudioFailure.h"

namespace split {

class ScanError : public CAudioFailure {
 public:
  // path: the file scanned; text: the whole message, which names it.
  ScanError(std::string path, std::string text, int osError = 0, AudioError code = err::kLevelScan)
      : CAudioFailure(code, std::move(path), osError, std::move(text)) {}
};

}  // namespace split
