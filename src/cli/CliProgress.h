#pragma once
// Progress of a command-line operation: a one-line bar on standard error when
// it is a terminal, and Ctrl-C as the Cancel button. File steps redraw the
// bar at most every 100 ms by the clock handed in; every other change
// redraws it at once.

#include <cstdio>

#include "cli/TerminalLine.h"
#include "core/Clock.h"
#include "core/Progress.h"

class CCliProgress : public CProgressSink {
 public:
  static constexpr std::chrono::milliseconds kRedrawInterval{100};

  // show: draw the bar (stderr is a terminal and --quiet was not given).
  explicit CCliProgress(bool show, std::FILE* out = stderr, const CClock& clock = SteadyClock())
      : show_(show), line_(out), clock_(clock) {}
  ~CCliProgress() override;
  void Changed(const CProgressState& state, ProgressChange change) override;
  // True once Ctrl-C was pressed while this operation ran.
  bool IsCancelled() override;

  // Installs the SIGINT handler that turns Ctrl-C into a cancel request.
  static void InstallInterruptHandler();
  // True once Ctrl-C was pressed.
  static bool Interrupted();
  // For tests: act as if Ctrl-C had been pressed (or clear it).
  static void SetInterrupted(bool value);

 private:
  void Draw(const CProgressState& state, bool force);

  bool show_;
  CTerminalLine line_;
  const CClock& clock_;
  CClock::TimePoint lastDraw_{};
  bool cancelled_ = false;
};
