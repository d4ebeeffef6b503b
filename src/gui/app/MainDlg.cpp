#include "gui/app/MainDlg.h"

#include <QFile>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QVBoxLayout>
#include <algorithm>

#include "core/File.h"
#include "core/StringTable.h"
#include "gui/AboutDlg.h"
#include "gui/BitmapButton.h"
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
#include "gui/SegmentsPanel.h"
#include "gui/SettingsDlg.h"
#include "gui/WaveformPanel.h"
#include "gui/app/MainControls.h"
#include "gui/app/MainMenus.h"
#include "gui/app/MainPlayback.h"
#include "gui/batch/BatchSession.h"

CMainDlg::CMainDlg(const CGuiServices& services, std::unique_ptr<CMediaPlayer2> player, QWidget* parent)
    : QDialog(parent), services_(services), commands_(MakeCommands()) {
  InitKestruneResources();
  setWindowTitle(QString::fromLatin1(kAppCaption));
  // A fixed-size window: no maximise; the close box ends the program.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setWindowIcon(QIcon(QStringLiteral(":/kestrune/kestrune.svg")));
  menus_ = std::make_unique<CMainMenus>(*this, services_.settings);
  UpdateFileMenu();
  UpdateConvertMenu();
  batch_ = new CBatchConvertCommand(services_, this, Action(kConvertBatch));
  // A batch run never replaces the file open here.
  batch_->SetOpenFileSource([this] { return file_ ? file_->GetFilePath() : std::string(); });
  controls_ = std::make_unique<CMainControls>();
  controls_->slider->SetSelectionModel(marks_);
  BuildWaveform(controls_->Layout());
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->setMenuBar(menus_->Bar());
  // The segments list sits right of the strip and the controls; hidden, it
  // takes no room.
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addLayout(controls_->Layout(), 1);
  BuildSegments();
  row->addWidget(segmentsPanel_);
  outer->addLayout(row);
  CMainPlayback::Context context;
  context.window = this;
  context.services = &services_;
  context.controls = controls_.get();
  context.file = [this] { return static_cast<const CAudioFile*>(file_.get()); };
  context.thumbMoved = [this] { SyncSelectionFromSlider(); };
  context.loop = [this] { return Action(kPlayLoop)->isChecked(); };
  playback_ = std::make_unique<CMainPlayback>(std::move(context), std::move(player));
  ConnectControls();
  SetDesktopTabOrder();
  UpdateDesktopEntries();
  setAcceptDrops(true);
  Collapse();
  UpdateEditEntries();
}

CMainDlg::~CMainDlg() {
  RememberSize();
  playback_.reset();
}

void CMainDlg::ConnectControls() {
  CMainControls& c = *controls_;
  connect(c.slider, &QSlider::actionTriggered, playback_.get(), &CMainPlayback::OnSliderAction);
  connect(c.slider, &QSlider::sliderReleased, playback_.get(), &CMainPlayback::OnSliderReleased);
  const std::pair<CBitmapButton*, void (CMainDlg::*)()> commands[] = {
      {c.start, &CMainDlg::OnStartSelection},
      {c.end, &CMainDlg::OnEndSelection},
      {c.save, &CMainDlg::OnSaveSelection},
      {c.clear, &CMainDlg::OnClearSelection},
      {c.play, &CMainDlg::OnPlay},
      {c.stop, &CMainDlg::OnStop},
      {c.shred, &CMainDlg::OnShredEqually},
  };
  for (const auto& [button, command] : commands) connect(button, &QAbstractButton::clicked, this, command);
  c.elapsed->installEventFilter(this);
  c.save->installEventFilter(this);
}

// The parts, for the commands of other windows and for tests.
CPositionSlider* CMainDlg::Slider() const {
  return controls_->slider;
}
int CMainDlg::PlayingState() const {
  return playback_->State();
}
bool CMainDlg::PlayTimerActive() const {
  return playback_->Following();
}
QAction* CMainDlg::Action(const char* name) const {
  return menus_->Action(name);
}
QMenu* CMainDlg::FileMenu() const {
  return menus_->FileMenu();
}
QMenu* CMainDlg::ConvertMenu() const {
  return menus_->ConvertMenu();
}
QMenu* CMainDlg::RecentMenu() const {
  return menus_->RecentMenu();
}

