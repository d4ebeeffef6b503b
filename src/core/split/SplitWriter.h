#pragma once
// Writes the pieces of a confirmed plan: each through the file's sample-exact
// selection save (gapless MP3 pieces, exact WAV pieces), then tagged. No
// piece may replace the source; a piece that fails is removed, the pieces
// written before it stay whole and are named in the message.

#include <functional>
#include <string>
#include <vector>

#include "core/AudioFailure.h"
#include "core/split/SplitPlan.h"

class CAudioFile;
class CProgress;

namespace split {

class WriteError : public CAudioFailure {
 public:
  // path: the piece (or the folder of the pieces); text: the whole message.
  WriteError(std::string path, std::string text, int osError = 0)
      : CAudioFailure(err::kPieceWrite, std::move(path), osError, std::move(text)) {}
};

struct WriteOutcome {
  std::vector<std::string> written;
  bool cancelled = false;
};

// file is the open source (opened without an owner: nothing is shown per
// piece). Each piece appears under its name whole and tagged, or not at
// all. A cancel removes the piece it stopped, unless keepCancelled: then
// that piece stays, honest and tagged, as far as it was written. Throws
// WriteError with the reason and the pieces already written.
WriteOutcome WriteSplit(CAudioFile& file, const SplitPlan& plan, CProgress* progress,
                        bool keepCancelled = false);

}  // namespace split
