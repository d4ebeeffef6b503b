#pragma once
// The shared vocabulary of the batch engine: the formats a job converts
// between, the states of a job and of a run, the status texts the log and
// the front ends show, and the record handed to a worker.

#include <cstdint>
#include <string>

#include "core/AudioError.h"

class CAudioFormat;
class CProgressSink;

// The format of a job's source or target: one of the registry's formats
// (core/open/Formats.h). A source of any other type has none (nullptr): it
// is listed, but its conversion fails with err::kBatchUnknownType.
using BatchFormat = const CAudioFormat*;

// Where a job stands. Queued, FileExists and UnknownType are the waiting
// states: a run takes a checked job in any of them.
enum class JobStatus : std::int32_t {
  Queued = 0,
  Converting = 1,
  Done = 2,
  Failed = 3,
  FileExists = 4,   // its output existed when its turn came; it waits for Overwrite
  UnknownType = 5,  // waiting, but of a type no conversion reads
  Skipped = 6,      // its output existed, and the run counts it as done (skip existing)
};

inline bool IsWaiting(JobStatus status) {
  return status == JobStatus::Queued || status == JobStatus::FileExists || status == JobStatus::UnknownType;
}

enum class BatchState : std::int32_t { Idle = 0, FilesAdded = 1, Converting = 2, Unfinished = 3 };

// The status texts, as the window's Status column, the log and the command
// line's status lines show them.
namespace batchtext {
inline constexpr const char* kQueued = "Queued";
inline constexpr const char* kDone = "Done";
inline constexpr const char* kFailed = "Failed";
inline constexpr const char* kFileExists = "File Exists";
inline constexpr const char* kUnknownType = "Unknown!";
inline constexpr const char* kSkipped = "Skipped";
}  // namespace batchtext

// The text of a status: a waiting job of unknown type reads "Queued" (its
// type says "Unknown!"), and so does a converting one under its bar.
const char* BatchStatusText(JobStatus status);

// One conversion, filled on the run's thread before the worker starts and
// read back only after the worker has reported that it finished.
struct BatchJob {
  std::string sourcePath;
  std::string outputPath;
  BatchFormat source = nullptr;
  BatchFormat target = nullptr;
  CProgressSink* sink = nullptr;  // shows the conversion's progress; none: silent
  AudioError result = err::kNone;
  // A file-system failure that ended the conversion; its message is the
  // log's reason instead of the string-table text of result.
  std::string failureText;
  std::int32_t overwrite = 0;
};
