#include "gui/app/MainDlg.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <new>

#include "core/File.h"
#include "core/StringTable.h"
#include "core/mp3/Mp3File.h"
#include "core/open/AudioFileFactory.h"
#include "gui/AboutDlg.h"
#include "gui/BitmapButton.h"
#include "gui/ControlId.h"
#include "gui/ConvertCommands.h"
#include "gui/DialogKeys.h"
#include "gui/EngineText.h"
#include "gui/GuiServices.h"
#include "gui/HelpViewer.h"
#include "gui/InfoDlgs.h"
#include "gui/MediaPlayer2.h"
#include "gui/PositionSlider.h"
#include "gui/ProgressDlg.h"
#include "gui/Resources.h"
#include "gui/SettingsDlg.h"
#include "gui/WaveformPanel.h"
#include "gui/batch/BatchConvertThread.h"
#include "settings/RecentFiles.h"
#include "settings/RegistrySettings.h"

namespace {

QFrame* EtchedLine() {
  auto* line = new QFrame;
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

QString LengthText(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "Length : %5.2lf sec", seconds);
  return QString::fromLatin1(text);
}

}  // namespace

CMainDlg::CMainDlg(const CGuiServices& services, std::unique_ptr<CMediaPlayer2> player, QWidget* parent)
    : QDialog(parent), services_(services), commands_(MakeCommands()), player_(std::move(player)) {
  InitKestruneResources();
  setWindowTitle(QString::fromLatin1(kAppCaption));
  // A fixed-size window: no maximise; the close box ends the program.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setWindowIcon(QIcon(QStringLiteral(":/kestrune/kestrune.svg")));
  BuildMenus();
  batch_ = new CBatchConvertCommand(services_, this, Action(ID_CONVERT_BATCH));
  // A batch run never replaces the file open here.
  batch_->SetOpenFileSource([this] { return file_ ? file_->GetFilePath() : std::string(); });
  BuildControls();
  SetDesktopTabOrder();
  save_->installEventFilter(this);
  UpdateDesktopEntries();
  setAcceptDrops(true);

  playTimer_.setInterval(kPlayTimerMs);
  connect(&playTimer_, &QTimer::timeout, this, &CMainDlg::OnTimer);
  if (player_) {
    connect(player_.get(), &CMediaPlayer2::EndOfStream, this, &CMainDlg::OnEndOfStream);
    connect(player_.get(), &CMediaPlayer2::Error, this, &CMainDlg::OnPlayerError);
  }
  Collapse();
}

CMainDlg::~CMainDlg() {
  RememberSize();
  playTimer_.stop();
  if (player_) player_->disconnect(this);
}

CMediaPlayer2& CMainDlg::PreparePlayer() {
  if (!player_) {
    player_ = CreateMediaPlayer();
    connect(player_.get(), &CMediaPlayer2::EndOfStream, this, &CMainDlg::OnEndOfStream);
    connect(player_.get(), &CMediaPlayer2::Error, this, &CMainDlg::OnPlayerError);
  }
  return *player_;
}

QAction* CMainDlg::AddAction(QMenu* menu, const QString& text, int id, void (CMainDlg::*handler)()) {
  QAction* action = WithId(menu->addAction(text), id);
  if (handler) connect(action, &QAction::triggered, this, handler);
  actions_[id] = action;
  return action;
}

