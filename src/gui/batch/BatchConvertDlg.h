#pragma once
// The Batch Convert window: the list of files to convert, the Overwrite
// check box, the overall bar and six bitmap buttons. It owns the batch
// queue, shows it through CBatchTableModel in a CBatchListView, and runs it
// with the batch run, which reaches the buttons, the worker and the summary
// through CBatchWindowHost. Everything here runs on the GUI thread; only the
// run's progress sink runs on the worker.
//
// The window's boxes are modal to it alone and never wait in a nested event
// loop, so the main window and its running operations carry on meanwhile.
// The window can be resized (never below its original size); its geometry
// and column widths are remembered in the settings.

#include <QDialog>
#include <QPersistentModelIndex>
#include <QRect>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "core/batch/BatchQueue.h"
#include "core/batch/BatchRun.h"
#include "core/batch/BatchWorker.h"
#include "gui/batch/BatchWindowHost.h"

class CBatchSession;
class CBitmapButton;
class CBatchListView;
class CBatchTableModel;
class CGuiServices;
class CPromptHandle;
class QAction;
class QCheckBox;
class QProgressBar;

class CBatchConvertDlg : public QDialog {
  Q_OBJECT

 public:
  // Object names of the controls.
  static constexpr const char* kList = "list";
  static constexpr const char* kOverwrite = "overwrite";
  static constexpr const char* kOverall = "overall";
  static constexpr const char* kAddFiles = "addFiles";
  static constexpr const char* kRemoveFiles = "removeFiles";
  static constexpr const char* kConvertAll = "convertAll";
  static constexpr const char* kBatchStop = "batchStop";
  static constexpr const char* kViewLog = "viewLog";
  static constexpr const char* kExit = "exit";

  // logPath: empty uses the default log.
  explicit CBatchConvertDlg(const CGuiServices& services, const QString& logPath = QString());
  ~CBatchConvertDlg() override;

  void SetSession(CBatchSession* session) { session_ = session; }
  CBatchSession* Session() const { return session_; }

  // Builds the window's controls and shows it; later calls do nothing.
  void Start();

  // --- Commands
  void OnAddFiles();
  // Adds files in the given order before the rows already present.
  void AddFiles(const QStringList& paths);
  // Add Folder... (context menu of the list, Ctrl+Shift+O).
  void OnAddFolder();
  // Adds files and folders as a drop gives them: a file as ADD FILES adds
  // it, a folder as its WAV and MP3 files (recursively, in name order).
  void AddPaths(const QStringList& paths);
  void OnRemoveFiles();
  void OnConvertAll();
  void OnStop();
  void OnViewLog();
  void OnChangeOutput();
  void OnHelp();
  // Asks the close question of the current state without waiting; true when
  // the window closed at once (nothing to ask). Otherwise decided runs once
  // with the answer (true: the window closes, after the running file has
  // stopped). While a question is open a second request only waits for it.
  bool RequestClose(std::function<void(bool)> decided = {});
  bool CloseQuestionOpen() const;
  // The file open in the main window, which no output may replace.
  void SetOpenFileSource(std::function<std::string()> source) { openFile_ = std::move(source); }
  // The files besides the list's sources that outputs must not replace.
  std::vector<std::string> ProtectedFiles() const;
  // True when Start restored a remembered geometry.
  bool RestoredGeometry() const { return restoredGeometry_; }

  // --- State, for the main window and tests
  BatchState State() const { return run_.State(); }
  bool Running() const { return run_.Running(); }
  CBatchRun& Run() { return run_; }
  CBatchQueue& Queue() { return queue_; }
  CBatchListView* List() const { return list_; }
  std::string LogPath() const { return run_.LogPath(); }
  // Called on the worker at every file step, after the step is counted: a
  // seam for tests that need the conversion to wait at a known point.
  void SetStepObserver(std::function<void()> observer) { host_.SetStepObserver(std::move(observer)); }
  // Replaces how the worker creates file objects (tests).
  void SetFileMaker(BatchFileMaker maker) { host_.SetFileMaker(std::move(maker)); }

 signals:
  // The window has closed for good; its owner ends.
  void Closed();
  // A new percentage reached the converting row's cell.
  void PercentShown(int percent);
  // The run ended (FinishRun has run).
  void RunFinished();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void reject() override {}

 private:
  // How a control follows the window's size: down with the bottom edge, and
  // wider and taller with the window.
  struct Anchored {
    QWidget* widget;
    QRect base;
    bool followsBottom;
    bool growsWide;
    bool growsTall;
  };
  void BuildControls();
  // The six buttons along the bottom edge.
  void BuildButtons();
  void BuildList();
  void BuildMenu();
  void Anchor(QWidget* widget, bool followsBottom, bool growsWide, bool growsTall);
  void RestoreLayout();
  void SaveLayout();
  void FitColumns(int rowsAdded);
  void CloseNow();
  void AskClose();
  void OnCloseAnswer(int generation, bool yes);
  void Decide(bool yes);
  void OnRunEnded();
  // A job's result is written: the run takes its next step.
  void OnJobFinished(std::uint64_t id);
  // What the engine's host reaches in this window.
  CBatchWindowHost::Window HostWindow();
  // Hands ProtectedFiles to the engine before each step of a run.
  void PassProtectedFiles();
  void ResumeCloseRequest();

  const CGuiServices& services_;
  std::vector<Anchored> anchored_;
  QSize baseSize_;
  bool restoredGeometry_ = false;
  // The open close question, the answer it waits for, and who waits.
  std::shared_ptr<CPromptHandle> closeQuestion_;
  int closeGeneration_ = 0;
  std::vector<std::function<void(bool)>> closeWaiters_;
  // A close request whose question a finished run withdrew, asked again once
  // the summary has been read.
  bool closePending_ = false;
  std::function<std::string()> openFile_;
  QAction* addFolder_ = nullptr;
  CBatchTableModel* model_ = nullptr;
  CBatchListView* list_ = nullptr;
  QCheckBox* overwrite_ = nullptr;
  QProgressBar* overall_ = nullptr;
  CBitmapButton* convertAll_ = nullptr;
  CBitmapButton* stop_ = nullptr;
  CBatchSession* session_ = nullptr;
  bool created_ = false;
  bool closed_ = false;
  CBatchQueue queue_;
  CBatchWindowHost host_;
  CBatchRun run_;
};
