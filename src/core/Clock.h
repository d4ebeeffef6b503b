#pragma once
// Where the engine and the command-line tool read the time: a steady clock
// for durations and rate limits, handed in so tests can move it themselves.

#include <chrono>

class CClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~CClock() = default;
  virtual TimePoint Now() const = 0;
};

// The machine's steady clock, what production code hands in.
const CClock& SteadyClock();
