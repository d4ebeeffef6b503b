#include "core/split/SilenceRuns.h"

#include <algorithm>
#include <deque>

namespace split {

namespace {

// The first quiet sample of a run starting at window first: after the last
// loud sample of the window before.
std::uint64_t RunStart(const WindowLevels& levels, std::size_t first) {
  if (first == 0) return 0;
  const WindowLevel& before = levels.windows[first - 1];
  return std::uint64_t{first - 1} * levels.windowSamples + before.lastLoud + 1;
}

// One past the last quiet sample of a run ending before window end.
std::uint64_t RunEnd(const WindowLevels& levels, std::size_t end) {
  if (end >= levels.windows.size()) return levels.totalSamples;
  return std::uint64_t{end} * levels.windowSamples + levels.windows[end].firstLoud;
}

float PeakOf(const WindowLevels& levels, std::size_t first, std::size_t end) {
  float peak = 0.0f;
  for (std::size_t i = first; i < end; ++i) peak = std::max(peak, levels.windows[i].peak);
  return peak;
}

}  // namespace

std::vector<Silence> FindSilenceRuns(const WindowLevels& levels, std::uint64_t minSamples) {
  std::vector<Silence> silences;
  const std::size_t count = levels.windows.size();
  std::size_t i = 0;
  while (i < count) {
    if (!levels.windows[i].Quiet()) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < count && levels.windows[end].Quiet()) ++end;
    Silence s{RunStart(levels, i), RunEnd(levels, end), PeakOf(levels, i, end)};
    if (s.Length() >= minSamples && s.Length() > 0) silences.push_back(s);
    i = end;
  }
  return silences;
}

QuietestStretch FindQuietestStretch(const WindowLevels& levels, std::uint64_t minSamples) {
  QuietestStretch best;
  const std::size_t count = levels.windows.size();
  if (count == 0) return best;
  const std::size_t span =
      std::clamp<std::size_t>((minSamples + levels.windowSamples - 1) / levels.windowSamples, 1, count);
  // Sliding maximum over span windows: indexes of falling peaks.
  std::deque<std::size_t> falling;
  for (std::size_t i = 0; i < count; ++i) {
    while (!falling.empty() && levels.windows[falling.back()].peak <= levels.windows[i].peak)
      falling.pop_back();
    falling.push_back(i);
    if (falling.front() + span <= i) falling.pop_front();
    if (i + 1 < span) continue;
    const float peak = levels.windows[falling.front()].peak;
    if (peak < best.peak || best.length == 0) {
      best.peak = peak;
      best.start = std::uint64_t{i + 1 - span} * levels.windowSamples;
      best.length = std::min<std::uint64_t>(std::uint64_t{span} * levels.windowSamples,
                                            levels.totalSamples - best.start);
    }
  }
  return best;
}

}  // namespace split
