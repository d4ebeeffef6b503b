#include "core/open/Formats.h"

#include <strings.h>

#include "core/flac/FlacFile.h"
#include "core/mp3/Mp3File.h"
#include "core/wav/WaveFile.h"

const std::vector<const CAudioFormat*>& AudioFormats() {
  // The order decides a path that names two: "x.wav.mp3" and "x.mp3.wav"
  // are MP3 files, as the program always took them.
  static const std::vector<const CAudioFormat*> formats{
      &Mp3FileFormat(),
      &WaveFileFormat(),
      &FlacFileFormat(),
  };
  return formats;
}

const CAudioFormat* FormatOfPath(const std::string& path) {
  for (const CAudioFormat* format : AudioFormats())
    if (format->ClaimsPath(path)) return format;
  return nullptr;
}

const CAudioFormat* FormatNamed(const std::string& name) {
  for (const CAudioFormat* format : AudioFormats())
    if (::strcasecmp(format->Name(), name.c_str()) == 0) return format;
  return nullptr;
}

std::unique_ptr<CAudioFile> OpenAudioFile(const std::string& path, CWriteFaults* writeFaults) {
  const CAudioFormat* format = FormatOfPath(path);
  return format ? format->Open(path, writeFaults) : nullptr;
}

std::string FormatsConverting(Conversion conversion) {
  std::string names;
  for (const CAudioFormat* format : AudioFormats()) {
    if (!format->Converts(conversion)) continue;
    names += (names.empty() ? "" : " and ") + std::string(format->Name());
  }
  return names;
}
