#pragma once
// Times as people type them and read them: "90", "90.5", "1:30", "1:30.250",
// "0:01:30.250". A time is held exactly, in whole microseconds, so that a
// typed "3.3" is 3,300,000 µs and not a binary fraction near it; it becomes
// a sample position only against a sampling rate, rounded to the nearest
// sample.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace timetext {

// Microseconds in a second.
constexpr std::uint64_t kMicrosPerSecond = 1000000;
// The longest time accepted: 100,000 hours, far beyond any audio file, and
// small enough that every product below stays inside 64 bits.
constexpr std::uint64_t kMaxMicros = std::uint64_t{100000} * 3600 * kMicrosPerSecond;

// The outcome of ParseTime: a time, or why the text is none.
struct ParsedTime {
  std::optional<std::uint64_t> micros;  // set when the text is a time
  std::string reason;                   // otherwise: why not, as a phrase ("seconds must be below 60")
};

// Reads "S", "S.f", "M:SS", "M:SS.f", "H:MM:SS" or "H:MM:SS.f": S, M and H
// one or more digits; after a colon exactly two digits below 60; the
// fraction one to six digits. Surrounding spaces are allowed, signs,
// exponents and anything else are not.
ParsedTime ParseTime(std::string_view text);

// "H:MM:SS.mmm", the milliseconds rounded to the nearest.
std::string FormatTime(std::uint64_t micros);

// The sample at a time: round(micros × rate / 10^6), halves rounding up.
std::uint64_t SampleAt(std::uint64_t micros, std::uint32_t rate);
// Whole seconds as a sample position: seconds × rate.
constexpr std::uint64_t SampleAtSecond(std::uint64_t seconds, std::uint32_t rate) {
  return seconds * rate;
}
// The time of a sample position in microseconds, rounded to the nearest.
std::uint64_t MicrosOf(std::uint64_t sample, std::uint32_t rate);
// Samples as seconds, for messages.
double SecondsOf(std::uint64_t samples, std::uint32_t rate);

}  // namespace timetext
