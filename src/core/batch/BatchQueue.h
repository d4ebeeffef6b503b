#pragma once
// The batch queue: the jobs of the Batch Convert window's list and of a
// kestrune-cli batch run, each with typed fields. It knows nothing of
// columns, texts or colours; a front end shows the jobs as it likes and
// follows their changes through an observer.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/batch/BatchTypes.h"

struct BatchQueueJob {
  std::uint64_t id = 0;  // given by the queue, never reused: a job is followed by it while rows come and go
  std::string sourcePath;
  BatchFormat sourceFormat = nullptr;
  BatchFormat target = nullptr;
  std::string outputFolder;  // ends in "/" as the folder of a path does
  std::string outputName;
  bool checked = false;
  JobStatus status = JobStatus::Queued;
  // Why the job failed or was held back (the log's reason); empty otherwise.
  std::string reason;
  int percent = 0;  // of its conversion while it converts: whole, only growing, at most 100

  std::string SourceName() const;
  std::string SourceFolder() const;
  std::string Extension() const;
  std::string OutputPath() const;
  // The status a job goes back to when it waits again.
  JobStatus WaitingStatus() const {
    return sourceFormat == nullptr ? JobStatus::UnknownType : JobStatus::Queued;
  }
};

// A job for a file as Add Files and the command line make it: typed by its
// extension, converting to the other format beside its source, checked
// unless its type is unknown.
BatchQueueJob MakeBatchQueueJob(const std::string& path);
// Sets the job's target, and its output name's extension with it.
void RetargetBatchJob(BatchQueueJob& job, BatchFormat target);

// What changed in a job, so a view redraws only what shows it.
enum class JobField { Checked, Target, Output, Status, Percent };

// Told of every change, on the thread that makes it. Insertions and
// removals come in pairs around the change, as a table model needs them.
class CBatchQueueObserver {
 public:
  virtual ~CBatchQueueObserver() = default;
  virtual void JobsInserting(int first, int last) = 0;
  virtual void JobsInserted() = 0;
  virtual void JobsRemoving(int first, int last) = 0;
  virtual void JobsRemoved() = 0;
  virtual void JobChanged(int index, JobField field) = 0;
  // The field of every job changed at once (the check-all box).
  virtual void AllJobsChanged(JobField field) = 0;
};

class CBatchQueue {
 public:
  void SetObserver(CBatchQueueObserver* observer) { observer_ = observer; }

  int Count() const { return static_cast<int>(jobs_.size()); }
  const BatchQueueJob& At(int index) const { return jobs_[static_cast<std::size_t>(index)]; }
  // The index of the job with this id, or -1 once it has been removed.
  int IndexOf(std::uint64_t id) const;

  // Inserts jobs before index at, in their order, giving each its id.
  void Insert(int at, std::vector<BatchQueueJob> jobs);
  // Removes every job that matches, keeping the others' order.
  void RemoveIf(const std::function<bool(const BatchQueueJob&)>& match);

  void SetChecked(int index, bool checked);
  void SetAllChecked(bool checked);
  void SetTarget(int index, BatchFormat target);
  void SetOutput(int index, const std::string& folder, const std::string& name);
  // The status, and the reason that goes with it (empty for none).
  void SetStatus(int index, JobStatus status, std::string reason = {});
  void SetPercent(int index, int percent);

 private:
  BatchQueueJob& Job(int index) { return jobs_[static_cast<std::size_t>(index)]; }
  void Changed(int index, JobField field) {
    if (observer_) observer_->JobChanged(index, field);
  }

  std::vector<BatchQueueJob> jobs_;
  std::uint64_t nextId_ = 1;
  CBatchQueueObserver* observer_ = nullptr;
};
