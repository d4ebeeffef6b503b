#include "core/batch/BatchLog.h"

#include <filesystem>
#include <fstream>
#include <system_error>

std::string FormatLogEntry(const BatchLogEntry& entry) {
  const std::pair<const char*, const std::string*> lines[] = {
      {"Source File : ", &entry.sourceFile}, {"Source Path : ", &entry.sourcePath},
      {"Output File : ", &entry.outputFile}, {"Output Path : ", &entry.outputPath},
      {"Convert To : ", &entry.convertTo},   {"Status : ", &entry.status},
      {"Reason : ", &entry.reason}};
  std::string text;
  for (const auto& [label, value] : lines) text += std::string(label) + *value + "\n";
  text += std::string(75, '=') + "\n\n";
  return text;
}

bool CBatchLog::Open(const std::string& path) {
  Close();
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  file_ = std::fopen(path.c_str(), "w+");
  return file_ != nullptr;
}

void CBatchLog::Write(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), file_);
  // Flushed at once, so the viewer shows what a running batch has logged.
  std::fflush(file_);
}

bool CBatchLog::WriteEntry(const BatchLogEntry& entry) {
  if (!file_) return false;
  Write(FormatLogEntry(entry));
  return true;
}

void CBatchLog::WriteClosingLine(const char* line) {
  if (file_) Write(line);
}

void CBatchLog::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

std::string ReadBatchLogForViewer(const std::string& path) {
  // A log is a few lines per file; anything past this is not a log.
  constexpr std::size_t kMaxViewed = 16u << 20;
  std::ifstream in(path, std::ios::binary);
  std::string text;
  char block[65536];
  while (in && text.size() < kMaxViewed) {
    in.read(block, sizeof block);
    text.append(block, static_cast<std::size_t>(in.gcount()));
  }
  // Every line, the last one too, ends with a line end.
  if (!text.empty() && text.back() != '\n') text += '\n';
  return text;
}
