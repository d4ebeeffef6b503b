#pragma once
// The Batch Convert window: the list of files to convert, the Overwrite
// check box, the overall bar and six bitmap buttons. It is the progress sink
// of the running conversion (the eleven progress operations of CProgressDlg,
// most of them ignored) and carries the batch engine: the engine reaches the
// list and the buttons through CBatchRows and CBatchHost. Everything here
// runs on the GUI thread; only the progress operations run on the worker.

#include <QStringList>
#include <functional>

#include "core/batch/BatchRun.h"
#include "core/batch/BatchWorker.h"
#include "gui/ProgressDlg.h"

class BatchConvertThread;
class CBitmapButton;
class CXListCtrl;
class QCheckBox;
class QProgressBar;

class CBatchConvertDlg : public CProgressDlg, private CBatchRows, private CBatchHost {
  Q_OBJECT

 public:
  enum : int {
    IDC_LIST = 1071,
    IDC_OVERWRITE = 1074,
    IDC_OVERALL = 1080,
    IDC_ADD_FILES = 1033,
    IDC_REMOVE_FILES = 1073,
    IDC_CONVERT_ALL = 1070,
    IDC_BATCH_STOP = 1048,
    IDC_VIEW_LOG = 1047,
    IDC_EXIT = 2,
  };

  // logPath: empty uses the default log.
  explicit CBatchConvertDlg(const QString& logPath = QString());
  ~CBatchConvertDlg() override;

  void SetThread(BatchConvertThread* thread) { thread_ = thread; }
  BatchConvertThread* Thread() const { return thread_; }

  // --- The progress operations, as the running conversion drives them.
  void Start() override;
  void SetTitle(const std::string&) override {}
  void SetFileCount(std::uint32_t) override {}
  void SetFileRange(std::uint32_t total, std::uint32_t step) override;
  void StepBoth() override {}
  void StepOverall() override {}
  void StepFile() override;
  void SetShreddingText(const std::string&, const std::string&) override {}
  void SetConvertingText(const std::string&, const std::string&) override {}
  void SetFileNumber(std::uint32_t) override {}
  bool IsCancelled() override;
  void Close() override {}

  // --- Commands
  void OnAddFiles();
  // Adds files in the given order before the rows already present.
  void AddFiles(const QStringList& paths);
  void OnRemoveFiles();
  void OnConvertAll();
  void OnStop();
  void OnViewLog();
  void OnChangeOutput();
  void OnHelp();
  // The close question of the current state; true when the window closed
  // (or will close as soon as the running file has stopped).
  bool RequestClose();

  // --- State, for the main window and tests
  BatchState State() const { return run_.State(); }
  bool Running() const { return run_.Running(); }
  CBatchRun& Run() { return run_; }
  CXListCtrl* List() const { return list_; }
  std::string LogPath() const { return run_.LogPath(); }
  // Called on the worker at every file step, after the step is counted: a
  // seam for tests that need the conversion to wait at a known point.
  void SetStepObserver(std::function<void()> observer) { stepObserver_ = std::move(observer); }
  // Replaces how the worker creates file objects (tests).
  void SetFileMaker(BatchFileMaker maker) { fileMaker_ = std::move(maker); }

 signals:
  // The window has closed for good; its owner ends.
  void Closed();
  // A new percentage reached the converting row's cell.
  void PercentShown(int percent);
  // The run ended (FinishRun has run).
  void RunFinished();

 protected:
  void customEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override {}

 private:
  void BuildControls();
  void BuildList();
  void CloseNow();

  // --- CBatchRows
  int RowCount() const override;
  BatchRow* Record(int row) const override;
  bool IsChecked(int row) const override;
  std::string Text(int row, int column) const override;
  void SetStatusText(int row, const std::string& text, std::uint32_t colour) override;
  void SetSourceBold(int row, bool bold) override;
  void ShowProgress(int row) override;
  void HideProgress(int row) override;
  void SetProgress(int row, int percent) override;
  void ScrollTo(int row) override;

  // --- CBatchHost
  void StartWorker(BatchJob& job) override;
  bool OverwriteChecked() const override;
  void EnableConvertAll(bool enable) override;
  void EnableStop(bool enable) override;
  void SetOverallProgress(int maximum, int position) override;
  void ShowSummary(const std::string& text, bool exclamation) override;
  void CloseWindow() override;
  void PostPercent(int percent) override;

  CXListCtrl* list_ = nullptr;
  QCheckBox* overwrite_ = nullptr;
  QProgressBar* overall_ = nullptr;
  CBitmapButton* convertAll_ = nullptr;
  CBitmapButton* stop_ = nullptr;
  const QStringList wavTargets_{QStringLiteral("WAV")};
  const QStringList mp3Targets_{QStringLiteral("MP3")};
  BatchConvertThread* thread_ = nullptr;
  bool created_ = false;
  bool closed_ = false;
  CBatchRun run_;
  CBatchWorkerThread worker_;
  BatchFileMaker fileMaker_ = MakeBatchFile;
  std::function<void()> stepObserver_;
};
