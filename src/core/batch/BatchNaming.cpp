#include "core/batch/BatchNaming.h"

#include <filesystem>
#include <system_error>

#include "core/Progress.h"
#include "core/batch/BatchTypes.h"
#include "core/open/Formats.h"

std::string BatchExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot == 0) return {};
  return ToUpperAscii(path.substr(dot + 1));
}

BatchFormat BatchSourceFormat(const std::string& extension) {
  // The batch types a file by the format's name anywhere in its upper-cased
  // extension. The registry lists MP3 before WAV for paths; here WAV's name
  // wins over MP3's in an extension holding both, as the batch always
  // typed them, so the list is searched from its end.
  const std::vector<const CAudioFormat*>& formats = AudioFormats();
  for (auto format = formats.rbegin(); format != formats.rend(); ++format)
    if (extension.find((*format)->Name()) != std::string::npos) return *format;
  return nullptr;
}

BatchFormat BatchTargetFormat(BatchFormat source) {
  if (!source) return nullptr;
  for (const CAudioFormat* target : AudioFormats()) {
    const std::optional<Conversion> made = target->MadeBy();
    if (target != source && made && source->Converts(*made)) return target;
  }
  return nullptr;
}

std::vector<BatchFormat> BatchTargetFormats(BatchFormat source) {
  std::vector<BatchFormat> targets;
  if (!source) return targets;
  for (const CAudioFormat* target : AudioFormats()) {
    const std::optional<Conversion> made = target->MadeBy();
    if (target != source && made && source->Converts(*made)) targets.push_back(target);
  }
  return targets;
}

std::string BatchFormatText(BatchFormat format) {
  return format ? format->Name() : std::string();
}

std::string BatchFormatExtension(BatchFormat target) {
  // ".wav" without its dot.
  return target ? std::string(target->Extension() + 1) : std::string("$$$");
}

const char* BatchStatusText(JobStatus status) {
  switch (status) {
    case JobStatus::Done:
      return batchtext::kDone;
    case JobStatus::Failed:
      return batchtext::kFailed;
    case JobStatus::FileExists:
      return batchtext::kFileExists;
    case JobStatus::Skipped:
      return batchtext::kSkipped;
    default:
      return batchtext::kQueued;
  }
}

std::string BatchFileName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string BatchFolder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BatchOutputName(const std::string& name, const std::string& extension) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return name + extension;
  return name.substr(0, dot + 1) + extension;
}

std::string BatchJoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::filesystem::path BatchResolvedPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // Absolute first: weakly_canonical leaves a relative name of a file not
  // made yet relative, and "x.mp3" would not meet "./x.mp3". A link to a
  // file not made yet is followed by hand, as writing through it would.
  fs::path at = fs::absolute(path, ec).lexically_normal();
  for (int hops = 0; hops < 40 && fs::is_symlink(at, ec); ++hops) {
    const fs::path target = fs::read_symlink(at, ec);
    if (ec) break;
    at = (target.is_absolute() ? target : at.parent_path() / target).lexically_normal();
  }
  fs::path resolved = fs::weakly_canonical(at, ec);
  if (ec) resolved = at;
  return resolved;
}
