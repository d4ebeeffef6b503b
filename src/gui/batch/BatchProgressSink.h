#pragma once
// The batch window's share of a running conversion's progress: the file bar
// becomes the converting row's percentage (counted by the run) and the Stop
// button is the cancel request. Called on the worker thread.

#include <functional>

#include "core/Progress.h"
#include "core/batch/BatchRun.h"

class CBatchProgressSink : public CProgressSink {
 public:
  explicit CBatchProgressSink(CBatchRun& run) : run_(run) {}

  void Changed(const CProgressState& state, ProgressChange change) override {
    if (change == ProgressChange::FileRange) run_.SetFileRange(state.file.maximum, state.file.step);
    if (change != ProgressChange::FileStep) return;
    run_.StepFile();
    if (stepObserver_) stepObserver_();
  }
  bool IsCancelled() override { return run_.IsCancelled(); }

  // Called at every file step, after the step is counted (tests).
  void SetStepObserver(std::function<void()> observer) { stepObserver_ = std::move(observer); }

 private:
  CBatchRun& run_;
  std::function<void()> stepObserver_;
};
