#include "ui/AudioFileFactory.h"

#include <QFile>

#include "audio/AudioFile.h"
#include "audio/Mp3File.h"
#include "audio/WaveFile.h"

AudioFileKind KindOfPath(const QString& path) {
  const QString lowered = path.toLower();
  if (lowered.indexOf(QStringLiteral(".mp3")) > 0) return AudioFileKind::Mp3;
  if (lowered.indexOf(QStringLiteral(".wav")) > 0) return AudioFileKind::Wav;
  return AudioFileKind::Unsupported;
}

std::unique_ptr<CAudioFile> CreateAudioFile(const QString& path, CAudioOwner* owner) {
  const std::string native = QFile::encodeName(path).toStdString();
  switch (KindOfPath(path)) {
    case AudioFileKind::Mp3:
      return std::make_unique<CMp3File>(native, owner);
    case AudioFileKind::Wav:
      return std::make_unique<CWaveFile>(native, owner);
    case AudioFileKind::Unsupported:
      break;
  }
  return nullptr;
}
