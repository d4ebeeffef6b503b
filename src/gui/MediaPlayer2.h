#pragma once
// The playback engine behind the main window, offering exactly what the
// window needs: a source file, the position in seconds, play, pause, stop,
// an error text, and end-of-stream and error notifications. The program uses
// the Qt Multimedia implementation (CreateMediaPlayer); tests use a fake.

#include <QObject>
#include <QString>
#include <memory>

class CMediaPlayer2 : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  ~CMediaPlayer2() override = default;

  // Loads a file; an empty path unloads. Loading the current file again
  // keeps it (no reload).
  virtual void SetFileName(const QString& path) = 0;
  virtual double GetCurrentPosition() const = 0;
  virtual void SetCurrentPosition(double seconds) = 0;
  virtual QString GetErrorDescription() const = 0;
  // False when the player cannot play the loaded source.
  virtual bool Play() = 0;
  virtual void Pause() = 0;
  virtual void Stop() = 0;
  // False when the system has no sound output device to play into.
  virtual bool HasOutputDevice() const { return true; }

 signals:
  void EndOfStream();
  // A failure while playing; GetErrorDescription tells what.
  void Error();
};

// The Qt Multimedia player (GStreamer unless QT_MEDIA_BACKEND says otherwise).
std::unique_ptr<CMediaPlayer2> CreateMediaPlayer();

// Keeps the multimedia back end's own warnings (no sound server, no device,
// a failed connection) off the terminal: a logging rule for the qt.multimedia
// categories, which QT_LOGGING_RULES still overrides, and the sound server's
// uncategorised warnings follow that rule too. Call before the application.
void QuietMediaBackendWarnings();
