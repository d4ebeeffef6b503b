#pragma once
// The Batch Convert window's life beside the main window. A CBatchSession
// owns the window from the moment it is opened until it closes, then tells
// the main window's command and ends. The window lives on the GUI thread
// like every widget; only its conversions run on a worker thread.
// CBatchConvertCommand is the main window's side: the Batch Convert menu
// command, its check mark, and closing the program while a batch runs.

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

class CBatchConvertDlg;
class CGuiServices;
class QAction;
class QWidget;

class CBatchSession : public QObject {
  Q_OBJECT

 public:
  explicit CBatchSession(const CGuiServices& services, QObject* parent = nullptr)
      : QObject(parent), services_(services) {}
  ~CBatchSession() override;
  CBatchConvertDlg* Window() const { return window_; }
  QWidget* MainWindow() const { return mainWindow_; }
  // Tells the window which file the main window has open (see
  // CBatchConvertDlg::SetOpenFileSource).
  void SetOpenFileSource(std::function<std::string()> source) { openFile_ = std::move(source); }
  // Creates and shows the window beside mainWindow; opened tells who
  // waits for it.
  void OpenWindow(QWidget* mainWindow, std::function<void(CBatchConvertDlg*)> opened);
  // Runs once the window has closed for good, just before the session ends.
  void SetEndedHandler(std::function<void()> ended) { ended_ = std::move(ended); }

 private:
  void OnWindowClosed();
  // Who hears of the window and of the end: the session's owner.
  QObject* Receiver();

  const CGuiServices& services_;
  QPointer<QWidget> mainWindow_;
  CBatchConvertDlg* window_ = nullptr;
  std::function<std::string()> openFile_;
  std::function<void()> ended_;
};

class CBatchConvertCommand : public QObject {
  Q_OBJECT

 public:
  // action: the "Batch Convert..." menu entry, always enabled, checked while
  // a batch session exists.
  CBatchConvertCommand(const CGuiServices& services, QWidget* mainWindow, QAction* action);

  // The menu command: opens the window, or asks the open one to close.
  void OnBatchConvert();
  // The main window wants to close: true when it may close now. Otherwise
  // the batch window asked its question: on No nothing closes; on Yes during
  // a run the run stops first and exitAgain is called once the session has
  // ended. The question does not wait: false is returned at once, and on Yes
  // exitAgain is called once the batch window has closed.
  bool AllowExit(std::function<void()> exitAgain);
  // The path of the file open in the main window (empty: none); outputs of
  // a run never replace it.
  void SetOpenFileSource(std::function<std::string()> source) { openFile_ = std::move(source); }

  CBatchSession* Session() const { return session_; }
  CBatchConvertDlg* Window() const;

 private:
  void UpdateMenu();
  void OnWindowOpened(CBatchConvertDlg* window);
  void OnSessionEnded();

  const CGuiServices& services_;
  QWidget* mainWindow_;
  QAction* action_;
  // From the command that starts it until it has ended.
  CBatchSession* session_ = nullptr;
  QPointer<CBatchConvertDlg> window_;
  std::function<void()> exitAfterEnd_;
  std::function<std::string()> openFile_;
};
