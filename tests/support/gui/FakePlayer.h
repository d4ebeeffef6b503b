#pragma once
// A playback engine for GUI tests: records every call, plays nothing, and
// lets the test move the position, refuse to play, end the stream or fail.

#include <QStringList>

#include "gui/MediaPlayer2.h"

namespace kt {

class FakePlayer : public CMediaPlayer2 {
  Q_OBJECT

 public:
  QStringList calls;  // "SetFileName:<path>", "SetCurrentPosition:<s>", "Play", "Pause", "Stop"
  QString fileName;
  double position = 0.0;
  bool refusePlay = false;
  QString errorText = QStringLiteral("The media could not be played.");
  int loads = 0;  // times a different file was loaded

  void SetFileName(const QString& path) override;
  double GetCurrentPosition() const override { return position; }
  void SetCurrentPosition(double seconds) override;
  QString GetErrorDescription() const override { return errorText; }
  bool Play() override;
  void Pause() override { calls << QStringLiteral("Pause"); }
  void Stop() override { calls << QStringLiteral("Stop"); }

  void FinishStream() { emit EndOfStream(); }
  void Fail() { emit Error(); }
  int Count(const QString& call) const;
};

}  // namespace kt
