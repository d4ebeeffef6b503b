#include "ui/AudioFileFactory.h"

#include <QFile>

#include "audio/AudioFile.h"
#if __has_include("audio/WaveFile.h")
#include "audio/WaveFile.h"
#define KESTRUNE_HAVE_WAV 1
#endif
#if __has_include("audio/Mp3File.h")
#include "audio/Mp3File.h"
#define KESTRUNE_HAVE_MP3 1
#endif

AudioFileKind KindOfPath(const QString& path) {
  const QString lowered = path.toLower();
  if (lowered.indexOf(QStringLiteral(".mp3")) > 0) return AudioFileKind::Mp3;
  if (lowered.indexOf(QStringLiteral(".wav")) > 0) return AudioFileKind::Wav;
  return AudioFileKind::Unsupported;
}

std::unique_ptr<CAudioFile> CreateAudioFile(const QString& path, [[maybe_unused]] CAudioOwner* owner) {
  const std::string native = QFile::encodeName(path).toStdString();
  switch (KindOfPath(path)) {
    case AudioFileKind::Mp3:
#ifdef KESTRUNE_HAVE_MP3
      return std::make_unique<CMp3File>(native, owner);
#else
      return nullptr;
#endif
    case AudioFileKind::Wav:
#ifdef KESTRUNE_HAVE_WAV
      return std::make_unique<CWaveFile>(native, owner);
#else
      return nullptr;
#endif
    case AudioFileKind::Unsupported:
      break;
  }
  return nullptr;
}
