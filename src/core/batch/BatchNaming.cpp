#include "core/batch/BatchNaming.h"

#include <filesystem>
#include <system_error>

#include "core/Progress.h"
#include "core/batch/BatchTypes.h"

std::string BatchExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot == 0) return {};
  return ToUpperAscii(path.substr(dot + 1));
}

BatchFormat BatchSourceFormat(const std::string& extension) {
  if (extension.find("WAV") != std::string::npos) return BatchFormat::Wav;
  if (extension.find("MP3") != std::string::npos) return BatchFormat::Mp3;
  return BatchFormat::Unknown;
}

BatchFormat BatchTargetFormat(BatchFormat source) {
  if (source == BatchFormat::Wav) return BatchFormat::Mp3;
  if (source == BatchFormat::Mp3) return BatchFormat::Wav;
  return BatchFormat::Unknown;
}

std::string BatchFormatText(BatchFormat format) {
  if (format == BatchFormat::Wav) return "WAV";
  if (format == BatchFormat::Mp3) return "MP3";
  return {};
}

std::string BatchFormatExtension(BatchFormat target) {
  if (target == BatchFormat::Wav) return "wav";
  if (target == BatchFormat::Mp3) return "mp3";
  return "$$$";
}

const char* BatchStatusText(JobStatus status) {
  switch (status) {
    case JobStatus::Done:
      return batchtext::kDone;
    case JobStatus::Failed:
      return batchtext::kFailed;
    case JobStatus::FileExists:
      return batchtext::kFileExists;
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
  std::error_code ec;
  std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
  if (ec) resolved = std::filesystem::absolute(path, ec).lexically_normal();
  return resolved;
}
