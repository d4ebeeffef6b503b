#pragma once
// Silences out of window levels: runs of quiet windows, widened to the
// sample on both sides, at least the minimum length long.

#include <cstdint>
#include <vector>

#include "core/WindowLevels.h"

namespace split {

struct Silence {
  std::uint64_t start = 0;  // first quiet sample
  std::uint64_t end = 0;    // one past the last
  float peak = 0.0f;        // the loudest sample inside, full scale 1.0
  std::uint64_t Length() const { return end - start; }
  std::uint64_t Middle() const { return start + (end - start) / 2; }
};

// Every silence of at least minSamples samples, in order.
std::vector<Silence> FindSilenceRuns(const WindowLevels& levels, std::uint64_t minSamples);

// The quietest stretch of (about) minSamples samples: where it starts and its
// peak; what a message shows when no silence was found.
struct QuietestStretch {
  std::uint64_t start = 0;
  std::uint64_t length = 0;
  float peak = 1.0f;
};
QuietestStretch FindQuietestStretch(const WindowLevels& levels, std::uint64_t minSamples);

}  // namespace split
