#pragma once
// kestrune-cli batch: the batch engine over the files named on the command
// line, several at once, on the batch window's run machine: its statuses,
// log and summary.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/batch/BatchQueue.h"

struct CliBatchOptions {
  std::vector<std::string> inputs;  // files, or folders whose WAV and MP3 files are taken
  std::string outDir;               // empty: each output beside its source
  bool overwrite = false;
  bool skipExisting = false;  // an output that exists counts as done (Skipped)
  unsigned jobs = 0;          // files converted at once; 0: one per CPU core
  std::string logPath;        // the log; the command line fills in the batch window's when none is given
  bool quiet = false;
  // For scripts:
  bool json = false;           // one JSON object per finished file instead of the status lines
  std::string filesFrom;       // a file naming the inputs, one a line ("-": standard input)
  bool nullSeparated = false;  // the names in filesFrom end with a NUL byte instead
  bool recursive = false;      // folders are walked into their sub-folders too
  std::string target;          // --to: the format to convert to, where a source converts to it
};

namespace CLI {
class App;
}
// Adds --json, --files-from, -0/--null and --recursive to the batch verb.
void AddBatchScriptOptions(CLI::App& batch, CliBatchOptions& options);

// The files of the run in the order named, folders expanded (their WAV and
// MP3 files by name, with --recursive those of their sub-folders too, whose
// outputs go to the same sub-folders under --out-dir); each a checked job
// with its output folder and name. options.inputs holds the names read from
// --files-from.
std::vector<BatchQueueJob> PlanCliBatch(const CliBatchOptions& options);

// Runs the batch and returns the exit code: 0 when every file converted, 1
// when any failed or was not converted (or the file list could not be
// read), 2 when no file was named, 130 after Ctrl-C. Each file's conversion
// is timed (--json's "seconds") by clock.
int RunCliBatch(const CliBatchOptions& options, std::FILE* out, std::FILE* err,
                const CClock& clock = SteadyClock());
