#include "gui/MediaPlayer2.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>

#include "gui/GStreamerLog.h"
#include "gui/Trace.h"

namespace {

class CQtMediaPlayer final : public CMediaPlayer2 {
 public:
  CQtMediaPlayer() {
    player_.setAudioOutput(&output_);
    connect(&player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
      if (status == QMediaPlayer::EndOfMedia && playing_) {
        playing_ = false;
        emit EndOfStream();
      }
    });
    connect(&player_, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
      // Audio flows once the position moves past where PLAY started.
      if (sincePlay_.isValid() && position > playFrom_) {
        TraceLine(QStringLiteral("position moves %1 ms after PLAY").arg(sincePlay_.elapsed()));
        sincePlay_.invalidate();
      }
    });
    connect(&player_, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error, const QString&) {
      // A source that fails to load is reported by Play; only failures while
      // playing are notifications of their own.
      if (playing_) {
        playing_ = false;
        emit Error();
      }
    });
  }

  void SetFileName(const QString& path) override {
    const QUrl url = path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
    if (url == player_.source()) return;
    playing_ = false;
    player_.setSource(url);
  }

  double GetCurrentPosition() const override { return static_cast<double>(player_.position()) / 1000.0; }

  void SetCurrentPosition(double seconds) override {
    player_.setPosition(static_cast<qint64>(seconds * 1000.0 + 0.5));
  }

  QString GetErrorDescription() const override { return player_.errorString(); }

  bool Play() override {
    if (TraceEnabled()) {
      sincePlay_.start();
      playFrom_ = player_.position();
    }
    if (!Playable()) return false;
    player_.play();
    if (!Playable()) return false;
    playing_ = true;
    return true;
  }

  void Pause() override {
    playing_ = false;
    player_.pause();
  }

  void Stop() override {
    playing_ = false;
    player_.stop();
  }

  bool HasOutputDevice() const override { return !QMediaDevices::audioOutputs().isEmpty(); }

 private:
  bool Playable() const {
    return !player_.source().isEmpty() && player_.error() == QMediaPlayer::NoError &&
           player_.mediaStatus() != QMediaPlayer::InvalidMedia;
  }

  QAudioOutput output_;  // outlives the player that plays into it
  QMediaPlayer player_;
  bool playing_ = false;
  QElapsedTimer sincePlay_;  // for the timing trace
  qint64 playFrom_ = 0;
};

}  // namespace

std::unique_ptr<CMediaPlayer2> CreateMediaPlayer() {
  RouteGStreamerAudioLog();
  return std::make_unique<CQtMediaPlayer>();
}

namespace {
QtMessageHandler& PreviousHandler() {
  static QtMessageHandler handler = nullptr;
  return handler;
}

void FilterSoundServerWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  // Qt's PulseAudio code warns without a category; it belongs with the
  // multimedia ones.
  static const QLoggingCategory multimedia("qt.multimedia.audio");
  if (type == QtWarningMsg && text.startsWith(QLatin1String("PulseAudioService:")) &&
      !multimedia.isWarningEnabled())
    return;
  if (QtMessageHandler previous = PreviousHandler()) previous(type, context, text);
}
}  // namespace

void QuietMediaBackendWarnings() {
  QLoggingCategory::setFilterRules(QStringLiteral("qt.multimedia*.warning=false"));
  if (!PreviousHandler()) PreviousHandler() = qInstallMessageHandler(FilterSoundServerWarnings);
}
