#pragma once
// Progress of a command-line operation: a one-line bar on standard error when
// it is a terminal, and SIGINT, SIGTERM and SIGHUP as the Cancel button. File steps redraw the
// bar at most every 100 ms by the clock handed in; every other change
// redraws it at once.

#include <cstdio>
#include <string>

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
  // True once a stop signal came while this operation ran.
  bool IsCancelled() override;

  // Installs the handler of SIGINT, SIGTERM and SIGHUP, alike in every
  // phase of a run. A signal stops the run at once: the hidden files of the
  // outputs being written are removed (core/PendingOutputs.h), one line
  // says so, and the tool exits 128 + the signal's number. With keepPartial
  // a signal that comes while an output is written is a cancel request
  // instead: the operation ends its output honestly, and it appears under
  // its name (a second signal stops at once).
  static void InstallInterruptHandler(bool keepPartial = false);
  // True once a stop signal came.
  static bool Interrupted();
  // For tests: act as if Ctrl-C had been pressed (or clear it).
  static void SetInterrupted(bool value);
  // After a cancel: the exit code (128 + the signal, 130 for a cancel
  // without one) and the words that name it ("stopped by SIGTERM").
  static int StopExitCode();
  static const char* StopWords();
  // A line a stop signal appends to the file at path (the batch log's
  // closing line) when it ends the run at once; a file not there is left.
  static void SetStopNote(const std::string& path, const char* line);

 private:
  void Draw(const CProgressState& state, bool force);

  bool show_;
  CTerminalLine line_;
  const CClock& clock_;
  CClock::TimePoint lastDraw_{};
  bool cancelled_ = false;
};
