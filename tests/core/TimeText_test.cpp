// Times as typed: every accepted form to exact microseconds, every kind of
// bad text refused with its reason, the display form, and times to samples.
#include "core/TimeText.h"

#include <gtest/gtest.h>

namespace {

using timetext::FormatTime;
using timetext::ParseTime;
using timetext::SampleAt;

TEST(TimeText, AcceptedFormsGiveExactMicroseconds) {
  const struct {
    const char* text;
    std::uint64_t micros;
  } rows[] = {
      {"0", 0},
      {"7", 7000000},
      {"3.3", 3300000},
      {"3.30", 3300000},
      {"7.77", 7770000},
      {"0.000001", 1},
      {"12.345678", 12345678},
      {"90", 90000000},
      {"1:30", 90000000},
      {"0:05.5", 5500000},
      {"10:00.001", 600001000},
      {"125:59", 7559000000},  // minutes may run past an hour without hours
      {"1:00:00", 3600000000},
      {"01:02:03.004", 3723004000},
      {"0:00:00.5", 500000},
      {"  42 ", 42000000},
      {"000012", 12000000},
  };
  for (const auto& row : rows) {
    const timetext::ParsedTime parsed = ParseTime(row.text);
    ASSERT_TRUE(parsed.micros.has_value()) << row.text << ": " << parsed.reason;
    EXPECT_EQ(*parsed.micros, row.micros) << row.text;
    EXPECT_TRUE(parsed.reason.empty());
  }
}

TEST(TimeText, BadTextIsRefusedWithItsReason) {
  const struct {
    const char* text;
    const char* reason;  // a part of the reason
  } rows[] = {
      {"", "no time given"},
      {"   ", "no time given"},
      {"-3", "'-' is not part"},
      {"+3", "'+' is not part"},
      {"3s", "'s' is not part"},
      {"1e3", "'e' is not part"},
      {"3,5", "',' is not part"},
      {"3.", "digits must follow the dot"},
      {".5", "a number is missing"},
      {"3.1234567", "at most six digits"},
      {"1.5:30", "comes last"},
      {"3.3.3", "comes last"},
      {"1:60", "seconds must be below 60"},
      {"1:5", "two digits"},
      {"1:050", "two digits"},
      {"1:60:00", "minutes must be below 60"},
      {"1::00", "a number is missing"},
      {":30", "a number is missing"},
      {"1:30:", "a number is missing"},
      {"1:00:00:00", "at most hours, minutes and seconds"},
      {"99999999999999999999", "too long"},
      {"360000001", "too long"},
      {"100000:00:00.000001", "too long"},
  };
  for (const auto& row : rows) {
    const timetext::ParsedTime parsed = ParseTime(row.text);
    EXPECT_FALSE(parsed.micros.has_value()) << row.text;
    EXPECT_NE(parsed.reason.find(row.reason), std::string::npos) << row.text << ": " << parsed.reason;
  }
  EXPECT_TRUE(ParseTime("100000:00:00").micros.has_value()) << "the longest time";
}

TEST(TimeText, FormatShowsHoursMinutesSecondsAndRoundedMilliseconds) {
  EXPECT_EQ(FormatTime(0), "0:00:00.000");
  EXPECT_EQ(FormatTime(3300000), "0:00:03.300");
  EXPECT_EQ(FormatTime(3723004000), "1:02:03.004");
  EXPECT_EQ(FormatTime(59999499), "0:00:59.999");
  EXPECT_EQ(FormatTime(59999500), "0:01:00.000") << "rounding carries into the minutes";
  EXPECT_EQ(FormatTime(timetext::kMaxMicros), "100000:00:00.000");
  // Printed and read again, a time keeps its milliseconds.
  for (std::uint64_t micros : {1234000ull, 86399999000ull, 7000ull})
    EXPECT_EQ(*ParseTime(FormatTime(micros)).micros, micros);
}

TEST(TimeText, TimesBecomeTheNearestSample) {
  const struct {
    std::uint64_t micros;
    std::uint32_t rate;
    std::uint64_t sample;
  } rows[] = {
      {3300000, 44100, 145530},  // 3.3 × 44100 exactly, where 3.3 in binary lies below
      {7770000, 44100, 342657},
      {1, 44100, 0},        // 0.0441 samples
      {11338, 44100, 500},  // 500.0058
      {11349, 44100, 500},  // 500.4909
      {11350, 44100, 501},  // 500.535
      {125, 4000, 1},       // exactly half a sample rounds up
      {124, 4000, 0},
      {3600000000, 48000, 172800000},
      {timetext::kMaxMicros, 4294967295u, 1546188226200000000ull},  // no overflow at the limits
  };
  for (const auto& row : rows) EXPECT_EQ(SampleAt(row.micros, row.rate), row.sample) << row.micros;
  EXPECT_EQ(timetext::SampleAtSecond(3, 22050), 66150u);
  EXPECT_EQ(timetext::MicrosOf(145530, 44100), 3300000u);
  EXPECT_EQ(timetext::MicrosOf(1, 3), 333333u);
  EXPECT_EQ(timetext::MicrosOf(2, 3), 666667u);
  EXPECT_EQ(timetext::MicrosOf(5, 0), 0u);
  EXPECT_DOUBLE_EQ(timetext::SecondsOf(88200, 44100), 2.0);
}

}  // namespace
