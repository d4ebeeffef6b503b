#pragma once
// Runs the real kestrune-cli binary in a child process and collects its exit
// code and what it printed.

#include <sys/resource.h>

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

}  // namespace kt
