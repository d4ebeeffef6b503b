#include "core/batch/BatchQueue.h"

#include <algorithm>

#include "core/batch/BatchNaming.h"

std::string BatchQueueJob::SourceName() const {
  return BatchFileName(sourcePath);
}

std::string BatchQueueJob::SourceFolder() const {
  return BatchFolder(sourcePath);
}

std::string BatchQueueJob::Extension() const {
  return BatchExtension(sourcePath);
}

std::string BatchQueueJob::OutputPath() const {
  return BatchJoinPath(outputFolder, outputName);
}

BatchQueueJob MakeBatchQueueJob(const std::string& path) {
  BatchQueueJob job;
  job.sourcePath = path;
  job.sourceFormat = BatchSourceFormat(BatchExtension(path));
  job.target = BatchTargetFormat(job.sourceFormat);
  job.outputFolder = BatchFolder(path);
  job.outputName = BatchOutputName(BatchFileName(path), BatchFormatExtension(job.target));
  job.checked = job.sourceFormat != nullptr;
  job.status = job.WaitingStatus();
  return job;
}

int CBatchQueue::IndexOf(std::uint64_t id) const {
  // A linear walk: it runs once per step of a run or percentage shown, over
  // lists of thousands at most.
  for (std::size_t i = 0; i < jobs_.size(); ++i)
    if (jobs_[i].id == id) return static_cast<int>(i);
  return -1;
}

void CBatchQueue::Insert(int at, std::vector<BatchQueueJob> jobs) {
  if (jobs.empty()) return;
  at = std::clamp(at, 0, Count());
  for (BatchQueueJob& job : jobs) job.id = nextId_++;
  const int last = at + static_cast<int>(jobs.size()) - 1;
  if (observer_) observer_->JobsInserting(at, last);
  jobs_.insert(jobs_.begin() + at, std::make_move_iterator(jobs.begin()),
               std::make_move_iterator(jobs.end()));
  if (observer_) observer_->JobsInserted();
}

void CBatchQueue::RemoveIf(const std::function<bool(const BatchQueueJob&)>& match) {
  // From the end, one stretch of neighbours at a time, so a view is told of
  // a few removals rather than one per job.
  int end = Count();
  while (end > 0) {
    while (end > 0 && !match(jobs_[static_cast<std::size_t>(end - 1)])) --end;
    int first = end;
    while (first > 0 && match(jobs_[static_cast<std::size_t>(first - 1)])) --first;
    if (first == end) break;
    if (observer_) observer_->JobsRemoving(first, end - 1);
    jobs_.erase(jobs_.begin() + first, jobs_.begin() + end);
    if (observer_) observer_->JobsRemoved();
    end = first;
  }
}

void CBatchQueue::SetChecked(int index, bool checked) {
  if (Job(index).checked == checked) return;
  Job(index).checked = checked;
  Changed(index, JobField::Checked);
}

void CBatchQueue::SetAllChecked(bool checked) {
  for (BatchQueueJob& job : jobs_) job.checked = checked;
  if (observer_ && !jobs_.empty()) observer_->AllJobsChanged(JobField::Checked);
}

void RetargetBatchJob(BatchQueueJob& job, BatchFormat target) {
  job.target = target;
  job.outputName = BatchOutputName(job.outputName, BatchFormatExtension(target));
}

void CBatchQueue::SetTarget(int index, BatchFormat target) {
  RetargetBatchJob(Job(index), target);
  Changed(index, JobField::Target);
  Changed(index, JobField::Output);
}

void CBatchQueue::SetOutput(int index, const std::string& folder, const std::string& name) {
  Job(index).outputFolder = folder;
  Job(index).outputName = name;
  Changed(index, JobField::Output);
}

void CBatchQueue::SetStatus(int index, JobStatus status, std::string reason) {
  BatchQueueJob& job = Job(index);
  job.status = status;
  job.reason = std::move(reason);
  if (status == JobStatus::Converting) job.percent = 0;
  Changed(index, JobField::Status);
}

void CBatchQueue::SetPercent(int index, int percent) {
  Job(index).percent = std::clamp(percent, 0, 100);
  Changed(index, JobField::Percent);
}
