#pragma once
// The batch run: one machine for the Batch Convert window and for
// kestrune-cli batch. It takes the checked waiting jobs of a CBatchQueue in
// order, at most atOnce converting at a time, checks each output against the
// output rules, writes the log and ends with the summary. It runs on one
// thread (the window's, the command line's main thread); workers reach it
// only through the progress of their job and the front end's report that a
// job ended (OnJobEnded, called back on the run's thread).

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Progress.h"
#include "core/batch/BatchLog.h"
#include "core/batch/BatchOutputRules.h"
#include "core/batch/BatchQueue.h"
#include "core/batch/BatchTypes.h"

// What the run needs from its front end. Only StartWorker, OverwriteChecked
// and ShowSummary are needed by every front end; the rest are the window's.
class CBatchRunHost {
 public:
  virtual ~CBatchRunHost() = default;
  // Converts job on a worker thread; once the job's result is written (or
  // the worker declined to start it) the front end calls
  // CBatchRun::OnJobEnded on the run's thread.
  virtual void StartWorker(std::uint64_t id, BatchJob& job) = 0;
  virtual bool OverwriteChecked() const = 0;
  // The end-of-run text; exclamation when not every file converted.
  virtual void ShowSummary(const std::string& text, bool exclamation) = 0;

  // A job's turn came (started or held back): the window brings it into view.
  virtual void JobTried(int /*index*/) {}
  // A job ended, failed or was held back before it started; not called for
  // jobs a stop kept from starting.
  virtual void JobSettled(int /*index*/) {}
  virtual void EnableConvertAll(bool /*enable*/) {}
  virtual void EnableStop(bool /*enable*/) {}
  virtual void SetOverallProgress(int /*maximum*/, int /*position*/) {}
  // A confirmed close stopped the run, which has now ended.
  virtual void CloseWindow() {}

  // On the worker thread: a new whole percentage of job id, to be handed to
  // CBatchRun::ShowPercent on the run's thread; and every file step, after
  // it is counted.
  virtual void PostPercent(std::uint64_t /*id*/, int /*percent*/) {}
  virtual void FileStepped(std::uint64_t /*id*/) {}
  // On the worker thread: a stop from outside the run (Ctrl-C).
  virtual bool CancelRequested() const { return false; }
};

struct BatchRunOptions {
  std::string logPath;
  unsigned atOnce = 1;  // jobs converting at once
  // The command line checks every job before any starts, so its held-back
  // files are reported first and an output two files share goes to the
  // first; the window checks each job when its turn comes, so a change of
  // Overwrite or of the main window's file during a run counts.
  bool checkAllFirst = false;
  // The command line writes the log's entries in the queue's order whatever
  // order the jobs end in; the window writes each as it happens.
  bool logInQueueOrder = false;
  // An output that exists before the run is taken for done (Skipped), not
  // held back for Overwrite: outputs appear only whole, so an existing one
  // is a finished conversion, and a re-run converts only what is missing.
  // An output an earlier job of the run claimed is held back as before.
  bool skipExisting = false;
};

// The text of the end-of-run box for f failures and u files not converted.
std::string BatchSummaryText(std::uint32_t failures, std::uint32_t notConverted);

class CBatchRun {
 public:
  CBatchRun(CBatchQueue& queue, CBatchRunHost& host, BatchRunOptions options);
  ~CBatchRun();
  CBatchRun(const CBatchRun&) = delete;
  CBatchRun& operator=(const CBatchRun&) = delete;

  // Files no output may replace besides the sources of the queue (the file
  // open in the main window), checked by device and inode like the sources.
  void SetProtectedFiles(std::vector<std::string> paths) { alsoProtected_ = std::move(paths); }

  // Convert All. Refused while a run goes on.
  void Start();
  // A worker's report: job id ended, converted or declined before it began.
  // Ends the job and takes the next step.
  void OnJobEnded(std::uint64_t id, bool converted = true);

  // The Stop button, Ctrl-C.
  void RequestStop() { stopRequested_ = true; }
  // A confirmed close during a run: stop, then close once the run ended.
  void RequestClose() {
    closeRequested_ = true;
    stopRequested_ = true;
  }
  bool StopRequested() const { return stopRequested_; }
  bool CloseRequested() const { return closeRequested_; }
  // True when the last run ended by a stop.
  bool EndedByStop() const { return endedByStop_; }
  // False when the last run's log could not be opened (it ran without one).
  bool LogOpened() const { return logOpened_; }

  BatchState State() const { return state_; }
  bool Running() const { return state_ == BatchState::Converting; }
  // Files were added: FilesAdded and Convert All enabled, except during a
  // run, which keeps both until it ends.
  void OnFilesAdded();
  // Remove Files emptied the list.
  void OnListEmptied();

  // On the run's thread: shows a percentage PostPercent handed over, if the
  // job still converts and it is more than shown.
  void ShowPercent(std::uint64_t id, int percent);
  // The share of a converting job's file done so far, 0 to 1 (the command
  // line's bar); 0 for a job not converting.
  double Fraction(std::uint64_t id) const;
  // The ids of the converting jobs.
  std::vector<std::uint64_t> ConvertingJobs() const;

  // Writes the job's entry with its reason (or the one given); false when
  // the log is not open.
  bool WriteLogEntry(int index, std::optional<std::string> reason = std::nullopt);
  const std::string& LogPath() const { return options_.logPath; }

 private:
  class JobProgress;
  struct Converting;

  void Step();
  // Checks and starts job index; false when it was held back.
  bool TryStart(int index);
  void Launch(int index, bool overwrite);
  void CheckAll();
  // The job is held back or failed before it starts: status and log.
  void HoldBack(int index, JobStatus status, AudioError result);
  // What a job whose output exists becomes: Skipped or FileExists.
  JobStatus ExistingOutputStatus(const std::string& output);
  BatchLogEntry EntryOf(int index, const std::string& reason) const;
  void Settle(int index, bool hasEntry);
  void FlushHeldEntries(bool all);
  void FinishRun();
  void UpdateOverallProgress();
  bool Eligible(const BatchQueueJob& job) const;
  // The output rules over the queue's sources: made once per step by the
  // window, once per run by the command line.
  CBatchOutputRules& OutputRules();

  CBatchQueue& queue_;
  CBatchRunHost& host_;
  BatchRunOptions options_;
  CBatchLog log_;
  std::vector<std::string> alsoProtected_;
  std::unique_ptr<CBatchOutputRules> outputRules_;
  std::map<std::uint64_t, std::unique_ptr<Converting>> converting_;
  BatchState state_ = BatchState::Idle;
  std::atomic<bool> stopRequested_{false};
  bool closeRequested_ = false;
  bool endedByStop_ = false;
  bool logOpened_ = true;
  int cursor_ = 0;  // where the command line's walk goes on
  // The entries of a run logged in the queue's order: each job's, once
  // settled, until the jobs before it have settled too.
  std::vector<std::optional<BatchLogEntry>> heldEntries_;
  std::vector<bool> settled_;
  std::size_t logged_ = 0;
};
