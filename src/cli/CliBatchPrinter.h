#pragma once
// What kestrune-cli batch prints: one status line per file as it settles
// ("path: Done", "path: Failed: reason", "path: File Exists", "path:
// Queued"), or with --json one JSON object per file; the summary; and on a
// terminal the bar on standard error (files done of all, and the megabytes
// the converting files have done of theirs).

#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/TerminalLine.h"
#include "core/batch/BatchQueue.h"

class CCliBatchPrinter {
 public:
  // bar: whether err shows the bar (a terminal, not --quiet).
  CCliBatchPrinter(std::FILE* out, std::FILE* err, bool json, bool bar)
      : out_(out), err_(err), json_(json), showBar_(bar), bar_(err) {}

  // A file settled; seconds is the time of its conversion (0 when none ran).
  void Report(const BatchQueueJob& job, double seconds);
  // The summary: on standard output, or on standard error with --json,
  // whose standard output holds only the JSON lines.
  void Summary(const std::string& text);
  // files settled of all; doneBytes of runningBytes are the converting
  // files' share done of their sizes.
  void DrawBar(std::size_t settled, std::size_t files, double doneBytes, double runningBytes);
  void EraseBar() { bar_.Erase(); }

 private:
  std::FILE* out_;
  std::FILE* err_;
  bool json_;
  bool showBar_;
  CTerminalLine bar_;
};
