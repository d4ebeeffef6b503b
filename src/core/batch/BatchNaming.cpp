#include "core/batch/BatchNaming.h"

#include <filesystem>
#include <system_error>

#include "core/batch/BatchTypes.h"
#include "core/Progress.h"

std::string BatchExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot == 0) return {};
  return ToUpperAscii(path.substr(dot + 1));
}

std::int32_t BatchSourceType(const std::string& extension) {
  if (extension.find("WAV") != std::string::npos) return sourcetype::kWav;
  if (extension.find("MP3") != std::string::npos) return sourcetype::kMp3;
  return sourcetype::kUnknown;
}

std::string BatchTargetText(std::int32_t sourceType) {
  if (sourceType == sourcetype::kWav) return "MP3";
  if (sourceType == sourcetype::kMp3) return "WAV";
  return {};
}

std::string BatchTargetExtension(std::int32_t sourceType) {
  if (sourceType == sourcetype::kWav) return "mp3";
  if (sourceType == sourcetype::kMp3) return "wav";
  return "$$$";
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

std::int32_t BatchTargetType(const std::string& cell, std::int32_t current) {
  const std::string upper = ToUpperAscii(cell);
  if (upper.find("MP3") != std::string::npos) return targettype::kMp3;
  if (upper.find("WAV") != std::string::npos) return targettype::kWav;
  return current;
}

std::filesystem::path BatchResolvedPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
  if (ec) resolved = std::filesystem::absolute(path, ec).lexically_normal();
  return resolved;
}
