#pragma once
// Why a level scan could not run: the file and the reason, as one sentence.

#include <string>

#include "core/AudioFailure.h"

namespace split {

class ScanError : public CAudioFailure {
 public:
  explicit ScanError(std::string text, AudioError code = err::kLevelScan)
      : CAudioFailure(code, {}, 0, std::move(text)) {}
};

}  // namespace split
