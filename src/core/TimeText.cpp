#include "core/TimeText.h"

#include <cstdio>
#include <vector>

namespace timetext {
namespace {

constexpr std::size_t kMaxFractionDigits = 6;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!IsDigit(c)) return false;
  return true;
}

ParsedTime Refuse(std::string reason) {
  return {std::nullopt, std::move(reason)};
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

ParsedTime ParseTime(std::string_view input) {
  const std::string_view text = Trim(input);
  if (text.empty()) return Refuse("no time given");
  for (char c : text)
    if (!IsDigit(c) && c != ':' && c != '.')
      return Refuse(std::string("'") + c +
                    "' is not part of a time (write S, S.fff, M:SS.fff or H:MM:SS.fff)");

  // The fraction belongs to the seconds, the last field.
  std::string_view whole = text, fraction;
  if (const auto dot = text.find('.'); dot != std::string_view::npos) {
    whole = text.substr(0, dot);
    fraction = text.substr(dot + 1);
    if (fraction.find_first_of(".:") != std::string_view::npos)
      return Refuse("the fraction of a second comes last, after one dot");
    if (fraction.empty()) return Refuse("digits must follow the dot");
    if (fraction.size() > kMaxFractionDigits) return Refuse("at most six digits may follow the dot");
  }

  std::vector<std::string_view> fields;
  for (std::size_t from = 0;;) {
    const auto colon = whole.find(':', from);
    fields.push_back(whole.substr(from, colon == std::string_view::npos ? colon : colon - from));
    if (colon == std::string_view::npos) break;
    from = colon + 1;
  }
  if (fields.size() > 3) return Refuse("a time has at most hours, minutes and seconds");
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!AllDigits(fields[i])) return Refuse("a number is missing before or after a colon");
    if (i > 0 && fields[i].size() != 2) return Refuse("minutes and seconds after a colon take two digits");
  }

  std::uint64_t seconds = 0;
  const std::uint64_t limit = kMaxMicros / kMicrosPerSecond;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::uint64_t value = 0;
    for (char c : fields[i]) {
      value = value * 10 + static_cast<std::uint64_t>(c - '0');
      if (value > limit) return Refuse("the time is too long");
    }
    if (i > 0 && value >= 60)
      return Refuse(i + 1 == fields.size() ? "seconds must be below 60" : "minutes must be below 60");
    seconds = seconds * 60 + value;
    if (seconds > limit) return Refuse("the time is too long");
  }
  std::uint64_t micros = seconds * kMicrosPerSecond;
  std::uint64_t scale = kMicrosPerSecond;
  for (char c : fraction) {
    scale /= 10;
    micros += static_cast<std::uint64_t>(c - '0') * scale;
  }
  if (micros > kMaxMicros) return Refuse("the time is too long");
  return {micros, {}};
}

std::string FormatTime(std::uint64_t micros) {
  const std::uint64_t millis = (micros + 500) / 1000;
  char text[48];
  std::snprintf(text, sizeof text, "%llu:%02u:%02u.%03u", static_cast<unsigned long long>(millis / 3600000),
                static_cast<unsigned>(millis / 60000 % 60), static_cast<unsigned>(millis / 1000 % 60),
                static_cast<unsigned>(millis % 1000));
  return text;
}

std::uint64_t SampleAt(std::uint64_t micros, std::uint32_t rate) {
  const unsigned __int128 scaled = static_cast<unsigned __int128>(micros) * rate + kMicrosPerSecond / 2;
  return static_cast<std::uint64_t>(scaled / kMicrosPerSecond);
}

std::uint64_t MicrosOf(std::uint64_t sample, std::uint32_t rate) {
  if (rate == 0) return 0;
  const unsigned __int128 scaled = static_cast<unsigned __int128>(sample) * kMicrosPerSecond + rate / 2;
  return static_cast<std::uint64_t>(scaled / rate);
}

double SecondsOf(std::uint64_t samples, std::uint32_t rate) {
  return rate ? static_cast<double>(samples) / rate : 0.0;
}

}  // namespace timetext
