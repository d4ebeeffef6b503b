#include "core/WindowLevels.h"

#include <algorithm>
#include <cmath>

namespace split {

void WindowLevels::Reset(std::uint32_t rate, std::uint64_t total) {
  sampleRate = rate;
  windowSamples = std::clamp<std::uint32_t>(rate / 100, 1, kNoLoud - 1);
  totalSamples = total;
  windows.assign((total + windowSamples - 1) / windowSamples, WindowLevel{});
}

void WindowLevels::MarkLoud(std::uint64_t from, std::uint64_t to) {
  to = std::min(to, totalSamples);
  while (from < to) {
    const std::uint64_t index = from / windowSamples;
    const std::uint64_t windowEnd = std::min(to, (index + 1) * windowSamples);
    WindowLevel& w = windows[index];
    const auto first = static_cast<std::uint16_t>(from % windowSamples);
    const auto last = static_cast<std::uint16_t>((windowEnd - 1) % windowSamples);
    w.peak = std::max(w.peak, 1.0f);
    if (w.firstLoud == kNoLoud || first < w.firstLoud) w.firstLoud = first;
    if (w.lastLoud == kNoLoud || last > w.lastLoud) w.lastLoud = last;
    from = windowEnd;
  }
}

double AmplitudeOf(double dbfs) {
  return std::pow(10.0, dbfs / 20.0);
}

double DbfsOf(double amplitude) {
  return amplitude <= 0.0 ? -150.0 : std::max(-150.0, 20.0 * std::log10(amplitude));
}

}  // namespace split
