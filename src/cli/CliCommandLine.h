#pragma once
// The tool's command line: every verb with its options, bound to the records
// a parse fills. RunCli (CliJob.cpp) parses with it and runs the verb given.

#include <CLI/CLI.hpp>
#include <string>

#include "cli/CliBatch.h"
#include "cli/CliJob.h"
#include "cli/CliSplit.h"
#include "cli/CliWaveform.h"

// --compression, for to-flac and the verbs that write FLAC.
void AddCompressionOption(CLI::App& sub, FlacEncodeSettings& settings);

struct CliCommandLine {
  CliCommandLine();
  CliCommandLine(const CliCommandLine&) = delete;
  CliCommandLine& operator=(const CliCommandLine&) = delete;

  // Fills options.verb, the encoder settings and the typed times from what
  // the parse read; the usage message of a time that is none.
  std::optional<std::string> ReadJobOptions();

  CLI::App app{"Cuts and converts WAV, MP3 and FLAC files.", "kestrune-cli"};
  CliOptions options;
  CliBatchOptions batchOptions;
  CliWaveformOptions waveformOptions;
  CliSplitOptions splitOptions;

  // Read as text and turned into options by ReadJobOptions.
  std::string overlapText, fromText, toText;
  std::string bitrate = "auto", mode = "cbr";
  unsigned quality = 5;
  bool noOriginal = false;
  bool framesOnly = false;
  // A stop signal keeps the output being written, ended honestly, under its
  // name instead of removing it.
  bool keepPartial = false;

  CLI::App *info = nullptr, *shred = nullptr, *cut = nullptr, *toMp3 = nullptr, *toWav = nullptr,
           *toFlac = nullptr, *to16 = nullptr, *to8 = nullptr, *rip = nullptr, *batch = nullptr,
           *waveform = nullptr, *split = nullptr;
  CLI::Option* overlapOption = nullptr;

 private:
  void AddInfoAndShred();
  void AddCut();
  void AddToMp3();
  void AddWavConversions();
  void AddBatchAndWaveform();
};
