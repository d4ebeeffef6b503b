#pragma once
// The waveform of one open file, from its facts to its peaks: which reader
// fits (WAV samples, MP3 envelope then exact decoding), the model they fill,
// and the deeper detail read on demand. Run() blocks; a window runs it on a
// worker thread and reads the model meanwhile.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/File.h"
#include "core/peaks/Mp3Peaks.h"
#include "core/peaks/PeakModel.h"
#include "core/peaks/WavePeaks.h"

class CAudioFile;

namespace peaks {

class CPeakJob {
 public:
  enum class Stage { Waiting, Envelope, Exact, Done, Cancelled, Failed };

  // The job for an open file; nullptr with whyNot set when its waveform
  // cannot be drawn.
  static std::unique_ptr<CPeakJob> For(CAudioFile& file, std::string& whyNot);
  ~CPeakJob();

  // MP3: scans (and stores the envelope), then decodes; WAV: reads. False
  // when cancelled or failed (Failure() tells why). For an MP3 the model
  // exists once the scan is over: Model() is null until then.
  bool Run(const std::atomic<bool>& cancel, unsigned threads, bool exact = true);

  // Called on the running thread as soon as the model exists (for an MP3,
  // when the scan is over), so a window can draw at once.
  void SetModelReady(std::function<void()> ready) { modelReady_ = std::move(ready); }

  Stage GetStage() const { return stage_.load(); }
  const std::string& Failure() const { return failure_; }
  std::shared_ptr<const CPeakModel> Model() const { return std::atomic_load(&model_); }

  // Points of samplesPerPoint samples covering [first, last), channel
  // interleaved, read from the file (deeper than the model's blocks).
  struct Detail {
    std::uint64_t firstSample = 0;  // where the first point begins (at or before first)
    std::uint32_t samplesPerPoint = 1;
    std::vector<Point> points;
  };
  Detail ReadDetail(std::uint64_t first, std::uint64_t last, std::uint32_t samplesPerPoint,
                    const std::atomic<bool>& cancel) const;
  unsigned Channels() const { return wave_ ? wave_->channels : mp3_ ? mp3_->channels : 0; }

 private:
  CPeakJob() = default;
  bool RunWave(const std::atomic<bool>& cancel, unsigned threads);
  bool RunMp3(const std::atomic<bool>& cancel, unsigned threads, bool exact);

  std::optional<WaveSource> wave_;
  std::optional<Mp3Source> mp3_;
  std::optional<Mp3Scan> scan_;
  CFile file_;  // read only with ReadAt, from any thread
  std::shared_ptr<CPeakModel> model_;
  std::atomic<Stage> stage_{Stage::Waiting};
  std::function<void()> modelReady_;
  std::string failure_;
};

}  // namespace peaks
