#include "core/peaks/PeakJob.h"

#include <algorithm>

#include "core/AudioFile.h"
#include "core/OperationRunner.h"

namespace peaks {

std::unique_ptr<CPeakJob> CPeakJob::For(CAudioFile& file, std::string& whyNot) {
  std::unique_ptr<CPeakJob> job(new CPeakJob);
  job->source_ = file.MakePeakSource(whyNot);
  if (!job->source_) return nullptr;
  job->model_ = job->source_->InitialModel();
  if (!job->file_.Open(file.GetFilePath(), CFile::Mode::ReadShared)) {
    whyNot =
        "The waveform cannot be drawn: " + CFileException(FileCause::Generic, file.GetFilePath()).Message();
    return nullptr;
  }
  return job;
}

CPeakJob::~CPeakJob() = default;

bool CPeakJob::Run(const std::atomic<bool>& cancel, unsigned threads, bool exact) {
  CPeakSource::Hooks hooks;
  hooks.entering = [this](CPeakSource::Pass pass) {
    stage_ = pass == CPeakSource::Pass::Envelope ? Stage::Envelope : Stage::Exact;
  };
  hooks.publish = [this](std::shared_ptr<CPeakModel> model) {
    // Before anything is stored in it by the passes that follow.
    model->SetStored(filled_);
    std::atomic_store(&model_, std::move(model));
    if (modelReady_) modelReady_();
  };
  // Through the engine's runner: nothing may escape the drawing thread.
  bool done = false;
  const OperationOutcome outcome =
      RunAndCatch(file_.GetFilePath(), [&] { done = source_->Run(file_, cancel, threads, exact, hooks); });
  if (!outcome.Finished()) {
    failure_ = outcome.text;
    stage_ = Stage::Failed;
    return false;
  }
  stage_ = done ? Stage::Done : Stage::Cancelled;
  return done;
}

CPeakJob::Detail CPeakJob::ReadDetail(std::uint64_t first, std::uint64_t last, std::uint32_t samplesPerPoint,
                                      const std::atomic<bool>& cancel) const {
  return source_->ReadDetail(file_, first, last, std::max<std::uint32_t>(samplesPerPoint, 1), cancel);
}

}  // namespace peaks
