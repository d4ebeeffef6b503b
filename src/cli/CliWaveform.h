#pragma once
// kestrune-cli waveform FILE -o OUT: the waveform of a file as a PNG
// picture or as JSON peaks, by the output's extension.

#include <cstdint>
#include <cstdio>
#include <string>

struct CliWaveformOptions {
  std::string input;
  std::string output;
  int width = 1800;
  int height = 280;
  std::uint64_t points = 1800;
  bool quiet = false;
};

int RunCliWaveform(const CliWaveformOptions& options, std::FILE* out, std::FILE* err);

// Writes a PNG of width × height RGBA pixels (row by row); false with
// whyNot set when it cannot.
bool WritePng(const std::string& path, int width, int height, const std::uint8_t* rgba, std::string& whyNot);
