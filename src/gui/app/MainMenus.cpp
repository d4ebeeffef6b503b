#include "gui/app/MainMenus.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include "gui/ConvertCommands.h"
#include "gui/ObjectName.h"
#include "gui/app/MainDlg.h"
#include "settings/SettingsStore.h"

CMainMenus::CMainMenus(CMainDlg& window, const CSettingsStore& settings)
    : window_(window), settings_(settings) {
  bar_ = new QMenuBar(&window);
  BuildFileMenu();
  BuildConvertMenu();
  BuildEditAndViewMenus();
  BuildHelpMenu();
  AddDesktopEntries();
  bar_->setNativeMenuBar(false);
}

QAction* CMainMenus::Add(QMenu* menu, const QString& text, const char* name, Command command) {
  QAction* action = Named(menu->addAction(text), name);
  if (command) QObject::connect(action, &QAction::triggered, &window_, command);
  return action;
}

QAction* CMainMenus::Action(const char* name) const {
  return window_.findChild<QAction*>(QString::fromLatin1(name));
}

void CMainMenus::BuildFileMenu() {
  fileMenu_ = bar_->addMenu(QStringLiteral("&File"));
  Add(fileMenu_, QStringLiteral("&Open..."), CMainDlg::kFileOpen, &CMainDlg::OnOpen);
  Add(fileMenu_, QStringLiteral("Shred &Equally..."), CMainDlg::kFileShredEqually, &CMainDlg::OnShredEqually);
  Add(fileMenu_, QStringLiteral("Split at Silences or by Cue S&heet..."), CMainDlg::kFileSplit,
      &CMainDlg::OnSplit);
  Add(fileMenu_, QStringLiteral("&Settings..."), CMainDlg::kFileSettings, &CMainDlg::OnSettings);
  Add(fileMenu_, QStringLiteral("File &information"), CMainDlg::kFileInformation,
      &CMainDlg::OnFileInformation);
  fileMenu_->addSeparator();
  Add(fileMenu_, QStringLiteral("E&xit"), CMainDlg::kFileExit, &CMainDlg::OnExit);
  QObject::connect(fileMenu_, &QMenu::aboutToShow, &window_, &CMainDlg::UpdateFileMenu);
}

void CMainMenus::BuildConvertMenu() {
  convertMenu_ = bar_->addMenu(QStringLiteral("&Convert"));
  Add(convertMenu_, QStringLiteral("Convert to &MP3..."), CMainDlg::kConvertToMp3, &CMainDlg::OnConvertToMp3);
  Add(convertMenu_, QStringLiteral("Convert to &WAV..."), CMainDlg::kConvertToWav, &CMainDlg::OnConvertToWav);
  convertMenu_->addSeparator();
  // The batch command connects itself (CBatchConvertCommand).
  Add(convertMenu_, QStringLiteral("Batch Convert..."), CMainDlg::kConvertBatch, nullptr);
  convertMenu_->addSeparator();
  Add(convertMenu_, QStringLiteral("Convert to &8 bit WAV..."), CMainDlg::kConvertTo8Bit,
      &CMainDlg::OnConvertTo8Bit);
  Add(convertMenu_, QStringLiteral("Convert to 1&6 bit WAV..."), CMainDlg::kConvertTo16Bit,
      &CMainDlg::OnConvertTo16Bit);
  Add(convertMenu_, QStringLiteral("&Rip channels..."), CMainDlg::kConvertRipChannels,
      &CMainDlg::OnRipChannels);
  QObject::connect(convertMenu_, &QMenu::aboutToShow, &window_, &CMainDlg::UpdateConvertMenu);
}

