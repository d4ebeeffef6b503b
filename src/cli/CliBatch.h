#pragma once
// kestrune-cli batch: the batch engine over the files named on the command
// line, several at once, with the batch window's statuses, log and summary.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct CliBatchOptions {
  std::vector<std::string> inputs;  // files, or folders whose WAV and MP3 files are taken
  std::string outDir;               // empty: each output beside its source
  bool overwrite = false;
  unsigned jobs = 0;    // files converted at once; 0: one per CPU core
  std::string logPath;  // empty: the batch window's log
  bool quiet = false;
};

// One file of the run as the log and the status lines show it.
struct CliBatchItem {
  std::string sourcePath;
  std::int32_t sourceType = -1;
  std::string outputFolder;
  std::string outputName;
  std::string status;  // the Status cell: "Queued", "Done", "Failed", "File Exists"
  std::uint32_t result = 0;
  std::string reason;
  std::uint64_t sourceBytes = 0;
};

// The files of the run in the order named, folders expanded (their WAV and
// MP3 files by name); each with its output folder and name.
std::vector<CliBatchItem> PlanCliBatch(const CliBatchOptions& options);

// Runs the batch and returns the exit code: 0 when every file converted, 1
// when any failed or was not converted, 130 after Ctrl-C.
int RunCliBatch(const CliBatchOptions& options, std::FILE* out, std::FILE* err);
