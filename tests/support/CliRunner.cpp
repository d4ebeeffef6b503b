#include "support/CliRunner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace kt {

namespace {
std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace

CliResult RunCli(const std::string& workDir, const std::vector<std::string>& args, rlim_t fileLimit,
                 const std::string& stdoutPath) {
  return RunProgram(workDir, KESTRUNE_CLI_PATH, args, fileLimit, stdoutPath);
}

CliResult RunProgram(const std::string& workDir, const std::string& program,
                     const std::vector<std::string>& args, rlim_t fileLimit, const std::string& stdoutPath) {
  const std::string outPath = stdoutPath.empty() ? workDir + "/stdout.txt" : stdoutPath;
  const std::string errPath = workDir + "/stderr.txt";
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!std::freopen(outPath.c_str(), "w", stdout) || !std::freopen(errPath.c_str(), "w", stderr) ||
        !std::freopen("/dev/null", "r", stdin))
      ::_exit(127);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit lim{fileLimit, fileLimit};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    ::alarm(60);  // a hang is a failure too
    std::vector<std::string> copy = args;
    std::string exe = program;
    std::vector<char*> argv{exe.data()};
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execvp(exe.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  CliResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (stdoutPath.empty()) r.out = Slurp(outPath);
  r.err = Slurp(errPath);
  return r;
}

}  // namespace kt