void CMainMenus::BuildEditAndViewMenus() {
  // Edit comes after File, View after Convert, as desktop programs order them.
  auto* edit = new QMenu(QStringLiteral("&Edit"), bar_);
  bar_->insertMenu(convertMenu_->menuAction(), edit);
  QAction* undo = Add(edit, QStringLiteral("&Undo"), CMainDlg::kEditUndo, &CMainDlg::OnUndo);
  QAction* redo = Add(edit, QStringLiteral("&Redo"), CMainDlg::kEditRedo, &CMainDlg::OnRedo);
  edit->addSeparator();
  QAction* set =
      Add(edit, QStringLiteral("Set &Selection..."), CMainDlg::kEditSetSelection, &CMainDlg::OnSetSelection);
  set->setEnabled(false);
  QMenu* view = bar_->addMenu(QStringLiteral("&View"));
  QAction* waveform =
      Add(view, QStringLiteral("&Waveform"), CMainDlg::kViewWaveform, &CMainDlg::OnToggleWaveform);
  waveform->setCheckable(true);
  waveform->setChecked(settings_.ShowWaveform());
  QAction* segments =
      Add(view, QStringLiteral("&Segments"), CMainDlg::kViewSegments, &CMainDlg::OnToggleSegments);
  segments->setCheckable(true);
  view->addSeparator();
  QAction* in = Add(view, QStringLiteral("Zoom &In"), CMainDlg::kViewZoomIn, &CMainDlg::OnZoomIn);
  QAction* out = Add(view, QStringLiteral("Zoom &Out"), CMainDlg::kViewZoomOut, &CMainDlg::OnZoomOut);
  QAction* fit = Add(view, QStringLiteral("Zoom to &Fit"), CMainDlg::kViewZoomFit, &CMainDlg::OnZoomFit);
  QAction* toSelection = Add(view, QStringLiteral("Zoom to S&election"), CMainDlg::kViewZoomSelection,
                             &CMainDlg::OnZoomToSelection);
  QMenu* play = bar_->addMenu(QStringLiteral("&Play"));
  QAction* playSelection =
      Add(play, QStringLiteral("Play &Selection"), CMainDlg::kPlaySelection, &CMainDlg::OnPlaySelection);
  QAction* loop = Add(play, QStringLiteral("&Loop Selection"), CMainDlg::kPlayLoop, nullptr);
  loop->setCheckable(true);
  const std::pair<QAction*, QList<QKeySequence>> shortcuts[] = {
      {undo, {QKeySequence(Qt::CTRL | Qt::Key_Z)}},
      {redo, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}},
      {in, {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)}},
      {out, {QKeySequence(Qt::CTRL | Qt::Key_Minus)}},
      {fit, {QKeySequence(Qt::CTRL | Qt::Key_0)}},
      {toSelection, {QKeySequence(Qt::CTRL | Qt::Key_E)}},
      {playSelection, {QKeySequence(Qt::CTRL | Qt::Key_P)}},
      {loop, {QKeySequence(Qt::CTRL | Qt::Key_L)}},
  };
  for (const auto& [action, keys] : shortcuts) {
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setEnabled(false);
    window_.addAction(action);
  }
  loop->setEnabled(true);
  AddNudgeKeys();
}

void CMainMenus::AddNudgeKeys() {
  // Shift+arrows move the active mark: by 10 ms, with Ctrl by a pixel of
  // the strip, with Alt by one sample. Window shortcuts, so they work
  // wherever the focus is and during a drag; enabled only while there is a
  // mark, so that otherwise the keys reach the slider as before.
  const struct {
    const char* name;
    CMainDlg::NudgeStep step;
    Qt::KeyboardModifiers modifiers;
  } steps[] = {
      {CMainDlg::kNudgeMs, CMainDlg::NudgeStep::TenMs, Qt::ShiftModifier},
      {CMainDlg::kNudgePixel, CMainDlg::NudgeStep::Pixel, Qt::ShiftModifier | Qt::ControlModifier},
      {CMainDlg::kNudgeSample, CMainDlg::NudgeStep::Sample, Qt::ShiftModifier | Qt::AltModifier},
  };
  for (const auto& step : steps)
    for (const int direction : {-1, 1}) {
      auto* action = new QAction(&window_);
      action->setObjectName(QString::fromLatin1(step.name) +
                            (direction < 0 ? QStringLiteral("Left") : QStringLiteral("Right")));
      action->setShortcut(QKeySequence(step.modifiers | (direction < 0 ? Qt::Key_Left : Qt::Key_Right)));
      action->setShortcutContext(Qt::WindowShortcut);
      action->setEnabled(false);
      QObject::connect(action, &QAction::triggered, &window_,
                       [this, nudge = step.step, direction] { window_.NudgeMark(nudge, direction); });
      window_.addAction(action);
    }
}

