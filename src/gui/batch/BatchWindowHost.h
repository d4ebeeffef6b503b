#pragma once
// The batch run's host in the Batch Convert window: runs each job on the
// worker thread, reads the Overwrite box, enables CONVERT ALL and STOP,
// moves the overall bar, shows the end-of-run box without waiting, and
// brings each new percentage and each job's end from the worker to the
// window's thread.

#include <QPointer>
#include <functional>

#include "core/batch/BatchRun.h"
#include "core/batch/BatchWorker.h"

class CBitmapButton;
class CGuiServices;
class QCheckBox;
class QProgressBar;
class QWidget;

class CBatchWindowHost : public CBatchRunHost {
 public:
  // What the engine reaches in the window. The functions run on the
  // window's thread.
  struct Window {
    QWidget* window = nullptr;  // parent of the summary; its thread runs the calls below
    std::function<void(std::uint64_t id)> jobFinished;           // the job's result is written
    std::function<void(std::uint64_t id, int percent)> percent;  // a new percentage of a converting job
    std::function<void(int index)> showJob;                      // a job's turn came: bring it into view
    std::function<void()> summaryRead;                           // the end-of-run box was closed
    std::function<void()> close;                                 // a confirmed close has stopped the run
  };
  struct Controls {
    QCheckBox* overwrite = nullptr;
    CBitmapButton* convertAll = nullptr;
    CBitmapButton* stop = nullptr;
    QProgressBar* overall = nullptr;
  };

  CBatchWindowHost(const CGuiServices& services, Window window);
  // The controls are built after the engine.
  void SetControls(Controls controls) { controls_ = controls; }
  // Replaces how the worker creates file objects (tests).
  void SetFileMaker(BatchFileMaker maker) { fileMaker_ = std::move(maker); }
  bool SummaryOpen() const { return summaryOpen_; }
  // Called on the worker at every file step, after the step is counted.
  void SetStepObserver(std::function<void()> observer) { stepObserver_ = std::move(observer); }
  // Waits for the worker of the last job to end.
  void JoinWorker() { worker_.Join(); }

  void StartWorker(std::uint64_t id, BatchJob& job) override;
  bool OverwriteChecked() const override;
  void EnableConvertAll(bool enable) override;
  void EnableStop(bool enable) override;
  void SetOverallProgress(int maximum, int position) override;
  void ShowSummary(const std::string& text, bool exclamation) override;
  void CloseWindow() override;
  void JobTried(int index) override { window_.showJob(index); }
  void PostPercent(std::uint64_t id, int percent) override;
  void FileStepped(std::uint64_t) override {
    if (stepObserver_) stepObserver_();
  }

 private:
  const CGuiServices& services_;
  Window window_;
  Controls controls_;
  bool summaryOpen_ = false;
  CBatchWorkerThread worker_;
  BatchFileMaker fileMaker_ = MakeBatchFile;
  std::function<void()> stepObserver_;
};
