#include "gui/DesktopIntegration.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>
#include <QVariantMap>
#include <QWidget>

#include "Version.h"

namespace {

// org.freedesktop.Notifications.Notify on the session bus; without a bus
// (a server, a test) nothing is shown.
class CDBusNotifier : public IDesktopNotifier {
 public:
  void Notify(const QString& summary, const QString& body) override {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral(KESTRUNE_APP_ID));
    call << QStringLiteral("Kestrune") << 0u << QStringLiteral(KESTRUNE_APP_ID) << summary << body
         << QStringList() << hints << -1;
    bus.call(call, QDBus::NoBlock);
  }
};

// The file manager's ShowItems when one serves it on the session bus, else
// the folder opened as a URL.
class CFileManagerShower : public IFolderShower {
 public:
  void ShowItem(const QString& path) override {
    const QUrl file = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(service).value()) {
      QDBusMessage call = QDBusMessage::createMethodCall(
          service, QStringLiteral("/org/freedesktop/FileManager1"), service, QStringLiteral("ShowItems"));
      call << QStringList{file.toString()} << QString();
      if (bus.call(call, QDBus::Block, 3000).type() != QDBusMessage::ErrorMessage) return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
  }
};

qint64 SteadyMilliseconds() {
  static QElapsedTimer timer;
  if (!timer.isValid()) timer.start();
  return timer.elapsed();
}

}  // namespace

DesktopServices SessionDesktopServices() {
  return {std::make_shared<CDBusNotifier>(), std::make_shared<CFileManagerShower>(), SteadyMilliseconds,
          ProgramInBackground};
}

bool ProgramInBackground(const QWidget* window) {
  // The application's state, not the active window alone: between a progress
  // window closing and the main window taking the focus back no window is
  // active, yet the user is still looking at the program.
  if (window && window->isActiveWindow()) return false;
  return QApplication::activeWindow() == nullptr &&
         QGuiApplication::applicationState() != Qt::ApplicationActive;
}

COperationNotice::COperationNotice(const DesktopServices& desktop, QWidget* window)
    : desktop_(desktop), window_(window), started_(desktop.clock()) {}

void COperationNotice::Finish(const QString& summary, const QString& body) const {
  if (desktop_.clock() - started_ <= kNotifyAfterMs || !desktop_.inBackground(window_)) return;
  desktop_.notifier->Notify(summary, body);
}