void CMainMenus::BuildHelpMenu() {
  QMenu* help = bar_->addMenu(QStringLiteral("&Help"));
  QAction* topics = Add(help, QStringLiteral("&Help Topics"), CMainDlg::kHelpTopics, &CMainDlg::OnHelp);
  topics->setShortcut(QKeySequence(Qt::Key_F1));
  topics->setShortcutContext(Qt::WindowShortcut);
  window_.addAction(topics);
  help->addSeparator();
  Add(help, QStringLiteral("&About Kestrune"), CMainDlg::kHelpAbout, &CMainDlg::OnAbout);
}

void CMainMenus::AddDesktopEntries() {
  QAction* shred = Action(CMainDlg::kFileShredEqually);
  QAction* close = Add(fileMenu_, QStringLiteral("&Close"), CMainDlg::kFileClose, &CMainDlg::OnCloseFile);
  fileMenu_->insertAction(shred, close);
  recentMenu_ = new QMenu(QStringLiteral("Recent &files"), fileMenu_);
  Named(fileMenu_->insertMenu(shred, recentMenu_), CMainDlg::kFileRecent);
  QObject::connect(recentMenu_, &QMenu::aboutToShow, &window_, [this] { UpdateRecentMenu(); });
  QAction* save = Add(fileMenu_, QStringLiteral("Save se&lection..."), CMainDlg::kFileSaveSelection,
                      &CMainDlg::OnSaveSelection);
  fileMenu_->insertAction(shred, save);
  QAction* reveal = Add(fileMenu_, QStringLiteral("Show in Fol&der"), CMainDlg::kFileShowInFolder,
                        &CMainDlg::OnShowInFolder);
  fileMenu_->insertAction(shred, reveal);
  fileMenu_->insertSeparator(shred);
  AddShortcuts(close, save);
  UpdateRecentMenu();
}

void CMainMenus::AddShortcuts(QAction* close, QAction* save) {
  const std::pair<QAction*, QKeySequence> shortcuts[] = {
      {Action(CMainDlg::kFileOpen), QKeySequence(Qt::CTRL | Qt::Key_O)},
      {close, QKeySequence(Qt::CTRL | Qt::Key_W)},
      {save, QKeySequence(Qt::CTRL | Qt::Key_S)},
      {Action(CMainDlg::kFileExit), QKeySequence(Qt::CTRL | Qt::Key_Q)},
  };
  for (const auto& [action, keys] : shortcuts) {
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    window_.addAction(action);
  }
}

void CMainMenus::UpdateFileMenu(bool fileOpen) {
  for (const char* name : {CMainDlg::kFileShredEqually, CMainDlg::kFileSplit, CMainDlg::kFileInformation,
                           CMainDlg::kFileSettings, CMainDlg::kEditSetSelection})
    Action(name)->setEnabled(fileOpen);
  Action(CMainDlg::kFileOpen)->setEnabled(true);
  Action(CMainDlg::kFileExit)->setEnabled(true);
}

void CMainMenus::UpdateConvertMenu(const ConvertMenuState& state) {
  Action(CMainDlg::kConvertRipChannels)->setEnabled(state.ripChannels);
  Action(CMainDlg::kConvertToMp3)->setEnabled(state.toMp3);
  Action(CMainDlg::kConvertTo8Bit)->setEnabled(state.to8Bit);
  Action(CMainDlg::kConvertTo16Bit)->setEnabled(state.to16Bit);
  Action(CMainDlg::kConvertToWav)->setEnabled(state.toWav);
  // "Batch Convert..." is always enabled; CBatchConvertCommand keeps its check mark.
}

void CMainMenus::UpdateDesktopEntries(bool fileOpen, bool canSave, bool written) {
  Action(CMainDlg::kFileClose)->setEnabled(fileOpen);
  // Ctrl+S and the menu entry do what SAVE does, when SAVE can.
  Action(CMainDlg::kFileSaveSelection)->setEnabled(canSave);
  Action(CMainDlg::kFileRecent)->setEnabled(!settings_.RecentFiles().isEmpty());
  Action(CMainDlg::kFileShowInFolder)->setEnabled(written);
}

void CMainMenus::UpdateRecentMenu() {
  recentMenu_->clear();
  const QStringList files = settings_.RecentFiles();
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
  if (QAction* recent = Action(CMainDlg::kFileRecent)) recent->setEnabled(!files.isEmpty());
}