QAction* CMainDlg::Action(int id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainDlg::BuildMenus() {
  auto* bar = new QMenuBar(this);
  fileMenu_ = bar->addMenu(QStringLiteral("&File"));
  AddAction(fileMenu_, QStringLiteral("&Open..."), ID_FILE_OPEN, &CMainDlg::OnOpen);
  AddAction(fileMenu_, QStringLiteral("Shred &Equally..."), ID_FILE_SHRED_EQUALLY, &CMainDlg::OnShredEqually);
  AddAction(fileMenu_, QStringLiteral("Split at Silences or by Cue S&heet..."), ID_FILE_SPLIT,
            &CMainDlg::OnSplit);
  AddAction(fileMenu_, QStringLiteral("&Settings..."), ID_FILE_SETTINGS, &CMainDlg::OnSettings);
  AddAction(fileMenu_, QStringLiteral("File &information"), ID_FILE_INFORMATION,
            &CMainDlg::OnFileInformation);
  fileMenu_->addSeparator();
  AddAction(fileMenu_, QStringLiteral("E&xit"), ID_FILE_EXIT, &CMainDlg::OnExit);
  connect(fileMenu_, &QMenu::aboutToShow, this, &CMainDlg::UpdateFileMenu);

  convertMenu_ = bar->addMenu(QStringLiteral("&Convert"));
  AddAction(convertMenu_, QStringLiteral("Convert to &MP3..."), ID_CONVERT_TO_MP3, &CMainDlg::OnConvertToMp3);
  AddAction(convertMenu_, QStringLiteral("Convert to &WAV..."), ID_CONVERT_TO_WAV, &CMainDlg::OnConvertToWav);
  convertMenu_->addSeparator();
  AddAction(convertMenu_, QStringLiteral("Batch Convert..."), ID_CONVERT_BATCH, nullptr);
  convertMenu_->addSeparator();
  AddAction(convertMenu_, QStringLiteral("Convert to &8 bit WAV..."), ID_CONVERT_TO_8BIT,
            &CMainDlg::OnConvertTo8Bit);
  AddAction(convertMenu_, QStringLiteral("Convert to 1&6 bit WAV..."), ID_CONVERT_TO_16BIT,
            &CMainDlg::OnConvertTo16Bit);
  AddAction(convertMenu_, QStringLiteral("&Rip channels..."), ID_CONVERT_RIP_CHANNELS,
            &CMainDlg::OnRipChannels);
  connect(convertMenu_, &QMenu::aboutToShow, this, &CMainDlg::UpdateConvertMenu);

  AddViewMenu(bar, convertMenu_);
  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  QAction* topics = AddAction(help, QStringLiteral("&Help Topics"), ID_HELP_TOPICS, &CMainDlg::OnHelp);
  topics->setShortcut(QKeySequence(Qt::Key_F1));
  topics->setShortcutContext(Qt::WindowShortcut);
  addAction(topics);
  help->addSeparator();
  AddAction(help, QStringLiteral("&About Kestrune"), ID_HELP_ABOUT, &CMainDlg::OnAbout);

  AddDesktopEntries();
  bar->setNativeMenuBar(false);
  menuBar_ = bar;
  UpdateFileMenu();
  UpdateConvertMenu();
}

void CMainDlg::BuildControls() {
  slider_ = WithId(new CPositionSlider, IDC_SLIDER);
  slider_->SetRange(0, 1000, true);
  slider_->SetTicks();
  slider_->setFixedSize(476, 26);
  slider_->setToolTip(QStringLiteral("Position the thumb from where you want to play or select"));
  connect(slider_, &QSlider::actionTriggered, this, &CMainDlg::OnSliderAction);
  connect(slider_, &QSlider::sliderReleased, this, &CMainDlg::OnSliderReleased);

  // The scale marks above the slider, on the thumb's 0, 25, ... 100 %.
  auto* scaleBox = new CSliderScale(slider_);

  elapsed_ = WithId(new QLabel, IDC_ELAPSED);
  elapsed_->setCursor(Qt::PointingHandCursor);
  elapsed_->installEventFilter(this);
  selection_ = WithId(new QLabel, IDC_SELECTION);
  selection_->setAlignment(Qt::AlignCenter);
  length_ = WithId(new QLabel, IDC_LENGTH);
  length_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  slider_->SetElapsedLabel(elapsed_);
  slider_->SetSelectionLabel(selection_);
  slider_->SetLengthLabel(length_);
  slider_->UpdateLabels();
  // Room for the longest texts the labels show, so that a larger font grows
  // the window instead of clipping them.
  const QFontMetrics metrics(elapsed_->font());
  elapsed_->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("Remaining : 99999.99 sec")));
  selection_->setMinimumWidth(std::max(metrics.horizontalAdvance(QStringLiteral("Selected : 99999.99 sec")),
                                       metrics.horizontalAdvance(QStringLiteral("Improper selection"))));
  length_->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("Length : 99999.99 sec")));
  auto* labels = new QHBoxLayout;
  labels->addWidget(elapsed_, 1);
  labels->addWidget(selection_, 1);
  labels->addWidget(length_, 1);

  struct ButtonSpec {
    CBitmapButton** button;
    const char* caption;
    int id;
    const char* tip;
    void (CMainDlg::*handler)();
  };
  const ButtonSpec buttonSpecs[] = {
      {&start_, "START", IDC_START, "Starts selection", &CMainDlg::OnStartSelection},
      {&end_, "END", IDC_END, "Ends selection", &CMainDlg::OnEndSelection},
      {&save_, "SAVE", IDC_SAVE, "Saves selected split", &CMainDlg::OnSaveSelection},
      {&clear_, "CLEAR", IDC_CLEAR, "Clears selection", &CMainDlg::OnClearSelection},
      {&play_, "PLAY", IDC_PLAY, "Starts playing from current slider position", &CMainDlg::OnPlay},
      {&stop_, "STOP", IDC_STOP, "Stops playing", &CMainDlg::OnStop},
      {&shred_, "SHRED", IDC_SHRED, "Shreds to smaller splits", &CMainDlg::OnShredEqually},
  };
  for (const ButtonSpec& entry : buttonSpecs) {
    CBitmapButton* button = WithId(new CBitmapButton(QString::fromLatin1(entry.caption)), entry.id);
    button->setToolTip(QString::fromLatin1(entry.tip));
    button->setEnabled(false);
    connect(button, &QAbstractButton::clicked, this, entry.handler);
    *entry.button = button;
  }
  slider_->setEnabled(false);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(6);
  buttons->addStretch();
  for (CBitmapButton* b : {start_, end_, save_, clear_}) buttons->addWidget(b);
  buttons->addSpacing(18);
  for (CBitmapButton* b : {play_, stop_}) buttons->addWidget(b);
  buttons->addSpacing(18);
  buttons->addWidget(shred_);
  buttons->addStretch();

  auto* content = new QVBoxLayout;
  content->setContentsMargins(12, 12, 12, 14);
  content->setSpacing(5);
  content->addWidget(scaleBox);
  content->addWidget(slider_, 0, Qt::AlignHCenter);
  content->addSpacing(2);
  content->addLayout(labels);
  content->addSpacing(8);
  content->addWidget(EtchedLine());
  content->addStretch();
  content->addLayout(buttons);
  content->addStretch();
  content->addWidget(EtchedLine());

  BuildWaveform(content);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->setMenuBar(menuBar_);
  outer->addLayout(content);
}

