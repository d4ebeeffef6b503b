#pragma once
// Shared by the fuzz harnesses: the bytes of one input become a file in a
// private scratch folder (on a RAM disk when there is one), outputs land in
// the same folder and are removed after every input; a quiet progress window
// that may cancel; and the checks every harness applies to an outcome.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "core/AudioError.h"
#include "core/File.h"
#include "core/Progress.h"

namespace fz {

// The scratch folder of this process, created on first use, removed at exit.
const std::string& Scratch();
// Path of a file in the scratch folder.
std::string ScratchFile(const std::string& name);
// Writes the input bytes to name in the scratch folder; returns its path.
std::string WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size);
// Removes every file of the scratch folder but keep.
void ClearScratch(const std::string& keep);

// Counts steps and asks to cancel after a given number of file-bar steps.
class FuzzProgress : public CProgressCounter {
 public:
  explicit FuzzProgress(std::uint32_t cancelAfterSteps) : cancelAfter_(cancelAfterSteps) {}
  void StepFile() override;
  void StepBoth() override;

 private:
  void Count();
  std::uint32_t cancelAfter_;  // 0: never
  std::uint32_t steps_ = 0;
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

// Runs body, treating a file-layer failure as an ordinary outcome (its
// message must be non-empty) and anything else thrown as a finding.
template <class Body>
void Guarded(Body body) {
  try {
    body();
  } catch (const CFileException& e) {
    if (e.Message().empty()) {
      std::fprintf(stderr, "file failure without a message\n");
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
