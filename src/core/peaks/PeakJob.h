#pragma once
// The waveform of one open file, from its facts to its peaks: the reader
// its format gives (core/PeakSource.h), the model it fills, and the deeper
// detail read on demand. Run() blocks; a window runs it on a worker thread
// and reads the model meanwhile.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/File.h"
#include "core/PeakModel.h"
#include "core/PeakSource.h"

class CAudioFile;

namespace peaks {

class CPeakJob {
 public:
  enum class Stage { Waiting, Envelope, Exact, Done, Cancelled, Failed };

  // The job for an open file; nullptr with whyNot set when its waveform
  // cannot be drawn.
  static std::unique_ptr<CPeakJob> For(CAudioFile& file, std::string& whyNot);
  ~CPeakJob();

  // A coded stream: its quick envelope first (the model exists once that
  // is over), then the exact decode; PCM: reads. False when cancelled or
  // failed (Failure() tells why).
  bool Run(const std::atomic<bool>& cancel, unsigned threads, bool exact = true);

  // Called on the running thread as soon as the model exists, so a window
  // can draw at once.
  void SetModelReady(std::function<void()> ready) { modelReady_ = std::move(ready); }
  // Called on the running threads whenever more of the model is filled,
  // so a window can redraw as it fills. Set before Run.
  void SetFilled(std::function<void()> filled) { filled_ = std::move(filled); }

  Stage GetStage() const { return stage_.load(); }
  const std::string& Failure() const { return failure_; }
  std::shared_ptr<const CPeakModel> Model() const { return std::atomic_load(&model_); }

  using Detail = PeakDetail;
  Detail ReadDetail(std::uint64_t first, std::uint64_t last, std::uint32_t samplesPerPoint,
                    const std::atomic<bool>& cancel) const;
  unsigned Channels() const { return source_->Channels(); }

 private:
  CPeakJob() = default;

  std::unique_ptr<CPeakSource> source_;
  CFile file_;  // read only with ReadAt, from any thread
  std::shared_ptr<CPeakModel> model_;
  std::atomic<Stage> stage_{Stage::Waiting};
  std::function<void()> modelReady_;
  std::function<void()> filled_;
  std::string failure_;
};

}  // namespace peaks
