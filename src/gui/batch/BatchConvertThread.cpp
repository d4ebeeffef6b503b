#include "gui/batch/BatchConvertThread.h"

#include <QAction>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include "gui/batch/BatchConvertDlg.h"
#include "gui/DesktopIntegration.h"
#include "core/batch/BatchTypes.h"

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
  window_ = new CBatchConvertDlg;
  window_->SetThread(this);
  connect(window_, &CBatchConvertDlg::Closed, this, &BatchConvertThread::OnWindowClosed,
          Qt::QueuedConnection);
  // A run that ends while the user works elsewhere is announced.
  connect(window_, &CBatchConvertDlg::RunFinished, this, [this] {
    if (Desktop().inBackground(window_))
      Desktop().notifier->Notify(QStringLiteral("Kestrune: batch conversion finished"),
                                 QStringLiteral("The files of the Batch Convert window have been converted."));
  });
  window_->Start();
  // The top edge 100 pixels below the main window's; own left edge and size.
  if (mainWindow_) window_->move(window_->frameGeometry().left(), mainWindow_->frameGeometry().top() + 100);
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

CBatchConvertCommand::CBatchConvertCommand(QWidget* mainWindow, QAction* action)
    : QObject(mainWindow), mainWindow_(mainWindow), action_(action) {
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
    thread_ = new BatchConvertThread(this);
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
  if (!window_->RequestClose()) return false;
  if (!window_->Running()) return true;
  // Yes during a run: the program ends once the worker has stopped and the
  // window has closed.
  exitAfterEnd_ = std::move(exitAgain);
  return false;
}
