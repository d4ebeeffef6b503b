#pragma once
// Progress of a command-line operation: a one-line bar on standard error when
// it is a terminal, and Ctrl-C as the Cancel button.

#include <chrono>
#include <cstdio>

#include "cli/TerminalLine.h"
#include "core/Progress.h"

class CCliProgress : public CProgressCounter {
 public:
  // show: draw the bar (stderr is a terminal and --quiet was not given).
  explicit CCliProgress(bool show, std::FILE* out = stderr) : show_(show), line_(out) {}
  ~CCliProgress() override;
  bool IsCancelled() override;
  void Close() override;

  // Installs the SIGINT handler that turns Ctrl-C into a cancel request.
  static void InstallInterruptHandler();
  // True once Ctrl-C was pressed.
  static bool Interrupted();
  // For tests: act as if Ctrl-C had been pressed (or clear it).
  static void SetInterrupted(bool value);

 protected:
  void OnChanged(Change change) override;

 private:
  void Draw(bool force);

  bool show_;
  CTerminalLine line_;
  std::chrono::steady_clock::time_point lastDraw_{};
};
