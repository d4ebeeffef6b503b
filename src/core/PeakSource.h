#pragma once
// The reader of one file's waveform peaks, as its format makes it: a PCM
// file reads its samples, a coded stream may first draw a quick envelope and
// then decode. The waveform's job (core/peaks/PeakJob.h) runs it on a worker
// thread and the window reads the model it publishes meanwhile.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/PeakModel.h"

class CFile;

namespace peaks {

// Points of samplesPerPoint samples covering a stretch, channel interleaved,
// read from the file (deeper than the model's blocks).
struct PeakDetail {
  std::uint64_t firstSample = 0;  // where the first point begins (at or before the first asked)
  std::uint32_t samplesPerPoint = 1;
  std::vector<Point> points;
};

class CPeakSource {
 public:
  enum class Pass { Envelope, Exact };
  // Told as each pass begins, and when a model exists to draw.
  struct Hooks {
    std::function<void(Pass)> entering;
    std::function<void(std::shared_ptr<CPeakModel>)> publish;
  };

  virtual ~CPeakSource() = default;
  virtual unsigned Channels() const = 0;
  // The model before any pass has run, when the format knows its shape at
  // once (PCM); nullptr when the first pass makes it.
  virtual std::shared_ptr<CPeakModel> InitialModel() const { return nullptr; }
  // Runs the passes over file (read with ReadAt only); without exact only
  // the quick pass where there is one. False when cancelled. File failures
  // propagate.
  virtual bool Run(const CFile& file, const std::atomic<bool>& cancel, unsigned threads, bool exact,
                   const Hooks& hooks) = 0;
  // Points of samplesPerPoint samples covering [first, last); empty points
  // while the source cannot read them yet.
  virtual PeakDetail ReadDetail(const CFile& file, std::uint64_t first, std::uint64_t last,
                                std::uint32_t samplesPerPoint, const std::atomic<bool>& cancel) const = 0;
};

}  // namespace peaks
