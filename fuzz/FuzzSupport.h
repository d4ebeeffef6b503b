#pragma once
// Shared by the fuzz harnesses: the bytes of one input become a file in a
// private scratch folder (on a RAM disk when there is one), outputs land in
// the same folder and are removed after every input; a quiet progress display
// that may cancel; the checks every harness applies to an outcome; and the
// operations every format's files offer, driven through the engine's one
// interface so that a format's operation harness is a single call.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "core/AudioError.h"
#include "core/AudioFailure.h"
#include "core/Progress.h"

namespace fz {

// The scratch folder of this process, created on first use, removed at exit.
// It lies in $KESTRUNE_FUZZ_SCRATCH when set (fuzz/run removes that folder
// even after a crash), else on /dev/shm or in the system's temp folder.
const std::string& Scratch();
// Path of a file in the scratch folder.
std::string ScratchFile(const std::string& name);
// Writes the input bytes to name in the scratch folder; returns its path.
std::string WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size);
// Removes every file of the scratch folder but keep.
void ClearScratch(const std::string& keep);

// A progress display that shows nothing, counts the file bar's steps and asks
// the operation to stop once it has seen a given number of them.
class CancelAfterSteps : public CProgressSink {
 public:
  // 0: never cancels.
  explicit CancelAfterSteps(std::uint32_t fileSteps) : cancelAfter_(fileSteps) {}
  void Changed(const CProgressState& state, ProgressChange change) override;
  bool IsCancelled() override { return cancelAfter_ != 0 && steps_ >= cancelAfter_; }
  std::uint32_t Steps() const { return steps_; }

 private:
  std::uint32_t cancelAfter_;
  std::uint32_t steps_ = 0;
};

// The progress reporter an operation takes, over a CancelAfterSteps.
class FuzzProgress : public CancelAfterSteps, public CProgress {
 public:
  explicit FuzzProgress(std::uint32_t cancelAfterSteps)
      : CancelAfterSteps(cancelAfterSteps), CProgress(static_cast<CancelAfterSteps*>(this)) {}
  using CProgress::IsCancelled;
};

// Aborts (a finding) when a non-zero outcome has no message in the catalogue.
void CheckOutcome(AudioError code);

// The option bytes at the start of an operation harness's input.
struct Controls {
  std::uint8_t op = 0, a = 0, b = 0, c = 0;
  static constexpr std::size_t kSize = 4;
  // Takes the first four bytes (zeros when the input is shorter).
  static Controls Take(const std::uint8_t*& data, std::size_t& size);
};

// The most operations a file offers: three cuts, the conversions of the
// Convert menu and the FLAC encoding. The seeds of an operation harness try each of them.
inline constexpr int kMostOperations = 9;

// An operation harness's whole body: the input after its control bytes is
// written as a file named "input" + extension, opened through the format
// registry (the format that claims the extension), and given the operation
// the controls choose among those the file offers, then the next one on the
// same object. Returns 0.
int RunOperations(const char* extension, const std::uint8_t* data, std::size_t size);

// Runs body, treating an engine failure as an ordinary outcome (its message
// must be non-empty, as the operation runner shows it) and anything else
// thrown as a finding.
template <class Body>
void Guarded(Body body) {
  try {
    body();
  } catch (const CAudioFailure& e) {
    if (e.Text().empty()) {
      std::fprintf(stderr, "failure %u without a message\n", e.Code());
      std::abort();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "unexpected exception: %s\n", e.what());
    std::abort();
  } catch (...) {
    std::fprintf(stderr, "unexpected exception of unknown type\n");
    std::abort();
  }
}

}  // namespace fz
