#include "gui/batch/BatchConvertThread.h"

#include <QAction>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include "core/batch/BatchTypes.h"
#include "gui/GuiServices.h"
#include "gui/batch/BatchConvertDlg.h"

// ------------------------------------------------------------- the thread

BatchConvertThread::~BatchConvertThread() {
  delete window_;
}

void BatchConvertThread::customEvent(QEvent* event) {
  if (event->type() != static_cast<QEvent::Type>(batchmsg::kOpenWindow)) return QObject::customEvent(event);
  OpenWindow(qobject_cast<QWidget*>(static_cast<CBatchMessage*>(event)->Parameter()));
}

void BatchConvertThread::OpenWindow(QWidget* mainWindow) {
  if (window_) return;
  mainWindow_ = mainWindow;
  window_ = new CBatchConvertDlg(services_);
  window_->SetThread(this);
  window_->SetOpenFileSource(openFile_);
  connect(window_, &CBatchConvertDlg::Closed, this, &BatchConvertThread::OnWindowClosed,
          Qt::QueuedConnection);
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
  if (mainWindow_)
    QCoreApplication::postEvent(mainWindow_, new CBatchMessage(batchmsg::kWindowReady, window_));
}

void BatchConvertThread::OnWindowClosed() {
  delete window_;
  window_ = nullptr;
  if (mainWindow_)
    QCoreApplication::postEvent(mainWindow_, new CBatchMessage(batchmsg::kThreadEnded, nullptr));
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
  action_->setChecked(thread_ != nullptr);
}

void CBatchConvertCommand::OnBatchConvert() {
  if (!thread_) {
    thread_ = new BatchConvertThread(services_, this);
    thread_->SetOpenFileSource(openFile_);
    QCoreApplication::postEvent(thread_, new CBatchMessage(batchmsg::kOpenWindow, mainWindow_));
  } else if (window_) {
    // The close box's message: the window asks its question when it runs.
    QTimer::singleShot(0, window_, [window = window_] { window->RequestClose(); });
  }
  // Between the start and WM_BATCH_WINDOW_READY there is no window to ask.
  UpdateMenu();
}

bool CBatchConvertCommand::HandleEvent(QEvent* event) {
  if (event->type() == static_cast<QEvent::Type>(batchmsg::kWindowReady)) {
    window_ = qobject_cast<CBatchConvertDlg*>(static_cast<CBatchMessage*>(event)->Parameter());
    return true;
  }
  if (event->type() == static_cast<QEvent::Type>(batchmsg::kThreadEnded)) {
    thread_ = nullptr;
    window_ = nullptr;
    UpdateMenu();
    if (auto exitAgain = std::exchange(exitAfterEnd_, nullptr)) exitAgain();
    return true;
  }
  return false;
}

bool CBatchConvertCommand::AllowExit(std::function<void()> exitAgain) {
  // Already waiting for a stopping run to end.
  if (exitAfterEnd_) return false;
  if (!thread_ || !window_) return true;
  // Yes: the program ends once the window has closed (during a run, once the
  // worker has stopped). No leaves everything as it was.
  return window_->RequestClose([this, exitAgain = std::move(exitAgain)](bool yes) {
    if (yes) exitAfterEnd_ = exitAgain;
  });
}
