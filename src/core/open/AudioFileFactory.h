#pragma once
// Choosing and opening the right kind of audio file for a path.

#include <memory>
#include <string>

#include "core/AudioFile.h"
#include "core/SplitEstimate.h"

class CAudioOwner;

enum class AudioKind { Wav, Mp3, Unsupported };

// ".mp3" after the first character makes an MP3 file, otherwise ".wav" makes
// a WAV file; letter case does not matter.
AudioKind KindFromPath(const std::string& path);

// Opens path as its kind; nullptr for an unsupported path. The object's
// error code tells whether it opened.
std::unique_ptr<CAudioFile> OpenAudioFile(const std::string& path, CAudioOwner* owner);

// The Shred Equally estimate of an open file for a number of pieces.
SplitEstimate EstimateSplit(const CAudioFile& file, std::uint32_t splits);
