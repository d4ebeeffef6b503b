#include "cli/CliProgress.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "cli/CliJob.h"
#include "core/File.h"
#include "core/PendingOutputs.h"

namespace {
// Set by the signal handler, read by every thread that converts (batch jobs
// run several at once): lock-free atomics are safe for both.
std::atomic<int> gInterrupted{0};
std::atomic<int> gSignal{0};
std::atomic<bool> gKeepPartial{false};
std::atomic<bool> gStderrIsTerminal{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

// The handler's line, built without allocating: only async-signal-safe
// calls run in a handler.
class CSignalLine {
 public:
  void Add(const char* text) {
    for (; *text; ++text) Put(*text);
  }
  // A file name with its control characters written as \xHH, so a hostile
  // name cannot drive the terminal.
  void AddName(const char* name) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (; *name; ++name) {
      const auto c = static_cast<unsigned char>(*name);
      if (c >= 0x20 && c != 0x7f) {
        Put(*name);
        continue;
      }
      Put('\\');
      Put('x');
      Put(kHex[c >> 4]);
      Put(kHex[c & 15]);
    }
  }
  void WriteTo(int fd) const {
    std::size_t done = 0;
    while (done < length_) {
      const ssize_t n = ::write(fd, text_ + done, length_ - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }
  int names = 0;

 private:
  void Put(char c) {
    if (length_ < sizeof text_ - 1) text_[length_++] = c;
  }
  char text_[16384];
  std::size_t length_ = 0;
};

CSignalLine gLine;  // the handler's, static: a handler's stack may be small

// SetStopNote's, copied in before any handler reads them.
char gNotePath[PATH_MAX] = "";
char gNoteLine[256] = "";
std::atomic<bool> gNoteSet{false};

void AppendStopNote() {
  if (!gNoteSet) return;
  const int fd = ::open(gNotePath, O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  CSignalLine note;
  note.Add(gNoteLine);
  note.WriteTo(fd);
  ::close(fd);
}

void AddRemoved(const char* finalPath, void* context) {
  auto& line = *static_cast<CSignalLine*>(context);
  line.Add(line.names++ == 0 ? "; removed the incomplete output " : ", ");
  line.AddName(finalPath);
}

extern "C" void OnStopSignal(int signal) {
  const int first = gSignal.exchange(signal);
  gInterrupted = 1;
  // Kept partial: the operation's next look at its cancel flag ends the
  // output honestly. Nothing to keep (an analysis, between pieces), or a
  // second signal: the run ends here.
  if (first == 0 && gKeepPartial && pending::AnyPending()) return;
  // A signal that reaches another thread meanwhile waits for this exit.
  static std::atomic<bool> ending{false};
  if (ending.exchange(true))
    for (;;) ::pause();
  if (gStderrIsTerminal) gLine.Add("\r\033[K");  // over the progress bar
  gLine.Add("kestrune-cli: stopped by ");
  gLine.Add(SignalName(signal));
  pending::RemovePendingOutputs(AddRemoved, &gLine);
  AppendStopNote();
  gLine.Add("\n");
  gLine.WriteTo(STDERR_FILENO);
  ::_exit(128 + signal);
}

constexpr int kBarWidth = 30;
}  // namespace

void CCliProgress::InstallInterruptHandler(bool keepPartial) {
  gKeepPartial = keepPartial;
  gStderrIsTerminal = ::isatty(STDERR_FILENO) != 0;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // One handler at a time: a second signal waits for the first's exit.
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool CCliProgress::Interrupted() {
  return gInterrupted != 0;
}
void CCliProgress::SetInterrupted(bool value) {
  gInterrupted = value ? 1 : 0;
  gSignal = 0;
}

void CCliProgress::SetStopNote(const std::string& path, const char* line) {
  const std::string full = AbsolutePath(path);
  if (full.size() >= sizeof gNotePath || std::strlen(line) >= sizeof gNoteLine) return;
  gNoteSet = false;
  std::strcpy(gNoteLine, line);
  std::strcpy(gNotePath, full.c_str());
  gNoteSet = true;
}

int CCliProgress::StopExitCode() {
  const int signal = gSignal;
  return signal != 0 ? 128 + signal : cliexit::kCancelled;
}

const char* CCliProgress::StopWords() {
  switch (gSignal.load()) {
    case SIGINT:
      return "stopped by SIGINT";
    case SIGTERM:
      return "stopped by SIGTERM";
    case SIGHUP:
      return "stopped by SIGHUP";
    default:
      return "cancelled";
  }
}

CCliProgress::~CCliProgress() {
  line_.Erase();
}

bool CCliProgress::IsCancelled() {
  if (gInterrupted) cancelled_ = true;
  return cancelled_;
}

void CCliProgress::Changed(const CProgressState& state, ProgressChange change) {
  if (change == ProgressChange::Closed) {
    line_.Erase();
    return;
  }
  Draw(state, change != ProgressChange::FileRange && change != ProgressChange::FileStep);
}

void CCliProgress::Draw(const CProgressState& state, bool force) {
  if (!show_ || !state.started) return;
  const CClock::TimePoint now = clock_.Now();
  if (!force && line_.Drawn() && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  const CProgressBarState& bar = state.file;
  const double fraction = bar.maximum ? static_cast<double>(bar.position) / bar.maximum : 0.0;
  const int filled = static_cast<int>(fraction * kBarWidth + 0.5);
  std::string line = CTerminalLine::Bar(filled, kBarWidth) + " ";
  char percent[16];
  std::snprintf(percent, sizeof percent, "%3d%% ", static_cast<int>(fraction * 100 + 0.5));
  line += percent;
  line += state.countText;
  line += "  ";
  line += state.action.Text();
  if (line.size() > 149) line.resize(149);
  line_.Draw(line);
}
