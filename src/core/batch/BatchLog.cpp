#include "core/batch/BatchLog.h"

#include <filesystem>
#include <system_error>

#include "core/File.h"

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

CBatchLog::~CBatchLog() {
  Close();
}

bool CBatchLog::Open(const std::string& path) {
  Close();
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  // Through the file layer: a regular file only (a FIFO would block the
  // run), locked against a second batch writing the same log.
  auto file = std::make_unique<CFile>();
  if (!file->Open(path, CFile::Mode::CreateReadWrite)) return false;
  file_ = std::move(file);
  return true;
}

void CBatchLog::Write(const std::string& text) {
  try {
    file_->Write(text.data(), text.size());
    // Flushed at once, so the viewer shows what a running batch has logged.
    file_->Flush();
  } catch (const CFileException&) {
    // A log that cannot be written (a full disk) does not stop the run: the
    // conversions are what it is for.
    file_.reset();
  }
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
  if (!file_) return;
  try {
    file_->Close();
  } catch (const CFileException&) {
  }
  file_.reset();
}

std::string ReadBatchLogForViewer(const std::string& path) {
  // A log is a few lines per file; anything past this is not a log.
  constexpr std::size_t kMaxViewed = 16u << 20;
  std::string text;
  CFile in;
  if (in.Open(path, CFile::Mode::ReadShared)) {
    char block[65536];
    try {
      while (text.size() < kMaxViewed) {
        const std::size_t got = in.Read(block, sizeof block);
        text.append(block, got);
        if (got < sizeof block) break;
      }
    } catch (const CFileException&) {
      // What was read is shown.
    }
  }
  // Every line, the last one too, ends with a line end.
  if (!text.empty() && text.back() != '\n') text += '\n';
  return text;
}
