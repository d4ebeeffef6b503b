#include "gui/batch/BatchSession.h"

#include <QAction>
#include <QTimer>
#include <QWidget>

#include "gui/GuiServices.h"
#include "gui/batch/BatchConvertDlg.h"

// ------------------------------------------------------------- the session

CBatchSession::~CBatchSession() {
  delete window_;
}

void CBatchSession::OpenWindow(QWidget* mainWindow, std::function<void(CBatchConvertDlg*)> opened) {
  if (window_) return;
  mainWindow_ = mainWindow;
  window_ = new CBatchConvertDlg(services_);
  window_->SetSession(this);
  window_->SetOpenFileSource(openFile_);
  connect(window_, &CBatchConvertDlg::Closed, this, &CBatchSession::OnWindowClosed, Qt::QueuedConnection);
  // A run that ends while the user works elsewhere is announced.
  connect(window_, &CBatchConvertDlg::RunFinished, this, [this] {
    if (services_.desktop.inBackground(window_))
      services_.desktop.notifier->Notify(
          QStringLiteral("Kestrune: batch conversion finished"),
          QStringLiteral("The files of the Batch Convert window have been converted."));
  });
  window_->Start();
  // Unless it remembers its place: the top edge 100 pixels below the main
  // window's; own left edge and size.
  if (mainWindow_ && !window_->RestoredGeometry())
    window_->move(window_->frameGeometry().left(), mainWindow_->frameGeometry().top() + 100);
  // The main window's side (the session's parent) learns of the window
  // from its own event queue.
  if (mainWindow_ && opened)
    QMetaObject::invokeMethod(
        Receiver(), [opened = std::move(opened), window = window_] { opened(window); }, Qt::QueuedConnection);
}

QObject* CBatchSession::Receiver() {
  return parent() ? parent() : this;
}

void CBatchSession::OnWindowClosed() {
  delete window_;
  window_ = nullptr;
  if (mainWindow_ && ended_) QMetaObject::invokeMethod(Receiver(), ended_, Qt::QueuedConnection);
  deleteLater();
}

// ------------------------------------------------------------- the main window's side

CBatchConvertCommand::CBatchConvertCommand(const CGuiServices& services, QWidget* mainWindow, QAction* action)
    : QObject(mainWindow), services_(services), mainWindow_(mainWindow), action_(action) {
  action_->setCheckable(true);
  connect(action_, &QAction::triggered, this, &CBatchConvertCommand::OnBatchConvert);
  UpdateMenu();
}

CBatchConvertDlg* CBatchConvertCommand::Window() const {
  return window_;
}

void CBatchConvertCommand::UpdateMenu() {
  action_->setEnabled(true);
  action_->setChecked(session_ != nullptr);
}

void CBatchConvertCommand::OnBatchConvert() {
  if (!session_) {
    session_ = new CBatchSession(services_, this);
    session_->SetOpenFileSource(openFile_);
    session_->SetEndedHandler([this] { OnSessionEnded(); });
    // The window opens once the command has returned, from the event loop.
    QMetaObject::invokeMethod(
        session_,
        [session = session_, this] {
          session->OpenWindow(mainWindow_, [this](CBatchConvertDlg* window) { OnWindowOpened(window); });
        },
        Qt::QueuedConnection);
  } else if (window_) {
    // The close box's request: the window asks its question when it runs.
    QTimer::singleShot(0, window_, [window = window_] { window->RequestClose(); });
  }
  // Between the start and the window's opening there is no window to ask.
  UpdateMenu();
}

void CBatchConvertCommand::OnWindowOpened(CBatchConvertDlg* window) {
  window_ = window;
}

void CBatchConvertCommand::OnSessionEnded() {
  session_ = nullptr;
  window_ = nullptr;
  UpdateMenu();
  if (auto exitAgain = std::exchange(exitAfterEnd_, nullptr)) exitAgain();
}

bool CBatchConvertCommand::AllowExit(std::function<void()> exitAgain) {
  // Already waiting for a stopping run to end.
  if (exitAfterEnd_) return false;
  if (!session_ || !window_) return true;
  // Yes: the program ends once the window has closed (during a run, once the
  // worker has stopped). No leaves everything as it was.
  return window_->RequestClose([this, exitAgain = std::move(exitAgain)](bool yes) {
    if (yes) exitAfterEnd_ = exitAgain;
  });
}
