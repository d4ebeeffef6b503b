#pragma once
// What the windows use from the desktop, in one object the application
// creates and hands to each window at construction: the questions to the
// user (message boxes and file dialogs), the desktop session (notifications,
// the file manager, the clock), how a link is opened, how the program beeps,
// the settings store and where the batch log goes. Tests create their own
// with scripted answers and fakes.

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "gui/DesktopIntegration.h"
#include "gui/Prompt.h"
#include "settings/SettingsStore.h"

class CGuiServices {
 public:
  // The desktop's own: Qt's boxes and dialogs, the session's notifications
  // and file manager, QDesktopServices for links, QApplication::beep; the
  // settings in settingsFile, the batch log at batchLogPath.
  CGuiServices(const QString& settingsFile, std::string batchLogPath);
  // The same, but every question goes to answers (a test's script); the
  // caller keeps answers alive as long as these services.
  CGuiServices(CPrompt& answers, const QString& settingsFile, std::string batchLogPath);
  CGuiServices(const CGuiServices&) = delete;
  CGuiServices& operator=(const CGuiServices&) = delete;
  ~CGuiServices();

  // Every message box and file dialog, behind the layer that gives each file
  // dialog its starting folder and remembers the folder the user picked.
  CPrompt& Prompt() const { return *prompt_; }

  // Opens a link with the desktop's handler; false when it could not.
  std::function<bool(const QString& link)> openLink;
  // The failure beep.
  std::function<void()> beep;
  // Notifications, the file manager, the clock and whether the user looks
  // at the program.
  DesktopServices desktop;
  // What the program keeps between runs.
  CSettingsStore settings;
  // The batch window's log when it is not given one.
  std::string batchLogPath;

 private:
  CGuiServices(std::unique_ptr<CPrompt> qtPrompt, const QString& settingsFile, std::string batchLogPath);

  std::unique_ptr<CPrompt> qtPrompt_;  // when no answers were given
  std::unique_ptr<CPrompt> prompt_;    // the starting-folder layer
};
