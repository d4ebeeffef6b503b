#include "cli/CliProgress.h"

#include <atomic>
#include <csignal>
#include <string>

namespace {
// Set by the signal handler, read by every thread that converts (batch jobs
// run several at once): a lock-free atomic is safe for both.
std::atomic<int> gInterrupted{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
  gInterrupted = 1;
}

constexpr int kBarWidth = 30;
}  // namespace

void CCliProgress::InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool CCliProgress::Interrupted() {
  return gInterrupted != 0;
}
void CCliProgress::SetInterrupted(bool value) {
  gInterrupted = value ? 1 : 0;
}

CCliProgress::~CCliProgress() {
  line_.Erase();
}

bool CCliProgress::IsCancelled() {
  if (gInterrupted) RequestCancel();
  return CProgressCounter::IsCancelled();
}

void CCliProgress::Close() {
  line_.Erase();
}

void CCliProgress::OnChanged(Change change) {
  Draw(change != Change::File);
}

void CCliProgress::Draw(bool force) {
  if (!show_ || !Started()) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && line_.Drawn() && now - lastDraw_ < std::chrono::milliseconds(100)) return;
  lastDraw_ = now;
  const auto& bar = FileBar();
  const double fraction = bar.maximum ? static_cast<double>(bar.position) / bar.maximum : 0.0;
  const int filled = static_cast<int>(fraction * kBarWidth + 0.5);
  std::string line = CTerminalLine::Bar(filled, kBarWidth) + " ";
  char percent[16];
  std::snprintf(percent, sizeof percent, "%3d%% ", static_cast<int>(fraction * 100 + 0.5));
  line += percent;
  line += CountText();
  line += "  ";
  line += ActionText();
  if (line.size() > 149) line.resize(149);
  line_.Draw(line);
}
