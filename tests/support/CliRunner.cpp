#include "support/CliRunner.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/WholeOutput.h"

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

namespace {
pid_t Start(const std::string& workDir, const std::string& program, const std::vector<std::string>& args,
            rlim_t fileLimit, const std::string& outPath) {
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
  return pid;
}

CliResult Reap(pid_t pid, const std::string& workDir, const std::string& outPath, bool readOut) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  CliResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (readOut) r.out = Slurp(outPath);
  r.err = Slurp(workDir + "/stderr.txt");
  return r;
}
}  // namespace

CliResult RunProgram(const std::string& workDir, const std::string& program,
                     const std::vector<std::string>& args, rlim_t fileLimit, const std::string& stdoutPath) {
  const std::string outPath = stdoutPath.empty() ? workDir + "/stdout.txt" : stdoutPath;
  return Reap(Start(workDir, program, args, fileLimit, outPath), workDir, outPath, stdoutPath.empty());
}

CliChild::CliChild(const std::string& workDir, const std::vector<std::string>& args, Gate gate)
    : workDir_(workDir), gate_(std::move(gate)) {
  inotify_ = ::inotify_init1(IN_CLOEXEC);
  ::inotify_add_watch(inotify_, gate_.path.c_str(), gate_.mask);
  pid_ = Start(workDir, KESTRUNE_CLI_PATH, args, RLIM_INFINITY, workDir + "/stdout.txt");
  pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

CliChild::~CliChild() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  ::close(inotify_);
  ::close(pidfd_);
}

bool CliChild::WaitForEvents(int count) {
  alignas(inotify_event) char buffer[64 * 1024];
  while (seen_ < count) {
    pollfd fds[2] = {{inotify_, POLLIN, 0}, {pidfd_, POLLIN, 0}};
    // The tool's own alarm ends a hung run; this wait only guards the test.
    if (::poll(fds, 2, 120000) <= 0) return false;
    if (!(fds[0].revents & POLLIN)) return false;  // the tool ended first
    const ssize_t n = ::read(inotify_, buffer, sizeof buffer);
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (!gate_.hiddenOutputsOnly || (event->len > 0 && IsWholeOutputName(event->name))) ++seen_;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return true;
}

void CliChild::Signal(int signal) {
  ::kill(pid_, signal);
}

CliResult CliChild::Wait() {
  const CliResult result = Reap(pid_, workDir_, workDir_ + "/stdout.txt", true);
  pid_ = -1;
  return result;
}

}  // namespace kt
