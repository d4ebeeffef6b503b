#pragma once
// The level of a recording as silence detection sees it: the peak of all
// channels over short windows (10 ms), and where in each window the first and
// the last sample at or above the threshold lie, so that the edges of a
// silence are known to the sample without keeping the samples.

#include <cstdint>
#include <vector>

namespace split {

// A window holds at most 65535 samples; kNoLoud marks a window with no
// sample at or above the threshold.
constexpr std::uint16_t kNoLoud = 0xFFFF;
// The longest recording scanned, in seconds: 24 hours, 8.6 million windows
// (69 MB of levels).
constexpr std::uint64_t kMaxScanSeconds = 24 * 3600;

struct WindowLevel {
  float peak = 0.0f;                  // largest |sample| of all channels, full scale 1.0
  std::uint16_t firstLoud = kNoLoud;  // offset of the first sample at or above the threshold
  std::uint16_t lastLoud = kNoLoud;   // offset of the last one
  bool Quiet() const { return firstLoud == kNoLoud; }
};

struct WindowLevels {
  std::uint32_t sampleRate = 0;
  std::uint32_t windowSamples = 0;  // samples per window (the last window may hold fewer)
  std::uint64_t totalSamples = 0;   // per channel
  std::vector<WindowLevel> windows;

  // Windows of 10 ms (at least one sample) covering total samples at rate.
  void Reset(std::uint32_t rate, std::uint64_t total);
  // Records sample magnitude m (full scale 1.0) at position pos; loud tells
  // whether it is at or above the threshold.
  void Add(std::uint64_t pos, float magnitude, bool loud) {
    WindowLevel& w = windows[pos / windowSamples];
    if (magnitude > w.peak) w.peak = magnitude;
    if (loud) {
      const auto offset = static_cast<std::uint16_t>(pos % windowSamples);
      if (w.firstLoud == kNoLoud || offset < w.firstLoud) w.firstLoud = offset;
      if (w.lastLoud == kNoLoud || offset > w.lastLoud) w.lastLoud = offset;
    }
  }
  // Marks the samples [from, to) loud (a stretch that was not decoded
  // because it cannot be quiet). Not to be called while another thread adds
  // samples to the same windows.
  void MarkLoud(std::uint64_t from, std::uint64_t to);
};

// What a level scan looks for.
struct LevelScanOptions {
  double threshold = 0.0;         // amplitude, full scale 1.0
  std::uint64_t minSamples = 0;   // the shortest silence of interest
  bool decodeEverything = false;  // no shortcut: every frame of a coded stream is decoded
};

// What a scan of a coded stream did; a PCM file decodes nothing.
struct LevelScanStats {
  std::uint64_t frames = 0;
  std::uint64_t framesDecoded = 0;  // lead-in frames included
};

// The linear amplitude of a level in dBFS, and back (-inf for 0 is clamped to -150).
double AmplitudeOf(double dbfs);
double DbfsOf(double amplitude);

}  // namespace split
