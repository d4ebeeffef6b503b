#pragma once
// kestrune-cli split: cut a file at its silences, into equal pieces moved to
// the silences nearby, or by a cue sheet; print the cut list (as text or
// JSON), export it as a cue sheet or labels file, and write the pieces
// unless --dry-run.

#include <cstdio>
#include <optional>
#include <string>

namespace CLI {
class App;
}

struct CliSplitOptions {
  std::string input;  // a WAV, MP3 or FLAC file, or a .cue sheet
  bool silence = false;
  std::string threshold = "-48";
  std::string minSilence = "0.5";
  std::string minPiece = "10";
  std::string cutAt = "middle";
  std::uint32_t equal = 0;
  std::string snap = "10";
  std::string base;
  std::optional<std::string> suffix;  // default: storedSuffix
  std::string storedSuffix;           // the settings store's suffix
  std::string outDir;
  std::string to;  // the pieces' format; empty: the source's
  bool dryRun = false;
  bool json = false;
  std::string cueOut;
  std::string labelsOut;
  bool quiet = false;
  bool keepPartial = false;  // a stop signal keeps the piece under way, ended honestly
};

// Adds the verb and its options to app; the options land in options.
CLI::App* AddSplitCommand(CLI::App& app, CliSplitOptions& options);

// Runs the verb and returns the exit code (0, 1 failed, 2 usage, 130 cancelled).
int RunCliSplit(const CliSplitOptions& options, std::FILE* out, std::FILE* err);
