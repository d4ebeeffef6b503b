#pragma once
// Runs the real kestrune-cli binary in a child process and collects its exit
// code and what it printed.

#include <sys/resource.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kt {

struct CliResult {
  int exitCode = -1;  // 128 + signal when the tool died
  std::string out, err;
};

// Runs the tool with args, capturing stdout and stderr in files under
// workDir. Files it writes may not grow past fileLimit bytes (SIGXFSZ is
// ignored, so such a write fails with EFBIG); a run over 60 s is killed.
// stdoutPath, when given, is opened as the tool's standard output instead
// (out stays empty).
CliResult RunCli(const std::string& workDir, const std::vector<std::string>& args,
                 rlim_t fileLimit = RLIM_INFINITY, const std::string& stdoutPath = "");
// The same for any program (found on PATH), such as the reference tools.
CliResult RunProgram(const std::string& workDir, const std::string& program,
                     const std::vector<std::string>& args, rlim_t fileLimit = RLIM_INFINITY,
                     const std::string& stdoutPath = "");

// A run of the tool a test stops at a chosen point: the point is an event
// the run itself causes (inotify on a file or folder), never a time.
class CliChild {
 public:
  struct Gate {
    std::string path;                // a file or folder, watched from before the start
    std::uint32_t mask = 0;          // inotify events that count
    bool hiddenOutputsOnly = false;  // a folder's events count only for hidden outputs
  };
  CliChild(const std::string& workDir, const std::vector<std::string>& args, Gate gate);
  ~CliChild();
  CliChild(const CliChild&) = delete;
  CliChild& operator=(const CliChild&) = delete;
  // Blocks until the gate has counted count events in all, or the tool has
  // ended; true when the events came while it still ran.
  bool WaitForEvents(int count);
  void Signal(int signal);
  CliResult Wait();

 private:
  std::string workDir_;
  int pid_ = -1, inotify_ = -1, pidfd_ = -1;
  Gate gate_;
  int seen_ = 0;
};

}  // namespace kt
