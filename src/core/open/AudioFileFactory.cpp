#include "core/open/AudioFileFactory.h"

#include <algorithm>
#include <cctype>

#include "core/mp3/Mp3File.h"
#include "core/wav/WaveFile.h"

namespace {
std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// True when ext occurs in path at a position after the first character.
bool ContainsAfterFirst(const std::string& path, const char* ext) {
  const auto at = path.find(ext, 1);
  return at != std::string::npos;
}
}  // namespace

AudioKind KindFromPath(const std::string& path) {
  // The path itself keeps its case (it names the file); only the choice of
  // kind ignores letter case.
  const std::string lower = Lower(path);
  if (ContainsAfterFirst(lower, ".mp3")) return AudioKind::Mp3;
  if (ContainsAfterFirst(lower, ".wav")) return AudioKind::Wav;
  return AudioKind::Unsupported;
}

std::unique_ptr<CAudioFile> OpenAudioFile(const std::string& path, CAudioOwner* owner) {
  switch (KindFromPath(path)) {
    case AudioKind::Mp3:
      return std::make_unique<CMp3File>(path, owner);
    case AudioKind::Wav:
      return std::make_unique<CWaveFile>(path, owner);
    case AudioKind::Unsupported:
      break;
  }
  return nullptr;
}

SplitEstimate EstimateSplit(const CAudioFile& file, std::uint32_t splits) {
  if (const auto* wave = dynamic_cast<const CWaveFile*>(&file))
    return EstimateWaveSplit(wave->GetSplitFacts(), splits);
  if (const auto* mp3 = dynamic_cast<const CMp3File*>(&file))
    return EstimateMp3Split(mp3->GetSplitFacts(), splits);
  return {};
}
