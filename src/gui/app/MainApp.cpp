#include "gui/app/MainApp.h"

#include <QCommandLineParser>
#include <QEvent>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "Version.h"
#include "gui/GuiServices.h"
#include "gui/Resources.h"
#include "gui/Trace.h"
#include "gui/app/MainDlg.h"
#include "settings/StatePaths.h"

CMainApp::CMainApp(int& argc, char** argv) : QApplication(argc, argv) {
  InitKestruneResources();
  setApplicationName(QStringLiteral("kestrune"));
  setApplicationVersion(QStringLiteral(KESTRUNE_VERSION));
  // The settings file is named by SettingsFilePath, not by these.
  setOrganizationName(QString::fromLatin1(kAppName));
  // The window manager and the desktop entry match the window by this.
  setDesktopFileName(QStringLiteral(KESTRUNE_APP_ID));
  setWindowIcon(QIcon(QStringLiteral(":/kestrune/kestrune.svg")));
  setQuitOnLastWindowClosed(false);
}

CommandLineRequest CMainApp::ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Cuts and converts WAV and MP3 files."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The WAV or MP3 file to open."),
                               QStringLiteral("[FILE]"));
  parser.process(arguments);
  CommandLineRequest request;
  QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) {
    // The file is opened by its full path, as the Open dialog gives it.
    request.file = QFileInfo(files.takeFirst()).absoluteFilePath();
    request.ignored = files;
  }
  return request;
}

int CMainApp::Run() {
  const CommandLineRequest request = ParseCommandLine(arguments());
  for (const QString& extra : request.ignored)
    std::fprintf(stderr, "kestrune: one file is opened at a time; %s is ignored\n", qPrintable(extra));

  // The desktop's services, handed to every window from here down.
  const CGuiServices services(SettingsFilePath(), DefaultBatchLogPath());
  CMainDlg window(services);
  window_ = &window;
  window.installEventFilter(this);
  // An ordinary top-level window: the program ends when it closes.
  connect(&window, &QDialog::finished, this, &QCoreApplication::quit);
  window.show();
  if (!request.file.isEmpty()) {
    // Opened once the window is up, so its questions have a window to sit on.
    QTimer::singleShot(0, &window, [&window, file = request.file] {
      window.OpenPath(file);
      TraceLine(QStringLiteral("caption %1").arg(window.windowTitle()));
    });
  }
  exec();
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
