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
