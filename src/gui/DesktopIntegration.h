#pragma once
// What the desktop session offers around the windows: a notification when
// a long operation or a batch run ends while Kestrune's window is not the
// active one (freedesktop Notifications over D-Bus), and showing a written
// file in the file manager (org.freedesktop.FileManager1 ShowItems, else
// the folder opened with the desktop's default handler). The windows get
// them through their CGuiServices; tests put fakes there.

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>

class QWidget;

class IDesktopNotifier {
 public:
  virtual ~IDesktopNotifier() = default;
  virtual void Notify(const QString& summary, const QString& body) = 0;
};

class IFolderShower {
 public:
  virtual ~IFolderShower() = default;
  // Shows path selected in its folder.
  virtual void ShowItem(const QString& path) = 0;
};

struct DesktopServices {
  std::shared_ptr<IDesktopNotifier> notifier;
  std::shared_ptr<IFolderShower> folders;
  // Milliseconds since some fixed point; tests pass a clock they move.
  std::function<qint64()> clock;
  // True when the user is not looking at the program (default:
  // ProgramInBackground); tests answer it themselves.
  std::function<bool(const QWidget* window)> inBackground;
};

// The session's own: D-Bus notifications, the file manager, a steady clock
// and ProgramInBackground.
DesktopServices SessionDesktopServices();

// An operation longer than this ends with a notification when the window
// is not active.
inline constexpr qint64 kNotifyAfterMs = 10000;

// Times one operation of a window; Finish notifies when it took longer than
// kNotifyAfterMs and window is not the active window.
class COperationNotice {
 public:
  COperationNotice(const DesktopServices& desktop, QWidget* window);
  void Finish(const QString& summary, const QString& body) const;

 private:
  const DesktopServices& desktop_;
  QWidget* window_;
  qint64 started_;
};

// True when neither window nor any window of the program is active.
bool ProgramInBackground(const QWidget* window);
