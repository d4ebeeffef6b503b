#pragma once
// Chooses the kind of audio file by the path's extension and opens it.

#include <QString>
#include <memory>

class CAudioFile;
class CAudioOwner;

enum class AudioFileKind { Unsupported, Wav, Mp3 };

// ".mp3" after the first character means MP3, else ".wav" there means WAV,
// compared without regard to case; the path itself keeps its case.
AudioFileKind KindOfPath(const QString& path);

// The file object for path (its error code tells whether it opened), or
// nullptr for an unsupported kind.
std::unique_ptr<CAudioFile> CreateAudioFile(const QString& path, CAudioOwner* owner);
