#include "ui/MainApp.h"

#include <QEvent>
#include <QTimer>

#include "ui/MainDlg.h"
#include "ui/Resources.h"
#include "ui/Trace.h"

CMainApp::CMainApp(int& argc, char** argv) : QApplication(argc, argv) {
  InitKestruneResources();
  setApplicationName(QString::fromLatin1(kAppName));
  setApplicationVersion(QStringLiteral("1.1"));
  setOrganizationName(QString::fromLatin1(kAppName));
  setWindowIcon(QIcon(QStringLiteral(":/kestrune/kestrune.svg")));
  setQuitOnLastWindowClosed(false);
}

int CMainApp::Run() {
  CMainDlg window;
  window_ = &window;
  window.installEventFilter(this);
  window.exec();
  window_ = nullptr;
  return 0;
}

bool CMainApp::eventFilter(QObject* watched, QEvent* event) {
  // The first paint of the main window: the window is up.
  if (event->type() == QEvent::Paint && watched->isWidgetType()) {
    watched->removeEventFilter(this);
    TraceLine(QStringLiteral("window up %1 ms after start").arg(ProcessMilliseconds()));
    // The media engine starts once the window has been drawn, so it does
    // not delay the window; the first PLAY then does not wait for it.
    if (watched == window_)
      QTimer::singleShot(0, window_, [this] {
        if (window_) window_->PreparePlayer();
      });
  }
  return QApplication::eventFilter(watched, event);
}