void CMainDlg::Collapse() {
  if (WaveformShown()) return ShowResizable();
  // Back from the waveform: the slider and the scale above it (sized after
  // the slider) at their classic width before the window is measured.
  slider_->setFixedWidth(476);
  slider_->resize(476, slider_->height());
  layout()->invalidate();
  SetMaximizable(false);
  // Keep position; the window has the collapsed size, or what its contents
  // need when a larger font makes them bigger.
  const QSize needed = minimumSizeHint();
  setFixedSize(std::max(520, needed.width()), std::max(kCollapsedHeight, needed.height()));
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
  if (!SwallowDialogEndKey(event)) QDialog::keyPressEvent(event);
}

bool CMainDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == elapsed_ && event->type() == QEvent::MouseButtonRelease) {
    OnToggleTimeMode();
    return true;
  }
  if (watched == save_ && event->type() == QEvent::EnabledChange) UpdateDesktopEntries();
  return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- opening

void CMainDlg::UpdateFileMenu() {
  const bool open = file_ != nullptr;
  Action(ID_FILE_SHRED_EQUALLY)->setEnabled(open);
  Action(ID_FILE_SPLIT)->setEnabled(open);
  Action(ID_FILE_INFORMATION)->setEnabled(open);
  Action(ID_FILE_SETTINGS)->setEnabled(open);
  if (QAction* set = Action(ID_EDIT_SET_SELECTION)) set->setEnabled(open);
  Action(ID_FILE_OPEN)->setEnabled(true);
  Action(ID_FILE_EXIT)->setEnabled(true);
  if (save_) UpdateDesktopEntries();
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
  if (player_) player_->SetFileName(QString());
  slider_->SetPosition(0.0);
  slider_->SetLength(0.0);
  slider_->ClearSelection();
  slider_->setEnabled(false);
  marks_.SetStream(0, 0);
  if (waveform_) waveform_->Close();
  // CLEAR goes too: with no file there is no selection to clear.
  for (CBitmapButton* b : {start_, end_, save_, clear_, play_, stop_, shred_}) b->setEnabled(false);
  setWindowTitle(QString::fromLatin1(kAppCaption));
  Collapse();
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
  std::unique_ptr<CAudioFile> opened = OpenAudioFile(QFile::encodeName(path).toStdString(), this);
  if (!opened) {
    services_.Prompt().Ask(this, msg::kCaptionError, msg::kTypeNotSupported, MessageIcon::Error,
                           PromptButtons::Ok);
    return;
  }
  if (opened->ReportError(this) != err::kNone) return;
  file_ = std::move(opened);
  recent::Add(path);
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
  slider_->setEnabled(true);
  slider_->SetLength(file_->GetDuration());
  length_->setText(LengthText(file_->GetDuration()));
  slider_->UpdateLabels();
  for (CBitmapButton* b : {start_, play_, shred_}) b->setEnabled(true);
  marks_.SetStream(file_->GetSampleRate(), file_->GetSampleCount());
  StartWaveform();
  // Load the file into the player now, so PLAY starts at once.
  PreparePlayer().SetFileName(QFile::decodeName(file_->GetFilePath().c_str()));
}

