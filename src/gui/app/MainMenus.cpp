#include "gui/app/MainMenus.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include "gui/ControlId.h"
#include "gui/ConvertCommands.h"
#include "gui/app/MainDlg.h"
#include "settings/RecentFiles.h"
#include "settings/RegistrySettings.h"

CMainMenus::CMainMenus(CMainDlg& window) : window_(window) {
  bar_ = new QMenuBar(&window);
  BuildFileMenu();
  BuildConvertMenu();
  BuildEditAndViewMenus();
  BuildHelpMenu();
  AddDesktopEntries();
  bar_->setNativeMenuBar(false);
}

QAction* CMainMenus::Add(QMenu* menu, const QString& text, int id, Command command) {
  QAction* action = WithId(menu->addAction(text), id);
  if (command) QObject::connect(action, &QAction::triggered, &window_, command);
  actions_[id] = action;
  return action;
}

QAction* CMainMenus::Action(int id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainMenus::BuildFileMenu() {
  fileMenu_ = bar_->addMenu(QStringLiteral("&File"));
  Add(fileMenu_, QStringLiteral("&Open..."), CMainDlg::ID_FILE_OPEN, &CMainDlg::OnOpen);
  Add(fileMenu_, QStringLiteral("Shred &Equally..."), CMainDlg::ID_FILE_SHRED_EQUALLY,
      &CMainDlg::OnShredEqually);
  Add(fileMenu_, QStringLiteral("Split at Silences or by Cue S&heet..."), CMainDlg::ID_FILE_SPLIT,
      &CMainDlg::OnSplit);
  Add(fileMenu_, QStringLiteral("&Settings..."), CMainDlg::ID_FILE_SETTINGS, &CMainDlg::OnSettings);
  Add(fileMenu_, QStringLiteral("File &information"), CMainDlg::ID_FILE_INFORMATION,
      &CMainDlg::OnFileInformation);
  fileMenu_->addSeparator();
  Add(fileMenu_, QStringLiteral("E&xit"), CMainDlg::ID_FILE_EXIT, &CMainDlg::OnExit);
  QObject::connect(fileMenu_, &QMenu::aboutToShow, &window_, &CMainDlg::UpdateFileMenu);
}

void CMainMenus::BuildConvertMenu() {
  convertMenu_ = bar_->addMenu(QStringLiteral("&Convert"));
  Add(convertMenu_, QStringLiteral("Convert to &MP3..."), CMainDlg::ID_CONVERT_TO_MP3,
      &CMainDlg::OnConvertToMp3);
  Add(convertMenu_, QStringLiteral("Convert to &WAV..."), CMainDlg::ID_CONVERT_TO_WAV,
      &CMainDlg::OnConvertToWav);
  convertMenu_->addSeparator();
  // The batch command connects itself (CBatchConvertCommand).
  Add(convertMenu_, QStringLiteral("Batch Convert..."), CMainDlg::ID_CONVERT_BATCH, nullptr);
  convertMenu_->addSeparator();
  Add(convertMenu_, QStringLiteral("Convert to &8 bit WAV..."), CMainDlg::ID_CONVERT_TO_8BIT,
      &CMainDlg::OnConvertTo8Bit);
  Add(convertMenu_, QStringLiteral("Convert to 1&6 bit WAV..."), CMainDlg::ID_CONVERT_TO_16BIT,
      &CMainDlg::OnConvertTo16Bit);
  Add(convertMenu_, QStringLiteral("&Rip channels..."), CMainDlg::ID_CONVERT_RIP_CHANNELS,
      &CMainDlg::OnRipChannels);
  QObject::connect(convertMenu_, &QMenu::aboutToShow, &window_, &CMainDlg::UpdateConvertMenu);
}

void CMainMenus::BuildEditAndViewMenus() {
  // Edit comes after File, View after Convert, as desktop programs order them.
  auto* edit = new QMenu(QStringLiteral("&Edit"), bar_);
  bar_->insertMenu(convertMenu_->menuAction(), edit);
  QAction* set = Add(edit, QStringLiteral("Set &Selection..."), CMainDlg::ID_EDIT_SET_SELECTION,
                     &CMainDlg::OnSetSelection);
  set->setEnabled(false);
  QMenu* view = bar_->addMenu(QStringLiteral("&View"));
  QAction* waveform =
      Add(view, QStringLiteral("&Waveform"), CMainDlg::ID_VIEW_WAVEFORM, &CMainDlg::OnToggleWaveform);
  waveform->setCheckable(true);
  waveform->setChecked(ReadDwordSetting(kShowWaveformValue, 1) != 0);
}

void CMainMenus::BuildHelpMenu() {
  QMenu* help = bar_->addMenu(QStringLiteral("&Help"));
  QAction* topics = Add(help, QStringLiteral("&Help Topics"), CMainDlg::ID_HELP_TOPICS, &CMainDlg::OnHelp);
  topics->setShortcut(QKeySequence(Qt::Key_F1));
  topics->setShortcutContext(Qt::WindowShortcut);
  window_.addAction(topics);
  help->addSeparator();
  Add(help, QStringLiteral("&About Kestrune"), CMainDlg::ID_HELP_ABOUT, &CMainDlg::OnAbout);
}

void CMainMenus::AddDesktopEntries() {
  QAction* shred = Action(CMainDlg::ID_FILE_SHRED_EQUALLY);
  QAction* close = Add(fileMenu_, QStringLiteral("&Close"), CMainDlg::ID_FILE_CLOSE, &CMainDlg::OnCloseFile);
  fileMenu_->insertAction(shred, close);
  recentMenu_ = new QMenu(QStringLiteral("Recent &files"), fileMenu_);
  actions_[CMainDlg::ID_FILE_RECENT] =
      WithId(fileMenu_->insertMenu(shred, recentMenu_), CMainDlg::ID_FILE_RECENT);
  QObject::connect(recentMenu_, &QMenu::aboutToShow, &window_, [this] { UpdateRecentMenu(); });
  QAction* save = Add(fileMenu_, QStringLiteral("Save se&lection..."), CMainDlg::ID_FILE_SAVE_SELECTION,
                      &CMainDlg::OnSaveSelection);
  fileMenu_->insertAction(shred, save);
  QAction* reveal = Add(fileMenu_, QStringLiteral("Show in &Folder"), CMainDlg::ID_FILE_SHOW_IN_FOLDER,
                        &CMainDlg::OnShowInFolder);
  fileMenu_->insertAction(shred, reveal);
  fileMenu_->insertSeparator(shred);
  AddShortcuts(close, save);
  UpdateRecentMenu();
}

void CMainMenus::AddShortcuts(QAction* close, QAction* save) {
  const std::pair<QAction*, QKeySequence> shortcuts[] = {
      {Action(CMainDlg::ID_FILE_OPEN), QKeySequence(Qt::CTRL | Qt::Key_O)},
      {close, QKeySequence(Qt::CTRL | Qt::Key_W)},
      {save, QKeySequence(Qt::CTRL | Qt::Key_S)},
      {Action(CMainDlg::ID_FILE_EXIT), QKeySequence(Qt::CTRL | Qt::Key_Q)},
  };
  for (const auto& [action, keys] : shortcuts) {
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    window_.addAction(action);
  }
}

void CMainMenus::UpdateFileMenu(bool fileOpen) {
  for (int id : {CMainDlg::ID_FILE_SHRED_EQUALLY, CMainDlg::ID_FILE_SPLIT, CMainDlg::ID_FILE_INFORMATION,
                 CMainDlg::ID_FILE_SETTINGS, CMainDlg::ID_EDIT_SET_SELECTION})
    Action(id)->setEnabled(fileOpen);
  Action(CMainDlg::ID_FILE_OPEN)->setEnabled(true);
  Action(CMainDlg::ID_FILE_EXIT)->setEnabled(true);
}

void CMainMenus::UpdateConvertMenu(const ConvertMenuState& state) {
  Action(CMainDlg::ID_CONVERT_RIP_CHANNELS)->setEnabled(state.ripChannels);
  Action(CMainDlg::ID_CONVERT_TO_MP3)->setEnabled(state.toMp3);
  Action(CMainDlg::ID_CONVERT_TO_8BIT)->setEnabled(state.to8Bit);
  Action(CMainDlg::ID_CONVERT_TO_16BIT)->setEnabled(state.to16Bit);
  Action(CMainDlg::ID_CONVERT_TO_WAV)->setEnabled(state.toWav);
  // "Batch Convert..." is always enabled; CBatchConvertCommand keeps its check mark.
}

void CMainMenus::UpdateDesktopEntries(bool fileOpen, bool canSave, bool written) {
  Action(CMainDlg::ID_FILE_CLOSE)->setEnabled(fileOpen);
  // Ctrl+S and the menu entry do what SAVE does, when SAVE can.
  Action(CMainDlg::ID_FILE_SAVE_SELECTION)->setEnabled(canSave);
  Action(CMainDlg::ID_FILE_RECENT)->setEnabled(!recent::Files().isEmpty());
  Action(CMainDlg::ID_FILE_SHOW_IN_FOLDER)->setEnabled(written);
}

void CMainMenus::UpdateRecentMenu() {
  recentMenu_->clear();
  const QStringList files = recent::Files();
  for (int i = 0; i < files.size(); ++i) {
    const QString path = files[i];
    // "&1 name" keeps the numbers as keyboard accelerators; a literal "&" in
    // a name is doubled so it shows.
    QString name = QFileInfo(path).fileName();
    name.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* entry = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name));
    entry->setToolTip(path);
    entry->setStatusTip(path);
    entry->setData(path);
    QObject::connect(entry, &QAction::triggered, &window_, [this, path] { window_.OpenRecent(path); });
  }
  if (QAction* recent = Action(CMainDlg::ID_FILE_RECENT)) recent->setEnabled(!files.isEmpty());
}
