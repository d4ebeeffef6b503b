#include "gui/app/MainPlayback.h"

#include <QFile>

#include "core/AudioFile.h"
#include "core/StringTable.h"
#include "gui/BitmapButton.h"
#include "gui/GuiServices.h"
#include "gui/MediaPlayer2.h"
#include "gui/OperationRunner.h"
#include "gui/PositionSlider.h"
#include "gui/app/MainControls.h"

CMainPlayback::CMainPlayback(Context context, std::unique_ptr<CMediaPlayer2> player)
    : context_(std::move(context)), player_(std::move(player)) {
  follow_.setInterval(kFollowMs);
  connect(&follow_, &QTimer::timeout, this, &CMainPlayback::FollowPlayer);
  if (player_) Connect();
}

CMainPlayback::~CMainPlayback() {
  follow_.stop();
  if (player_) player_->disconnect(this);
}

void CMainPlayback::Connect() {
  connect(player_.get(), &CMediaPlayer2::EndOfStream, this, &CMainPlayback::OnEndOfStream);
  connect(player_.get(), &CMediaPlayer2::Error, this, &CMainPlayback::OnPlayerError);
}

CMediaPlayer2& CMainPlayback::PreparePlayer() {
  if (!player_) {
    player_ = CreateMediaPlayer();
    Connect();
  }
  return *player_;
}

void CMainPlayback::Load(const QString& path) {
  PreparePlayer().SetFileName(path);
}

void CMainPlayback::Unload() {
  if (player_) player_->SetFileName(QString());
}

void CMainPlayback::ShowStopped(bool playable) {
  context_.controls->stop->setEnabled(false);
  context_.controls->play->setEnabled(playable);
  CMainControls::Focus(context_.controls->play);
}

void CMainPlayback::Play() {
  spanActive_ = false;
  Start(std::nullopt);
}

void CMainPlayback::PlaySpan(double from, double to) {
  const CAudioFile* file = context_.file();
  if (!file || to <= from) return;
  if (state_ == kPlaying) Pause();
  Start(from);
  spanActive_ = state_ == kPlaying;
  spanFrom_ = from;
  spanTo_ = to;
  const double duration = file->GetDuration();
  if (duration > 0.0) context_.controls->slider->SetPosition(from / duration);
  context_.thumbMoved();
}

void CMainPlayback::Start(std::optional<double> from) {
  const CAudioFile* file = context_.file();
  if (!file) return;
  CMainControls& controls = *context_.controls;
  controls.play->setEnabled(false);
  controls.stop->setEnabled(true);
  CMainControls::Focus(controls.stop);
  CMediaPlayer2& player = PreparePlayer();
  CPrompt& prompt = context_.services->Prompt();
  if (!noDeviceShown_ && !player.HasOutputDevice()) {
    // Said once; the thumb still runs, so a selection can be marked.
    noDeviceShown_ = true;
    prompt.Ask(context_.window, QString::fromLatin1(kAppName),
               QStringLiteral("No sound output device was found."), MessageIcon::Information,
               PromptButtons::Ok);
  }
  if (state_ == kStopped) player.SetFileName(QFile::decodeName(file->GetFilePath().c_str()));
  follow_.start();
  player.SetCurrentPosition(from ? *from : controls.slider->GetPositionSeconds());
  if (!player.Play()) {
    prompt.Ask(context_.window, QString::fromLatin1(kAppName),
               QStringLiteral("Cannot playback this audio file"), MessageIcon::None, PromptButtons::Ok);
    // Leave the window as it was before PLAY: nothing is playing.
    follow_.stop();
    ShowStopped(true);
    return;
  }
  state_ = kPlaying;
}

void CMainPlayback::Pause() {
  spanActive_ = false;
  if (state_ == kStopped) return;
  ShowStopped(true);
  if (player_) player_->Pause();
  follow_.stop();
  state_ = kPaused;
}

void CMainPlayback::Stop() {
  spanActive_ = false;
  if (state_ == kStopped) return;
  ShowStopped(true);
  follow_.stop();
  if (player_) player_->Stop();
  state_ = kStopped;
}

void CMainPlayback::FollowPlayer() {
  const CAudioFile* file = context_.file();
  if (!file || !player_) return;
  const double duration = file->GetDuration();
  double position = player_->GetCurrentPosition();
  if (spanActive_ && position >= spanTo_) {
    if (context_.loop && context_.loop()) {
      player_->SetCurrentPosition(spanFrom_);
      position = spanFrom_;
    } else {
      Pause();
      position = spanTo_;
    }
  }
  const double fraction = duration > 0.0 ? position / duration : 0.0;
  context_.controls->slider->SetPosition(fraction);
  context_.controls->slider->UpdateSelection();
  context_.thumbMoved();
}

void CMainPlayback::OnEndOfStream() {
  if (spanActive_ && context_.loop && context_.loop() && player_) {
    // A selection that runs to the end of the file starts over too.
    player_->SetCurrentPosition(spanFrom_);
    player_->Play();
    return;
  }
  spanActive_ = false;
  state_ = kStopped;
  follow_.stop();
  ShowStopped(context_.file() != nullptr);
  context_.controls->slider->SetPosition(0.0);
  context_.controls->slider->UpdateLabels();
  context_.thumbMoved();
}

void CMainPlayback::OnPlayerError() {
  const QString description = player_ ? player_->GetErrorDescription() : QString();
  context_.services->Prompt().Ask(context_.window, msg::kCaptionError, description, MessageIcon::Error,
                                  PromptButtons::Ok);
  if (state_ != kStopped) {
    follow_.stop();
    state_ = kStopped;
    context_.controls->stop->setEnabled(false);
    context_.controls->play->setEnabled(context_.file() != nullptr);
  }
}

void CMainPlayback::Resume() {
  spanActive_ = false;
  follow_.stop();
  player_->SetCurrentPosition(context_.controls->slider->GetPositionSeconds());
  player_->Play();
  follow_.start();
}

void CMainPlayback::OnSliderAction(int action) {
  CPositionSlider* slider = context_.controls->slider;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepAdd:
    case QAbstractSlider::SliderPageStepSub:
    case QAbstractSlider::SliderToMinimum:
    case QAbstractSlider::SliderToMaximum:
      if (state_ == kPlaying && player_) Resume();
      break;
    case QAbstractSlider::SliderMove:
      // While the thumb is dragged the player goes on; the thumb is the user's.
      if (state_ == kPlaying && slider->isSliderDown()) follow_.stop();
      break;
    default:
      return;
  }
  slider->UpdateSelection();
  context_.thumbMoved();
}

void CMainPlayback::OnSliderReleased() {
  if (state_ == kPlaying && player_) Resume();
  context_.controls->slider->UpdateSelection();
  context_.thumbMoved();
}
