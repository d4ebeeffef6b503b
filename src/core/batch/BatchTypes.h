#pragma once
// The records of the batch engine: a row of the job list, the job handed to a
// worker, the states of a row and of the window, and the message numbers the
// threads exchange.

#include <cstdint>
#include <string>

#include "core/AudioError.h"

class CProgressSink;

enum class JobStatus : std::int32_t { Pending = 0, Converting = 1, Done = 2, Failed = 3 };

enum class BatchState : std::int32_t { Idle = 0, FilesAdded = 1, Converting = 2, Unfinished = 3 };

// Source types of a row; Remove Files marks rows for deletion with kMarked.
namespace sourcetype {
constexpr std::int32_t kWav = 0;
constexpr std::int32_t kMp3 = 1;
constexpr std::int32_t kUnknown = -1;
constexpr std::int32_t kMarked = -3;
}  // namespace sourcetype

// Target types of a job.
namespace targettype {
constexpr std::int32_t kWav = 0;
constexpr std::int32_t kMp3 = 1;
}  // namespace targettype

// The columns of the job list, by number.
namespace batchcol {
constexpr int kCheck = 0;
constexpr int kSource = 1;
constexpr int kType = 2;
constexpr int kConvertTo = 3;
constexpr int kOutput = 4;
constexpr int kStatus = 5;
constexpr int kSourcePath = 6;
constexpr int kOutputPath = 7;
constexpr int kCount = 8;
}  // namespace batchcol

// Texts of the Status column.
namespace batchtext {
inline constexpr const char* kQueued = "Queued";
inline constexpr const char* kDone = "Done";
inline constexpr const char* kFailed = "Failed";
inline constexpr const char* kFileExists = "File Exists";
inline constexpr const char* kUnknownType = "Unknown!";
}  // namespace batchtext

// Colours as 0x00BBGGRR values.
namespace batchcolour {
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kDoneGreen = 0x006E28;  // red 40, green 110, blue 0
constexpr std::uint32_t kRed = 0x0000FF;
}  // namespace batchcolour

// The record attached to every row of the job list.
struct BatchRow {
  std::string sourcePath;
  std::int32_t sourceType = sourcetype::kUnknown;
  std::int32_t status = static_cast<std::int32_t>(JobStatus::Pending);
  std::int32_t shownPercent = 0;
};

// One conversion, filled on the window's thread before the worker starts and
// read back only after the worker has reported that it finished.
struct BatchJob {
  std::string sourcePath;
  std::string outputPath;
  std::int32_t sourceType = sourcetype::kUnknown;
  std::int32_t targetType = targettype::kMp3;
  CProgressSink* sink = nullptr;  // shows the conversion's progress; none: silent
  AudioError result = err::kNone;
  // A file-system failure that ended the conversion; its message is the
  // log's reason instead of the string-table text of result.
  std::string failureText;
  std::int32_t overwrite = 0;
};
