#pragma once
// The batch log: eight-line entries for the files a run did not convert and
// at most one closing line. It holds the last run only.

#include <memory>
#include <string>

#include "core/File.h"

// The cell texts and the reason of one entry.
struct BatchLogEntry {
  std::string sourceFile;
  std::string sourcePath;
  std::string outputFile;
  std::string outputPath;
  std::string convertTo;
  std::string status;
  std::string reason;
};

namespace batchlog {
inline constexpr const char* kSuccessLine = "All files converted sucessfully";
inline constexpr const char* kAbortLine = "\n ++++ Batch conversion aborted by user ++++";
}  // namespace batchlog

// The eight lines of an entry, exactly as they are written.
std::string FormatLogEntry(const BatchLogEntry& entry);

class CBatchLog {
 public:
  CBatchLog() = default;
  ~CBatchLog();
  CBatchLog(const CBatchLog&) = delete;
  CBatchLog& operator=(const CBatchLog&) = delete;

  // Creates or empties the file, creating its folder when missing; false
  // when it cannot be created (the run then goes on without a log).
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  // Writes an entry; false (and nothing written) when the log is not open.
  bool WriteEntry(const BatchLogEntry& entry);
  // Writes a closing line when the log is open.
  void WriteClosingLine(const char* line);
  void Close();

 private:
  void Write(const std::string& text);

  std::unique_ptr<CFile> file_;
};

// The whole log as the viewer shows it: every line followed by a line end;
// empty when the file cannot be read.
std::string ReadBatchLogForViewer(const std::string& path);
