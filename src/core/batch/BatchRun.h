#pragma once
// The batch run as a state machine: starting a run, the next-job step that
// runs whenever a worker reports, per-file and overall progress, stopping,
// and the end-of-run summary and log. It works on the job list through
// CBatchRows and reaches the window through CBatchHost, so the same steps
// drive the batch window and the tests.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/batch/BatchLog.h"
#include "core/batch/BatchNaming.h"
#include "core/batch/BatchOutputRules.h"
#include "core/batch/BatchTypes.h"

// The job list as the engine sees it: rows with cells and a record each.
class CBatchRows {
 public:
  virtual ~CBatchRows() = default;
  virtual int RowCount() const = 0;
  // The row's record; nullptr when the row has none.
  virtual BatchRow* Record(int row) const = 0;
  virtual bool IsChecked(int row) const = 0;
  virtual std::string Text(int row, int column) const = 0;
  // Sets the Status cell's text in a colour (0x00BBGGRR) on white.
  virtual void SetStatusText(int row, const std::string& text, std::uint32_t colour) = 0;
  virtual void SetSourceBold(int row, bool bold) = 0;
  virtual void ShowProgress(int row) = 0;
  virtual void HideProgress(int row) = 0;
  virtual void SetProgress(int row, int percent) = 0;
  virtual void ScrollTo(int row) = 0;
};

// What the engine needs from the window around the list.
class CBatchHost {
 public:
  virtual ~CBatchHost() = default;
  // Converts job on a worker thread, then runs OnJobFinished on the
  // window's thread once the job's result is written.
  virtual void StartWorker(BatchJob& job) = 0;
  virtual bool OverwriteChecked() const = 0;
  virtual void EnableConvertAll(bool enable) = 0;
  virtual void EnableStop(bool enable) = 0;
  virtual void SetOverallProgress(int maximum, int position) = 0;
  // The end-of-run box; exclamation tells its icon.
  virtual void ShowSummary(const std::string& text, bool exclamation) = 0;
  // Closes the window after a confirmed close has stopped the run.
  virtual void CloseWindow() = 0;
  // Called on the worker thread: hands a new percentage of the converting
  // row to the window's thread, which passes it to ShowPercent.
  virtual void PostPercent(int percent) = 0;
};

// The text of the end-of-run box for f failures and u files not converted.
std::string BatchSummaryText(std::uint32_t failures, std::uint32_t notConverted);

class CBatchRun {
 public:
  CBatchRun(CBatchRows& rows, CBatchHost& host, CProgressSink& sink, std::string logPath)
      : rows_(rows), host_(host), sink_(sink), logPath_(std::move(logPath)) {}

  // Files no output may replace besides the sources of the list (the file
  // open in the main window), checked by device and inode like the sources.
  void SetProtectedFiles(std::vector<std::string> paths) { alsoProtected_ = std::move(paths); }

  // Convert All. Refused while a worker runs.
  void StartRun();
  // The next-job step: finishes the converting row and starts the next job.
  void OnJobFinished();
  void FinishRun();
  void UpdateOverallProgress();

  // The Stop button.
  void RequestStop() { stopRequested_ = true; }
  // A confirmed close during a run: stop, then close once the run ended.
  void RequestClose() {
    closeRequested_ = true;
    stopRequested_ = true;
  }
  bool StopRequested() const { return stopRequested_; }
  bool CloseRequested() const { return closeRequested_; }

  BatchState State() const { return state_; }
  bool Running() const { return state_ == BatchState::Converting; }
  // Files were added: FilesAdded and Convert All enabled, except during a
  // run, which keeps both until it ends.
  void OnFilesAdded();
  // Remove Files emptied the list.
  void OnListEmptied();

  // The progress operations the conversion drives, on the worker thread.
  void SetFileRange(std::uint32_t total, std::uint32_t step);
  void StepFile();
  bool IsCancelled() const { return stopRequested_; }
  // On the window's thread: draws a percentage handed over by PostPercent.
  void ShowPercent(int percent);

  int FindConvertingRow() const;
  std::string GetOutputFullPath(int row) const;
  // Writes the row's entry with the current job's reason.
  bool WriteLogEntry(int row);

  const BatchJob& Job() const { return job_; }
  const std::string& LogPath() const { return logPath_; }

 private:
  JobStatus Status(int row) const;
  void SetStatus(int row, JobStatus status);
  // Ends the converting row's job; false when a stop ended the run.
  bool FinishConvertingRows();
  // Tries to start the row's job; false when the row was passed over.
  bool StartJob(int row);
  void FailBeforeStart(int row, AudioError result);
  std::string Reason() const;
  // The output rules over the rows' sources, made once per next-job step.
  CBatchOutputRules& OutputRules();

  CBatchRows& rows_;
  CBatchHost& host_;
  CProgressSink& sink_;
  std::string logPath_;
  CBatchLog log_;
  BatchJob job_;
  std::vector<std::string> alsoProtected_;
  std::unique_ptr<CBatchOutputRules> outputRules_;
  BatchState state_ = BatchState::Idle;
  std::atomic<bool> stopRequested_{false};
  bool closeRequested_ = false;
  // Written by the worker between the start of its job and its report.
  std::uint32_t progressCounter_ = 0;
  std::uint32_t progressTotal_ = 0;
  std::uint32_t progressStep_ = 0;
  int postedPercent_ = 0;
};
