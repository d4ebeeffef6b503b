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
CliResult RunCli(const std::string& workDir, const std::vector<std::string>& args,
                 rlim_t fileLimit = RLIM_INFINITY);
// The same for any program, found on the PATH when exe holds no slash.
CliResult RunProgram(const std::string& workDir, const std::string& exe, const std::vector<std::string>& args,
                     rlim_t fileLimit = RLIM_INFINITY);

}  // namespace kt
