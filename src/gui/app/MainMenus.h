#pragma once
// The main window's menu bar: File (with Close, Recent files, Save
// selection and Show in Folder around the classic entries), Edit, Convert,
// View and Help, their shortcuts, and which entries can be chosen. Each
// entry runs one of the window's commands.

#include <QString>

class QAction;
class QMenu;
class QMenuBar;
class CMainDlg;
struct ConvertMenuState;

class CSettingsStore;

class CMainMenus {
 public:
  // Builds the menus of window; the bar is window's child, not yet laid out.
  // settings gives the recent files and whether the waveform shows.
  CMainMenus(CMainDlg& window, const CSettingsStore& settings);

  QMenuBar* Bar() const { return bar_; }
  QMenu* FileMenu() const { return fileMenu_; }
  QMenu* ConvertMenu() const { return convertMenu_; }
  QMenu* RecentMenu() const { return recentMenu_; }
  // The entry of that object name (nullptr if none).
  QAction* Action(const char* name) const;

  // What can be chosen with a file open or not.
  void UpdateFileMenu(bool fileOpen);
  void UpdateConvertMenu(const ConvertMenuState& state);
  // Close, Save selection, Recent files and Show in Folder.
  void UpdateDesktopEntries(bool fileOpen, bool canSave, bool written);
  // Refills Recent files from the list of recent files.
  void UpdateRecentMenu();

 private:
  using Command = void (CMainDlg::*)();
  QAction* Add(QMenu* menu, const QString& text, const char* name, Command command);
  void BuildFileMenu();
  void BuildConvertMenu();
  void BuildEditAndViewMenus();
  void BuildHelpMenu();
  void AddNudgeKeys();
  void AddDesktopEntries();
  void AddShortcuts(QAction* close, QAction* save);

  CMainDlg& window_;
  const CSettingsStore& settings_;
  QMenuBar* bar_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QMenu* convertMenu_ = nullptr;
  QMenu* recentMenu_ = nullptr;
};
