// What a desktop program adds around the main window's own menus and
// buttons: File > Close and Recent files, Save selection in the File menu,
// the usual shortcuts, the keyboard order of the buttons, and the open
// file's folder as the place where file dialogs start.

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>

#include "core/StringTable.h"
#include "gui/BitmapButton.h"
#include "gui/ControlId.h"
#include "gui/DesktopIntegration.h"
#include "gui/GuiServices.h"
#include "gui/PositionSlider.h"
#include "gui/app/MainDlg.h"
#include "settings/RecentFiles.h"

void CMainDlg::AddDesktopEntries() {
  QAction* open = Action(ID_FILE_OPEN);
  QAction* shred = Action(ID_FILE_SHRED_EQUALLY);

  QAction* close = AddAction(fileMenu_, QStringLiteral("&Close"), ID_FILE_CLOSE, &CMainDlg::OnCloseFile);
  fileMenu_->insertAction(shred, close);
  recentMenu_ = new QMenu(QStringLiteral("Recent &files"), fileMenu_);
  QAction* recent = WithId(fileMenu_->insertMenu(shred, recentMenu_), ID_FILE_RECENT);
  actions_[ID_FILE_RECENT] = recent;
  connect(recentMenu_, &QMenu::aboutToShow, this, &CMainDlg::UpdateRecentMenu);
  QAction* save = AddAction(fileMenu_, QStringLiteral("Save se&lection..."), ID_FILE_SAVE_SELECTION,
                            &CMainDlg::OnSaveSelection);
  fileMenu_->insertAction(shred, save);
  QAction* reveal = AddAction(fileMenu_, QStringLiteral("Show in &Folder"), ID_FILE_SHOW_IN_FOLDER,
                              &CMainDlg::OnShowInFolder);
  fileMenu_->insertAction(shred, reveal);
  fileMenu_->insertSeparator(shred);

  const std::pair<QAction*, QKeySequence> shortcuts[] = {
      {open, QKeySequence(Qt::CTRL | Qt::Key_O)},
      {close, QKeySequence(Qt::CTRL | Qt::Key_W)},
      {save, QKeySequence(Qt::CTRL | Qt::Key_S)},
      {Action(ID_FILE_EXIT), QKeySequence(Qt::CTRL | Qt::Key_Q)},
  };
  for (const auto& [action, keys] : shortcuts) {
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
  }
  UpdateRecentMenu();
}

void CMainDlg::SetDesktopTabOrder() {
  // Keyboard focus runs along the slider, then the buttons left to right.
  QWidget* previous = slider_;
  for (CBitmapButton* button : {start_, end_, save_, clear_, play_, stop_, shred_}) {
    setTabOrder(previous, button);
    previous = button;
  }
}

void CMainDlg::UpdateDesktopEntries() {
  Action(ID_FILE_CLOSE)->setEnabled(file_ != nullptr);
  // Ctrl+S and the menu entry do what SAVE does, when SAVE can.
  Action(ID_FILE_SAVE_SELECTION)->setEnabled(save_->isEnabled());
  Action(ID_FILE_RECENT)->setEnabled(!recent::Files().isEmpty());
  Action(ID_FILE_SHOW_IN_FOLDER)->setEnabled(!lastWritten_.isEmpty());
}

void CMainDlg::OnShowInFolder() {
  if (!lastWritten_.isEmpty()) services_.desktop.folders->ShowItem(lastWritten_);
}

void CMainDlg::UpdateRecentMenu() {
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
    connect(entry, &QAction::triggered, this, [this, path] { OpenRecent(path); });
  }
  if (QAction* recent = Action(ID_FILE_RECENT)) recent->setEnabled(!files.isEmpty());
}

void CMainDlg::OpenRecent(const QString& path) {
  // A file gone from the disk is reported before the question about the
  // open file, which stays open, and is not offered again.
  if (!QFileInfo::exists(path)) {
    recent::Remove(path);
    UpdateRecentMenu();
    services_.Prompt().Ask(this, msg::kCaptionError,
                           QString::fromStdString(LoadMessage(err::kCannotOpen)) +
                               QStringLiteral("\n%1 no longer exists.").arg(path),
                           MessageIcon::Error, PromptButtons::Ok);
    return;
  }
  if (!CloseOpenFile()) return;
  OpenPath(path);
  UpdateRecentMenu();
}

void CMainDlg::OnCloseFile() {
  if (file_) DropOpenFile();
}

void CMainDlg::SetDocumentFolder() {
  setProperty(kDocumentFolderProperty,
              file_ ? QFileInfo(QFile::decodeName(file_->GetFilePath().c_str())).absolutePath() : QString());
}