// --------------------------------------------------------------- settings

void CMainDlg::ApplyOverlapTime() {
  if (!file_) return;
  if (!overlapSet_) overlapTime_ = CSettingsDlg::ReadOverlapTime();
  file_->SetOverlapTime(overlapTime_);
}

void CMainDlg::ApplyFilenameSuffix() {
  if (!file_) return;
  if (!suffixSet_) suffix_ = CSettingsDlg::ReadFilenameSuffix();
  file_->SetSuffix(suffix_);
}

void CMainDlg::ApplyGaplessMp3() {
  if (!overlapSet_) gapless_ = ReadGaplessMp3();
  if (auto* mp3 = dynamic_cast<CMp3File*>(file_.get())) mp3->SetGaplessPieces(gapless_);
}

void CMainDlg::OnSettings() {
  CSettingsDlg dialog(services_, overlapTime_, suffix_, overlapSet_ != 0, suffixSet_ != 0, this);
  if (overlapSet_) dialog.SetGaplessMp3(gapless_);
  dialog.exec();
  overlapTime_ = dialog.GetOverlapTime();
  suffix_ = dialog.GetFilenameSuffix();
  gapless_ = dialog.GetGaplessMp3();
  // The overlap and the kind of MP3 pieces apply to the open file at once;
  // the suffix from the next file opened on.
  if (file_) file_->SetOverlapTime(overlapTime_);
  if (auto* mp3 = dynamic_cast<CMp3File*>(file_.get())) mp3->SetGaplessPieces(gapless_);
  overlapSet_ = 1;
  suffixSet_ = 1;
}

// ------------------------------------------------------------ information

void CMainDlg::OnFileInformation() {
  if (file_) file_->ShowInformation();
}

void CMainDlg::ShowInformation(CAudioFile& file) {
  QStringList lines;
  for (const std::string& line : file.GetInformationLines()) lines << FromEngineText(line);
  if (const auto* mp3 = dynamic_cast<const CMp3File*>(&file)) {
    const Mp3TagFields tag = mp3->GetTagFields();
    Mp3Information info;
    info.fileName = QFile::decodeName(tag.fileName.c_str());
    info.mpegLines = lines;
    // ID3v1 fields are Latin-1 bytes.
    for (const std::string* field :
         {&tag.title, &tag.artist, &tag.album, &tag.year, &tag.comment, &tag.genre})
      info.tagFields << QString::fromLatin1(field->data(), static_cast<qsizetype>(field->size()));
    CMp3InfoDlg dialog(info, this);
    dialog.exec();
  } else {
    CWavInfoDlg dialog(lines, this);
    dialog.exec();
  }
}

void CMainDlg::ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) {
  services_.Prompt().Ask(this, FromEngineText(caption), FromEngineText(text), icon, PromptButtons::Ok);
}

// ------------------------------------------------------------------- help

void CMainDlg::OnHelp() {
  CHelpViewer::ShowTopic(this, QString());
}

