#include "core/batch/BatchRun.h"

#include <vector>

#include "core/StringTable.h"

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

JobStatus CBatchRun::Status(int row) const {
  const BatchRow* record = rows_.Record(row);
  return record ? static_cast<JobStatus>(record->status) : JobStatus::Pending;
}

void CBatchRun::SetStatus(int row, JobStatus status) {
  if (BatchRow* record = rows_.Record(row)) record->status = static_cast<std::int32_t>(status);
}

int CBatchRun::FindConvertingRow() const {
  const int count = rows_.RowCount();
  for (int row = 0; row < count; ++row)
    if (Status(row) == JobStatus::Converting) return row;
  return count;
}

std::string CBatchRun::GetOutputFullPath(int row) const {
  return BatchJoinPath(rows_.Text(row, batchcol::kOutputPath), rows_.Text(row, batchcol::kOutput));
}

std::string CBatchRun::Reason() const {
  return job_.failureText.empty() ? LoadMessage(job_.result) : job_.failureText;
}

bool CBatchRun::WriteLogEntry(int row) {
  using namespace batchcol;
  return log_.WriteEntry({rows_.Text(row, kSource), rows_.Text(row, kSourcePath), rows_.Text(row, kOutput),
                          rows_.Text(row, kOutputPath), rows_.Text(row, kConvertTo), rows_.Text(row, kStatus),
                          Reason()});
}

void CBatchRun::StartRun() {
  // A second run never starts while a worker runs.
  if (Running()) return;
  log_.Open(logPath_);
  host_.EnableStop(true);
  OnJobFinished();
}

bool CBatchRun::FinishConvertingRows() {
  const int count = rows_.RowCount();
  for (int row = 0; row < count; ++row) {
    if (Status(row) != JobStatus::Converting) continue;
    rows_.SetSourceBold(row, false);
    rows_.HideProgress(row);
    if (stopRequested_) {
      SetStatus(row, JobStatus::Pending);
      rows_.SetStatusText(row, batchtext::kQueued, batchcolour::kBlack);
      FinishRun();
      if (closeRequested_) host_.CloseWindow();
      return false;
    }
    if (job_.result == err::kNone) {
      SetStatus(row, JobStatus::Done);
      rows_.SetStatusText(row, batchtext::kDone, batchcolour::kDoneGreen);
    } else {
      SetStatus(row, JobStatus::Failed);
      rows_.SetStatusText(row, batchtext::kFailed, batchcolour::kRed);
      WriteLogEntry(row);
    }
  }
  return true;
}

void CBatchRun::FailBeforeStart(int row, AudioError result) {
  SetStatus(row, JobStatus::Failed);
  rows_.SetSourceBold(row, false);
  rows_.SetStatusText(row, batchtext::kFailed, batchcolour::kRed);
  job_.result = result;
  job_.failureText.clear();
  WriteLogEntry(row);
}

bool CBatchRun::StartJob(int row) {
  BatchRow* record = rows_.Record(row);
  SetStatus(row, JobStatus::Converting);
  rows_.ScrollTo(row);
  rows_.SetSourceBold(row, true);
  if (record) record->shownPercent = 0;

  job_.sourcePath = record ? record->sourcePath : std::string();
  job_.sourceType = record ? record->sourceType : sourcetype::kUnknown;
  job_.sink = &sink_;
  job_.result = err::kNone;
  job_.failureText.clear();
  job_.overwrite = host_.OverwriteChecked() ? 1 : 0;
  job_.outputPath = GetOutputFullPath(row);
  job_.targetType = BatchTargetType(rows_.Text(row, batchcol::kConvertTo), job_.targetType);

  // The output must never replace a file of the list, its own source or
  // another row's, whatever Overwrite says.
  AudioError verdict = OutputRules().Check(job_.outputPath, job_.overwrite != 0);
  // A file of unknown type fails in the worker before anything is written.
  if (verdict == err::kOutputIsSource && job_.sourceType == sourcetype::kUnknown) verdict = err::kNone;
  if (verdict == err::kOutputIsSource) {
    FailBeforeStart(row, err::kOutputIsSource);
    return false;
  }
  if (verdict == err::kBatchOutputExists) {
    SetStatus(row, JobStatus::Pending);
    rows_.SetSourceBold(row, false);
    if (rows_.Text(row, batchcol::kStatus) != batchtext::kFileExists) {
      rows_.SetStatusText(row, batchtext::kFileExists, batchcolour::kRed);
      job_.result = err::kBatchOutputExists;
      WriteLogEntry(row);
    }
    return false;
  }

  progressCounter_ = 0;
  progressTotal_ = 0;
  progressStep_ = 0;
  postedPercent_ = 0;
  rows_.ShowProgress(row);
  host_.EnableConvertAll(false);
  state_ = BatchState::Converting;
  host_.StartWorker(job_);
  return true;
}

CBatchOutputRules& CBatchRun::OutputRules() {
  if (!outputRules_) {
    std::vector<std::string> paths;
    for (int row = 0, count = rows_.RowCount(); row < count; ++row)
      if (const BatchRow* record = rows_.Record(row)) paths.push_back(record->sourcePath);
    outputRules_ = std::make_unique<CBatchOutputRules>(paths, alsoProtected_);
  }
  return *outputRules_;
}

void CBatchRun::OnJobFinished() {
  const int count = rows_.RowCount();
  outputRules_.reset();
  if (!FinishConvertingRows()) return;
  progressCounter_ = 0;
  bool started = false;
  for (int row = 0; row < count && !started; ++row)
    if (rows_.IsChecked(row) && Status(row) == JobStatus::Pending) started = StartJob(row);
  UpdateOverallProgress();
  if (!started) FinishRun();
}

void CBatchRun::UpdateOverallProgress() {
  int checked = 0, finished = 0;
  for (int row = 0, count = rows_.RowCount(); row < count; ++row) {
    if (!rows_.IsChecked(row)) continue;
    ++checked;
    const JobStatus status = Status(row);
    if (status == JobStatus::Done || status == JobStatus::Failed) ++finished;
  }
  // The bar's maximum is a 16-bit value.
  host_.SetOverallProgress(checked & 0xFFFF, finished);
}

void CBatchRun::FinishRun() {
  std::uint32_t failures = 0, notConverted = 0;
  for (int row = 0, count = rows_.RowCount(); row < count; ++row) {
    const JobStatus status = Status(row);
    if (status == JobStatus::Pending) {
      ++notConverted;
      if (!rows_.IsChecked(row) && !stopRequested_) {
        job_.result = err::kBatchNotSelected;
        job_.failureText.clear();
        WriteLogEntry(row);
      }
    } else if (status == JobStatus::Failed) {
      ++failures;
    }
  }
  if (!stopRequested_) {
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

void CBatchRun::SetFileRange(std::uint32_t total, std::uint32_t step) {
  progressTotal_ = total;
  progressStep_ = step;
}

void CBatchRun::StepFile() {
  if (postedPercent_ >= 100 || progressTotal_ == 0) return;
  progressCounter_ += progressStep_;
  double percent = static_cast<double>(progressCounter_) / static_cast<double>(progressTotal_) * 100.0;
  if (percent > 100.0) percent = 100.0;
  const int whole = static_cast<int>(percent);
  if (whole <= postedPercent_) return;
  postedPercent_ = whole;
  host_.PostPercent(whole);
}

void CBatchRun::ShowPercent(int percent) {
  const int row = FindConvertingRow();
  BatchRow* record = rows_.Record(row);
  if (!record || percent <= record->shownPercent) return;
  record->shownPercent = percent;
  rows_.SetProgress(row, percent);
}
