#include "core/batch/BatchRun.h"

#include <algorithm>

#include "core/StringTable.h"
#include "core/batch/BatchNaming.h"

std::string BatchSummaryText(std::uint32_t failures, std::uint32_t notConverted) {
  if (failures > 0 && notConverted > 0)
    return FormatText(
        "%u failures encountered. %u files not converted\nPlease view log file for more information",
        failures, notConverted);
  if (failures > 0)
    return FormatText("%u failures encountered. Please view log file for more information", failures);
  if (notConverted > 0)
    return FormatText("%u files not converted. Please view log file for more information", notConverted);
  return batchlog::kSuccessLine;
}

// The progress sink of one converting job, on its worker thread: counts the
// file's steps into a whole percentage the front end is handed when it
// grows, keeps the share done for the command line's bar, and turns a stop
// into the conversion's cancel request, noting that the job saw it.
class CBatchRun::JobProgress : public CProgressSink {
 public:
  JobProgress(CBatchRun& run, std::uint64_t id) : run_(run), id_(id) {}

  void Changed(const CProgressState& state, ProgressChange change) override {
    if (change == ProgressChange::FileRange) {
      total_ = state.file.maximum;
      step_ = state.file.step;
    }
    if (change != ProgressChange::FileStep) return;
    Count();
    run_.host_.FileStepped(id_);
  }
  bool IsCancelled() override {
    if (!run_.stopRequested_ && !run_.host_.CancelRequested()) return false;
    sawStop_ = true;
    return true;
  }

  double Fraction() const {
    const std::uint32_t total = total_;
    return total ? std::min(1.0, static_cast<double>(counter_) / total) : 0.0;
  }
  bool SawStop() const { return sawStop_; }

 private:
  void Count() {
    // Steps past the announced total never show more than 100 %.
    const std::uint32_t total = total_;
    if (posted_ >= 100 || total == 0) return;
    counter_ += step_;
    const double percent =
        std::min(100.0, static_cast<double>(counter_) / static_cast<double>(total) * 100.0);
    const int whole = static_cast<int>(percent);
    if (whole <= posted_) return;
    posted_ = whole;
    run_.host_.PostPercent(id_, whole);
  }

  CBatchRun& run_;
  const std::uint64_t id_;
  std::atomic<std::uint32_t> total_{0};
  std::atomic<std::uint32_t> step_{0};
  std::atomic<std::uint32_t> counter_{0};
  int posted_ = 0;  // worker thread only
  std::atomic<bool> sawStop_{false};
};

struct CBatchRun::Converting {
  Converting(CBatchRun& run, std::uint64_t id) : progress(run, id) {}
  BatchJob job;
  JobProgress progress;
};

CBatchRun::CBatchRun(CBatchQueue& queue, CBatchRunHost& host, BatchRunOptions options)
    : queue_(queue), host_(host), options_(std::move(options)) {
  if (options_.atOnce < 1) options_.atOnce = 1;
}

CBatchRun::~CBatchRun() = default;

bool CBatchRun::Eligible(const BatchQueueJob& job) const {
  if (!job.checked) return false;
  // Checked before the start, only the jobs that passed remain Queued.
  return options_.checkAllFirst ? job.status == JobStatus::Queued : IsWaiting(job.status);
}

CBatchOutputRules& CBatchRun::OutputRules() {
  if (!outputRules_) {
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(queue_.Count()));
    for (int i = 0, count = queue_.Count(); i < count; ++i) paths.push_back(queue_.At(i).sourcePath);
    outputRules_ = std::make_unique<CBatchOutputRules>(paths, alsoProtected_);
  }
  return *outputRules_;
}

BatchLogEntry CBatchRun::EntryOf(int index, const std::string& reason) const {
  const BatchQueueJob& job = queue_.At(index);
  return {job.SourceName(),
          job.SourceFolder(),
          job.outputName,
          job.outputFolder,
          BatchFormatText(job.target),
          BatchStatusText(job.status),
          reason};
}

bool CBatchRun::WriteLogEntry(int index, std::optional<std::string> reason) {
  return log_.WriteEntry(EntryOf(index, reason ? *reason : queue_.At(index).reason));
}

void CBatchRun::Start() {
  // A second run never starts while a worker runs.
  if (Running()) return;
  endedByStop_ = false;
  logOpened_ = log_.Open(options_.logPath);
  host_.EnableStop(true);
  cursor_ = 0;
  outputRules_.reset();
  if (options_.logInQueueOrder) {
    heldEntries_.assign(static_cast<std::size_t>(queue_.Count()), std::nullopt);
    settled_.assign(static_cast<std::size_t>(queue_.Count()), false);
    logged_ = 0;
  }
  if (options_.checkAllFirst) CheckAll();
  Step();
}