CMediaPlayer2& CMainDlg::PreparePlayer() {
  return playback_->PreparePlayer();
}
void CMainDlg::OnPlay() {
  playback_->Play();
}
void CMainDlg::OnPlaySelection() {
  const auto span = marks_.Selection();
  if (!file_ || !span || marks_.GetMarking() != CSelectionModel::Marking::Done) return;
  playback_->PlaySpan(marks_.Seconds(span->first), marks_.Seconds(span->end));
}
void CMainDlg::OnStop() {
  playback_->Pause();
}
void CMainDlg::StopPlayback() {
  playback_->Stop();
}
void CMainDlg::OnTimer() {
  playback_->FollowPlayer();
}

void CMainDlg::Collapse() {
  if (WaveformShown()) return ShowResizable();
  // Back from the waveform: the slider and the scale above it (sized after
  // the slider) at their classic width before the window is measured.
  CPositionSlider* slider = controls_->slider;
  slider->setFixedWidth(CMainControls::kSliderWidth);
  slider->resize(CMainControls::kSliderWidth, slider->height());
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
  if (watched == controls_->elapsed && event->type() == QEvent::MouseButtonRelease) {
    OnToggleTimeMode();
    return true;
  }
  if (watched == controls_->save && event->type() == QEvent::EnabledChange) UpdateDesktopEntries();
  if (watched == controls_->slider && (event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
      waveform_)
    waveform_->RedrawAxis();
  return QDialog::eventFilter(watched, event);
}

// --------------------------------------------------------------- settings

void CMainDlg::ApplyOverlapTime() {
  if (!file_) return;
  if (!overlapSet_) overlapTime_ = services_.settings.OverlapTime();
  file_->SetOverlapTime(overlapTime_);
}

void CMainDlg::ApplyFilenameSuffix() {
  if (!file_) return;
  if (!suffixSet_) suffix_ = services_.settings.Suffix();
  file_->SetSuffix(suffix_);
}

void CMainDlg::ApplyGaplessMp3() {
  if (!overlapSet_) gapless_ = services_.settings.GaplessMp3();
  if (file_) file_->SetGaplessPieces(gapless_);
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
  if (file_) {
    file_->SetOverlapTime(overlapTime_);
    file_->SetGaplessPieces(gapless_);
  }
  overlapSet_ = 1;
  suffixSet_ = 1;
}

// ------------------------------------------------------------ information

void CMainDlg::OnFileInformation() {
  if (file_) ShowInformation(*file_);
}

void CMainDlg::ShowInformation(CAudioFile& file) {
  QStringList lines;
  for (const std::string& line : file.GetInformationLines()) lines << FromEngineText(line);
  const std::vector<CAudioFile::TagField> fields = file.GetTagFields();
  if (fields.empty()) {
    CWavInfoDlg dialog(lines, this);
    dialog.exec();
    return;
  }
  // A file with tag fields gets the window with the tag beside its lines:
  // the file's name first, then the fields.
  Mp3Information info;
  info.fileName = QFile::decodeName(fields.front().text.c_str());
  info.mpegLines = lines;
  for (auto field = fields.begin() + 1; field != fields.end(); ++field) {
    const auto size = static_cast<qsizetype>(field->text.size());
    info.tagFields << (field->latin1 ? QString::fromLatin1(field->text.data(), size)
                                     : QString::fromUtf8(field->text.data(), size));
  }
  CMp3InfoDlg dialog(info, this);
  dialog.exec();
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

void CMainDlg::RunWithProgress(const std::function<OperationResult(CAudioFile&, CProgress*)>& operation) {
  if (!file_) return;
  commands_->RunOperation(*file_, [&](CProgress* progress) { return operation(*file_, progress); });
}