void CMainDlg::OnAbout() {
  CAboutDlg dialog(services_, this);
  dialog.exec();
}

void CMainDlg::OnExit() {
  StopPlayback();
  done(QDialog::Accepted);
}

// ------------------------------------------------------------- operations

void CMainDlg::ReportFileFailure(const std::string& message) {
  services_.Prompt().Ask(this, QString::fromLatin1(kAppName), FromEngineText(message), MessageIcon::Error,
                         PromptButtons::Ok);
}

void CMainDlg::RunWithProgress(const std::function<void(CAudioFile&, CProgress&)>& operation) {
  if (!file_) return;
  std::string failure;
  file_->ForgetLastOutput();
  const COperationNotice notice(services_.desktop, this);
  {
    CProgressDlg progress(this);
    failure = RunCatchingFileFailures([&] { operation(*file_, progress); }, file_->GetFilePath());
  }
  NoteOperationEnd(*file_, notice, failure, [this](const QString& path) { lastWritten_ = path; });
  if (!failure.empty()) {
    ReportFileFailure(failure);
    return;
  }
  file_->ReportError(this);
}

QString CMainDlg::AskOutputPath(const std::string& defaultExtension, const std::string& filter,
                                bool overwritePrompt) {
  FileDialogRequest request;
  QString extension = FromEngineText(defaultExtension);
  if (extension.startsWith(QStringLiteral("*."))) extension = extension.mid(2);
  request.defaultExtension = extension.toLower();
  request.filter = FromEngineText(filter);
  request.overwritePrompt = overwritePrompt;
  return services_.Prompt().GetSaveFileName(this, request);
}

// --------------------------------------------------------------- playback

void CMainDlg::FocusButton(CBitmapButton* button) {
  if (button->isEnabled()) button->setFocus(Qt::OtherFocusReason);
}

void CMainDlg::OnPlay() {
  if (!file_) return;
  play_->setEnabled(false);
  stop_->setEnabled(true);
  FocusButton(stop_);
  CMediaPlayer2& player = PreparePlayer();
  if (!noDeviceShown_ && !player.HasOutputDevice()) {
    // Said once; the thumb still runs, so a selection can be marked.
    noDeviceShown_ = true;
    services_.Prompt().Ask(this, QString::fromLatin1(kAppName),
                           QStringLiteral("No sound output device was found."), MessageIcon::Information,
                           PromptButtons::Ok);
  }
  if (playingState_ == 0) player.SetFileName(QFile::decodeName(file_->GetFilePath().c_str()));
  playTimer_.start();
  player.SetCurrentPosition(slider_->GetPositionSeconds());
  if (!player.Play()) {
    services_.Prompt().Ask(this, QString::fromLatin1(kAppName),
                           QStringLiteral("Cannot playback this audio file"), MessageIcon::None,
                           PromptButtons::Ok);
    // Leave the window as it was before PLAY: nothing is playing.
    playTimer_.stop();
    stop_->setEnabled(false);
    play_->setEnabled(true);
    FocusButton(play_);
    return;
  }
  playingState_ = 1;
}

void CMainDlg::OnStop() {
  if (playingState_ == 0) return;
  stop_->setEnabled(false);
  play_->setEnabled(true);
  FocusButton(play_);
  if (player_) player_->Pause();
  playTimer_.stop();
  playingState_ = 2;
}

void CMainDlg::StopPlayback() {
  if (playingState_ == 0) return;
  stop_->setEnabled(false);
  play_->setEnabled(true);
  FocusButton(play_);
  playTimer_.stop();
  if (player_) player_->Stop();
  playingState_ = 0;
}

void CMainDlg::OnTimer() {
  if (!file_ || !player_) return;
  const double duration = file_->GetDuration();
  const double fraction = duration > 0.0 ? player_->GetCurrentPosition() / duration : 0.0;
  slider_->SetPosition(fraction);
  slider_->UpdateSelection();
  SyncSelectionFromSlider();
}

void CMainDlg::OnEndOfStream() {
  playingState_ = 0;
  playTimer_.stop();
  stop_->setEnabled(false);
  play_->setEnabled(file_ != nullptr);
  FocusButton(play_);
  slider_->SetPosition(0.0);
  slider_->UpdateLabels();
  SyncSelectionFromSlider();
}

