#include "ui/MainApp.h"

#include <QTimer>

#include "ui/MainDlg.h"
#include "ui/Resources.h"

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
  // The media engine starts once the window is up, so it does not delay it.
  QTimer::singleShot(0, &window, [&window] { window.PreparePlayer(); });
  window.exec();
  return 0;
}
