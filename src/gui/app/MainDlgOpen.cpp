// Opening and closing the main window's file: File > Open, a drop on the
// window, File > Recent files and Close; the keyboard order of the buttons,
// the open file's folder as the place where file dialogs start, and File >
// Show in Folder.

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "core/StringTable.h"
#include "core/open/Formats.h"
#include "gui/BitmapButton.h"
#include "gui/DesktopIntegration.h"
#include "gui/EngineText.h"
#include "gui/GuiServices.h"
#include "gui/ObjectName.h"
#include "gui/PositionSlider.h"
#include "gui/WaveformPanel.h"
#include "gui/app/MainControls.h"
#include "gui/app/MainDlg.h"
#include "gui/app/MainMenus.h"
#include "gui/app/MainPlayback.h"

namespace {

QString LengthText(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "Length : %5.2lf sec", seconds);
  return QString::fromLatin1(text);
}

}  // namespace

void CMainDlg::UpdateFileMenu() {
  menus_->UpdateFileMenu(file_ != nullptr);
  if (controls_) UpdateDesktopEntries();
}

bool CMainDlg::CloseOpenFile() {
  if (!file_) return true;
  const QString question = QStringLiteral("%1 is already open. Do you wish to open another file ?")
                               .arg(FromEngineText(file_->GetFileName()));
  if (services_.Prompt().Ask(this, msg::kCaptionComfirm, question, MessageIcon::Warning,
                             PromptButtons::YesNo) != PromptAnswer::Yes)
    return false;
  DropOpenFile();
  return true;
}

void CMainDlg::DropOpenFile() {
  StopPlayback();
  file_.reset();
  SetDocumentFolder();
  playback_->Unload();
  CPositionSlider* slider = controls_->slider;
  slider->SetPosition(0.0);
  slider->SetLength(0.0);
  slider->ClearSelection();
  slider->setEnabled(false);
  marks_.SetStream(0, 0);
  if (waveform_) waveform_->Close();
  // CLEAR goes too: with no file there is no selection to clear.
  for (CBitmapButton* b : controls_->Buttons()) b->setEnabled(false);
  setWindowTitle(QString::fromLatin1(kAppCaption));
  history_.Clear();
  segments_.Assign({});
  ShowSegments();
  // The size the person gave the window, for the window of the next file.
  RememberSize();
  Collapse();
  UpdateEditEntries();
  UpdateFileMenu();
  UpdateConvertMenu();
}

void CMainDlg::OnOpen() {
  if (!CloseOpenFile()) return;
  FileDialogRequest request;
  request.filter = FromEngineText(LoadMessage(ids::kSupportedFilesFilter));
  const QString path = services_.Prompt().GetOpenFileName(this, request);
  if (path.isEmpty()) return;
  OpenPath(path);
}

void CMainDlg::OnDropFiles(const QStringList& paths) {
  if (paths.isEmpty()) return;
  if (!CloseOpenFile()) return;
  // Only the first dropped file is opened.
  OpenPath(paths.front());
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data->hasUrls() && !data->urls().isEmpty() && data->urls().front().isLocalFile())
    event->acceptProposedAction();
}

void CMainDlg::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  event->acceptProposedAction();
  // Opening may ask questions; let the drag end first.
  QTimer::singleShot(0, this, [this, paths] { OnDropFiles(paths); });
}

void CMainDlg::OpenPath(const QString& path) {
  std::unique_ptr<CAudioFile> opened = OpenAudioFile(QFile::encodeName(path).toStdString());
  if (!opened) {
    services_.Prompt().Ask(this, msg::kCaptionError, msg::kTypeNotSupported, MessageIcon::Error,
                           PromptButtons::Ok);
    return;
  }
  if (opened->GetError() != err::kNone) {
    services_.Prompt().Ask(this, msg::kCaptionError, FromEngineText(LoadMessage(opened->GetError())),
                           MessageIcon::Error, PromptButtons::Ok);
    return;
  }
  file_ = std::move(opened);
  services_.settings.AddRecentFile(path);
  SetDocumentFolder();
  FileLoaded();
  setWindowTitle(QString::fromLatin1(kAppCaption) + QStringLiteral(" - ") + path);
  ApplyOverlapTime();
  ApplyFilenameSuffix();
  ApplyGaplessMp3();
  UpdateFileMenu();
  UpdateConvertMenu();
}

void CMainDlg::FileLoaded() {
  CMainControls& c = *controls_;
  c.slider->setEnabled(true);
  c.slider->SetLength(file_->GetDuration());
  c.length->setText(LengthText(file_->GetDuration()));
  c.slider->UpdateLabels();
  for (CBitmapButton* b : {c.start, c.play, c.shred}) b->setEnabled(true);
  marks_.SetStream(file_->GetSampleRate(), file_->GetSampleCount());
  history_.Clear();
  segments_.Assign({});
  ShowSegments();
  StartWaveform();
  UpdateEditEntries();
  // Load the file into the player now, so PLAY starts at once.
  playback_->Load(QFile::decodeName(file_->GetFilePath().c_str()));
}

void CMainDlg::SetDesktopTabOrder() {
  // Keyboard focus runs along the slider, then the buttons left to right.
  QWidget* previous = controls_->slider;
  for (CBitmapButton* button : controls_->Buttons()) {
    setTabOrder(previous, button);
    previous = button;
  }
}

void CMainDlg::UpdateDesktopEntries() {
  menus_->UpdateDesktopEntries(file_ != nullptr, controls_->save->isEnabled(), !lastWritten_.isEmpty());
}

void CMainDlg::OnShowInFolder() {
  if (!lastWritten_.isEmpty()) services_.desktop.folders->ShowItem(lastWritten_);
}

void CMainDlg::OpenRecent(const QString& path) {
  // A file gone from the disk is reported before the question about the
  // open file, which stays open, and is not offered again.
  if (!QFileInfo::exists(path)) {
    services_.settings.RemoveRecentFile(path);
    menus_->UpdateRecentMenu();
    services_.Prompt().Ask(this, msg::kCaptionError,
                           QString::fromStdString(LoadMessage(err::kCannotOpen)) +
                               QStringLiteral("\n%1 no longer exists.").arg(path),
                           MessageIcon::Error, PromptButtons::Ok);
    return;
  }
  if (!CloseOpenFile()) return;
  OpenPath(path);
  menus_->UpdateRecentMenu();
}

void CMainDlg::OnCloseFile() {
  if (file_) DropOpenFile();
}

void CMainDlg::SetDocumentFolder() {
  setProperty(kDocumentFolderProperty,
              file_ ? QFileInfo(QFile::decodeName(file_->GetFilePath().c_str())).absolutePath() : QString());
}