void CMainDlg::OnPlayerError() {
  const QString description = player_ ? player_->GetErrorDescription() : QString();
  services_.Prompt().Ask(this, msg::kCaptionError, description, MessageIcon::Error, PromptButtons::Ok);
  if (playingState_ != 0) {
    playTimer_.stop();
    playingState_ = 0;
    stop_->setEnabled(false);
    play_->setEnabled(file_ != nullptr);
  }
}

void CMainDlg::OnSliderAction(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepAdd:
    case QAbstractSlider::SliderPageStepSub:
    case QAbstractSlider::SliderToMinimum:
    case QAbstractSlider::SliderToMaximum:
      if (playingState_ == 1 && player_) {
        playTimer_.stop();
        player_->SetCurrentPosition(slider_->GetPositionSeconds());
        player_->Play();
        playTimer_.start();
      }
      break;
    case QAbstractSlider::SliderMove:
      // While the thumb is dragged the player goes on; the thumb is the user's.
      if (playingState_ == 1 && slider_->isSliderDown()) playTimer_.stop();
      break;
    default:
      return;
  }
  slider_->UpdateSelection();
  SyncSelectionFromSlider();
}

void CMainDlg::OnSliderReleased() {
  if (playingState_ == 1 && player_) {
    player_->SetCurrentPosition(slider_->GetPositionSeconds());
    player_->Play();
    playTimer_.start();
  }
  slider_->UpdateSelection();
  SyncSelectionFromSlider();
}

// -------------------------------------------------------------- selection

void CMainDlg::OnToggleTimeMode() {
  slider_->ToggleTimeMode();
}

void CMainDlg::OnStartSelection() {
  start_->setEnabled(false);
  end_->setEnabled(true);
  clear_->setEnabled(true);
  FocusButton(end_);
  slider_->StartSelection();
  marks_.SetExact(false);
  SyncSelectionFromSlider();
}

void CMainDlg::OnEndSelection() {
  if (slider_->SelectionRangeStart() == slider_->SelectionRangeEnd()) {
    services_.Prompt().Ask(this, msg::kCaptionError, msg::kMakeSelection, MessageIcon::Warning,
                           PromptButtons::Ok);
    return;
  }
  slider_->EndSelection();
  SyncSelectionFromSlider();
  end_->setEnabled(false);
  save_->setEnabled(true);
  FocusButton(save_);
}

void CMainDlg::OnSaveSelection() {
  if (!file_) return;
  OnStop();
  // This save dialog asks before replacing an existing file: a selection
  // must not silently destroy another file.
  const QString path = AskOutputPath(file_->GetDefaultExtension(), file_->GetFileFilter(), true);
  if (path.isEmpty()) return;
  double startSeconds = 0.0;
  double endSeconds = 0.0;
  const auto exact = marks_.Exact() ? marks_.Selection() : std::nullopt;
  if (exact) {
    // Marked on the waveform or typed: saved to the sample.
    const std::string output = QFile::encodeName(path).toStdString();
    RunWithProgress([&](CAudioFile& file, CProgress& progress) {
      file.SaveSelectionSamples(output, exact->first, exact->end, &progress);
    });
  } else if (slider_->GetSelection(startSeconds, endSeconds)) {
    const std::string output = QFile::encodeName(path).toStdString();
    const auto first = static_cast<std::uint32_t>(startSeconds);
    const auto last = static_cast<std::uint32_t>(endSeconds);
    RunWithProgress(
        [&](CAudioFile& file, CProgress& progress) { file.SaveSelection(output, first, last, &progress); });
  }
  start_->setEnabled(true);
  FocusButton(start_);
  for (CBitmapButton* b : {end_, save_, clear_}) b->setEnabled(false);
  slider_->ClearSelection();
  marks_.Clear();
  SyncSelectionFromSlider();
}

void CMainDlg::OnClearSelection() {
  start_->setEnabled(file_ != nullptr);
  FocusButton(start_);
  for (CBitmapButton* b : {end_, save_, clear_}) b->setEnabled(false);
  slider_->ClearSelection();
  marks_.Clear();
  SyncSelectionFromSlider();
}
