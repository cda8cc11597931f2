// Validity dates as the decoder writes them ("2025-04-22 07:43:39"), read back as ticks.
#pragma once

#include <cstdint>
#include <string_view>

// 100 ns; a point in time is a count of ticks since 1601-01-01 00:00:00.
inline constexpr std::int64_t kTicksPerSecond = 10'000'000;
inline constexpr std::int64_t kTicksPerDay = 86'400 * kTicksPerSecond;

// True when "dddd-dd-dd dd:dd:dd" (d an ASCII digit 0-9) occurs anywhere in the text.
bool ContainsDateTimePattern(std::u16string_view text);

// The ticks of a calendar date-time taken as it stands (no time-zone shift), or 0 for an
// impossible one. Accepted: year 1601..30827, month 1..12, day within its month (leap years by the
// Gregorian rule), hour 0..23, minute 0..59, second 0..59.
std::int64_t CalendarTicks(int year, int month, int day, int hour, int minute, int second);

// Reads, from the first unit of the text: an integer (year), one unit, an integer (month), one
// unit, an integer (day), an integer (hour), one unit, an integer (minute), one unit, an integer
// (second), and gives CalendarTicks of them. Each integer skips leading white space (space, \t,
// \n, \v, \f, \r) and takes an optional sign and ASCII digits; the single units in between are
// taken whatever they are (white space included) and not compared. The rest of the text is
// ignored.
//
// A text that does not start with such a sequence (a missing or out-of-range integer, a text that
// ends early) or whose fields are impossible (month 13, 29 February of a common year, a year
// before 1601) gives 0, the same value as no date at all, so that a caller treats it like a
// missing date. 1601-01-01 00:00:00 itself is also 0.
std::int64_t ParseDateTimeText(std::u16string_view text);
