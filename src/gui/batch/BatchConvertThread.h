#pragma once
// The life of the batch window and its messages with the main window.
// BatchConvertThread owns the window from WM_BATCH_OPEN_WINDOW until the
// window closes, then reports WM_BATCH_THREAD_ENDED and ends. The window
// lives on the GUI thread (Qt widgets live there only); the messages keep
// their numbers as custom events. CBatchConvertCommand is the main window's
// side: the Batch Convert menu command, its check mark, the two
// notifications, and closing the program while a batch runs.

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

class CBatchConvertDlg;
class CGuiServices;
class QAction;
class QWidget;

// A batch message with its one parameter (the main or the batch window).
class CBatchMessage : public QEvent {
 public:
  CBatchMessage(int id, QObject* parameter) : QEvent(static_cast<QEvent::Type>(id)), parameter_(parameter) {}
  QObject* Parameter() const { return parameter_; }

 private:
  QObject* parameter_;
};

class BatchConvertThread : public QObject {
  Q_OBJECT

 public:
  explicit BatchConvertThread(const CGuiServices& services, QObject* parent = nullptr)
      : QObject(parent), services_(services) {}
  ~BatchConvertThread() override;
  CBatchConvertDlg* Window() const { return window_; }
  QWidget* MainWindow() const { return mainWindow_; }
  // Tells the window which file the main window has open (see
  // CBatchConvertDlg::SetOpenFileSource).
  void SetOpenFileSource(std::function<std::string()> source) { openFile_ = std::move(source); }

 protected:
  void customEvent(QEvent* event) override;

 private:
  void OpenWindow(QWidget* mainWindow);
  void OnWindowClosed();

  const CGuiServices& services_;
  QPointer<QWidget> mainWindow_;
  CBatchConvertDlg* window_ = nullptr;
  std::function<std::string()> openFile_;
};

class CBatchConvertCommand : public QObject {
  Q_OBJECT

 public:
  // action: the "Batch Convert..." menu entry, always enabled, checked while
  // a batch thread exists.
  CBatchConvertCommand(const CGuiServices& services, QWidget* mainWindow, QAction* action);

  // The menu command: opens the window, or asks the open one to close.
  void OnBatchConvert();
  // Handles WM_BATCH_WINDOW_READY and WM_BATCH_THREAD_ENDED posted to the
  // main window; false for any other event.
  bool HandleEvent(QEvent* event);
  // The main window wants to close: true when it may close now. Otherwise
  // the batch window asked its question: on No nothing closes; on Yes during
  // a run the run stops first and exitAgain is called once the batch thread
  // has ended. The question does not wait: false is returned at once, and
  // on Yes exitAgain is called once the batch window has closed.
  bool AllowExit(std::function<void()> exitAgain);
  // The path of the file open in the main window (empty: none); outputs of
  // a run never replace it.
  void SetOpenFileSource(std::function<std::string()> source) { openFile_ = std::move(source); }

  BatchConvertThread* Thread() const { return thread_; }
  CBatchConvertDlg* Window() const;

 private:
  void UpdateMenu();

  const CGuiServices& services_;
  QWidget* mainWindow_;
  QAction* action_;
  // From the command that starts it until WM_BATCH_THREAD_ENDED.
  BatchConvertThread* thread_ = nullptr;
  QPointer<CBatchConvertDlg> window_;
  std::function<void()> exitAfterEnd_;
  std::function<std::string()> openFile_;
};