void CBatchRun::CheckAll() {
  CBatchOutputRules& rules = OutputRules();
  const bool overwrite = host_.OverwriteChecked();
  for (int i = 0, count = queue_.Count(); i < count; ++i) {
    const BatchQueueJob& job = queue_.At(i);
    if (!job.checked || !IsWaiting(job.status)) continue;
    if (job.sourceFormat == nullptr) {
      HoldBack(i, JobStatus::Failed, err::kBatchUnknownType);
      continue;
    }
    // An output an earlier job of the run writes counts as existing too.
    const AudioError verdict = rules.Check(job.OutputPath(), overwrite);
    if (verdict == err::kOutputIsSource) HoldBack(i, JobStatus::Failed, verdict);
    if (verdict == err::kBatchOutputExists) HoldBack(i, ExistingOutputStatus(job.OutputPath()), verdict);
  }
}

void CBatchRun::OnJobEnded(std::uint64_t id, bool converted) {
  const auto found = converting_.find(id);
  if (found == converting_.end()) return;
  const std::unique_ptr<Converting> ended = std::move(found->second);
  converting_.erase(found);
  const int index = queue_.IndexOf(id);
  if (index >= 0) {
    const BatchJob& job = ended->job;
    if (!converted) {
      // A worker declines a job only because of a stop it saw first.
      stopRequested_ = true;
      queue_.SetStatus(index, queue_.At(index).WaitingStatus());
    } else if (ended->progress.SawStop()) {
      queue_.SetStatus(index, queue_.At(index).WaitingStatus());
      Settle(index, false);
    } else if (job.result == err::kNone) {
      queue_.SetStatus(index, JobStatus::Done);
      Settle(index, false);
    } else {
      queue_.SetStatus(index, JobStatus::Failed,
                       job.failureText.empty() ? LoadMessage(job.result) : job.failureText);
      Settle(index, true);
    }
  }
  Step();
}

void CBatchRun::Step() {
  // Rules made afresh: sources may have come or gone, outputs been written.
  if (!options_.checkAllFirst) outputRules_.reset();
  if (stopRequested_) {
    if (converting_.empty()) FinishRun();
    return;
  }
  const int count = queue_.Count();
  int i = options_.checkAllFirst ? cursor_ : 0;
  for (; i < count && converting_.size() < options_.atOnce; ++i) {
    if (!Eligible(queue_.At(i))) continue;
    if (options_.checkAllFirst)
      Launch(i, host_.OverwriteChecked());
    else
      TryStart(i);
  }
  if (options_.checkAllFirst) cursor_ = i;
  if (converting_.empty()) {
    FinishRun();
    return;
  }
  UpdateOverallProgress();
}

bool CBatchRun::TryStart(int index) {
  host_.JobTried(index);
  const BatchQueueJob& job = queue_.At(index);
  const bool overwrite = host_.OverwriteChecked();
  // The output must never replace a file of the list, its own source or
  // another job's, whatever Overwrite says.
  AudioError verdict = OutputRules().Check(job.OutputPath(), overwrite);
  // A file of unknown type fails in the worker before anything is written.
  if (verdict == err::kOutputIsSource && job.sourceFormat == nullptr) verdict = err::kNone;
  if (verdict == err::kOutputIsSource) {
    HoldBack(index, JobStatus::Failed, verdict);
    return false;
  }
  if (verdict == err::kBatchOutputExists) {
    HoldBack(index, ExistingOutputStatus(job.OutputPath()), verdict);
    return false;
  }
  Launch(index, overwrite);
  return true;
}

void CBatchRun::Launch(int index, bool overwrite) {
  const BatchQueueJob& entry = queue_.At(index);
  auto converting = std::make_unique<Converting>(*this, entry.id);
  BatchJob& job = converting->job;
  job.sourcePath = entry.sourcePath;
  job.outputPath = entry.OutputPath();
  job.source = entry.sourceFormat;
  job.target = entry.target;
  job.sink = &converting->progress;
  job.overwrite = overwrite ? 1 : 0;
  const std::uint64_t id = entry.id;
  queue_.SetStatus(index, JobStatus::Converting);
  host_.EnableConvertAll(false);
  state_ = BatchState::Converting;
  converting_.emplace(id, std::move(converting));
  host_.StartWorker(id, job);
}

JobStatus CBatchRun::ExistingOutputStatus(const std::string& output) {
  return options_.skipExisting && !OutputRules().Claimed(output) ? JobStatus::Skipped : JobStatus::FileExists;
}

void CBatchRun::HoldBack(int index, JobStatus status, AudioError result) {
  // A job held back again for the same reason keeps its one entry.
  if (status == JobStatus::FileExists && queue_.At(index).status == JobStatus::FileExists) return;
  queue_.SetStatus(index, status, LoadMessage(result));
  Settle(index, true);
}

void CBatchRun::Settle(int index, bool hasEntry) {
  host_.JobSettled(index);
  if (!options_.logInQueueOrder) {
    if (hasEntry) WriteLogEntry(index);
    return;
  }
  const std::size_t at = static_cast<std::size_t>(index);
  if (at >= settled_.size()) return;
  if (hasEntry) heldEntries_[at] = EntryOf(index, queue_.At(index).reason);
  settled_[at] = true;
  FlushHeldEntries(false);
}

void CBatchRun::FlushHeldEntries(bool all) {
  for (; logged_ < settled_.size() && (all || settled_[logged_]); ++logged_)
    if (heldEntries_[logged_]) log_.WriteEntry(*heldEntries_[logged_]);
}

void CBatchRun::UpdateOverallProgress() {
  int checked = 0, finished = 0;
  for (int i = 0, count = queue_.Count(); i < count; ++i) {
    const BatchQueueJob& job = queue_.At(i);
    if (!job.checked) continue;
    ++checked;
    if (job.status == JobStatus::Done || job.status == JobStatus::Failed || job.status == JobStatus::Skipped)
      ++finished;
  }
  // The bar's maximum is a 16-bit value.
  host_.SetOverallProgress(checked & 0xFFFF, finished);
}

void CBatchRun::FinishRun() {
  const bool stopped = stopRequested_;
  std::uint32_t failures = 0, notConverted = 0;
  for (int i = 0, count = queue_.Count(); i < count; ++i) {
    const BatchQueueJob& job = queue_.At(i);
    if (IsWaiting(job.status)) {
      ++notConverted;
      if (job.checked || stopped) continue;
      const std::string reason = LoadMessage(err::kBatchNotSelected);
      const std::size_t at = static_cast<std::size_t>(i);
      if (!options_.logInQueueOrder)
        WriteLogEntry(i, reason);
      else if (at < settled_.size())
        heldEntries_[at] = EntryOf(i, reason);
    } else if (job.status == JobStatus::Failed) {
      ++failures;
    }
  }
  if (options_.logInQueueOrder) FlushHeldEntries(true);
  if (!stopped) {
    const std::string text = BatchSummaryText(failures, notConverted);
    const bool allConverted = failures == 0 && notConverted == 0;
    if (allConverted) log_.WriteClosingLine(batchlog::kSuccessLine);
    // The log is complete before the box waits for the user.
    log_.Close();
    host_.ShowSummary(text, !allConverted);
  } else {
    log_.WriteClosingLine(batchlog::kAbortLine);
  }
  host_.SetOverallProgress(0, 0);
  log_.Close();
  if (notConverted > 0) {
    host_.EnableConvertAll(true);
    state_ = BatchState::Unfinished;
  } else {
    host_.EnableConvertAll(false);
    state_ = BatchState::Idle;
  }
  host_.EnableStop(false);
  stopRequested_ = false;
  endedByStop_ = stopped;
  if (stopped && closeRequested_) host_.CloseWindow();
}

void CBatchRun::OnFilesAdded() {
  if (Running()) return;
  state_ = BatchState::FilesAdded;
  host_.EnableConvertAll(true);
}

void CBatchRun::OnListEmptied() {
  if (Running()) return;
  state_ = BatchState::Idle;
  host_.EnableConvertAll(false);
}

void CBatchRun::ShowPercent(std::uint64_t id, int percent) {
  const int index = queue_.IndexOf(id);
  if (index < 0) return;
  const BatchQueueJob& job = queue_.At(index);
  if (job.status != JobStatus::Converting || percent <= job.percent) return;
  queue_.SetPercent(index, percent);
}

double CBatchRun::Fraction(std::uint64_t id) const {
  const auto found = converting_.find(id);
  return found == converting_.end() ? 0.0 : found->second->progress.Fraction();
}

std::vector<std::uint64_t> CBatchRun::ConvertingJobs() const {
  std::vector<std::uint64_t> ids;
  for (const auto& [id, converting] : converting_) ids.push_back(id);
  return ids;
}
