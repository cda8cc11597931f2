#include "generate/date_time_text.h"

#include "generate_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct PatternCase {
    std::u16string text;
    bool contains;
};

void PrintTo(const PatternCase& c, std::ostream* os) {
    *os << Escaped(c.text);
}

class DateTimePatternTest : public testing::TestWithParam<PatternCase> {};

TEST_P(DateTimePatternTest, FindsThePatternAnywhere) {
    EXPECT_EQ(ContainsDateTimePattern(GetParam().text), GetParam().contains);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DateTimePatternTest,
    testing::Values(PatternCase{u"2025-04-22 07:43:39", true},
                    PatternCase{u"from 2025-04-22 07:43:39 JST", true},
                    PatternCase{u"12025-04-22 07:43:390", true},
                    PatternCase{u"9999-99-99 99:99:99", true}, // shape only, not the calendar
                    PatternCase{u"x 2025-04-22 07:43:3", false},
                    PatternCase{u"2025-04-22 7:43:39", false},
                    PatternCase{u"2025-04-22T07:43:39", false},
                    PatternCase{u"2025/04/22 07:43:39", false},
                    PatternCase{u"2025-04-22  07:43:39", false},
                    PatternCase{u"\uFF12025-04-22 07:43:39", false}, // a full-width digit
                    PatternCase{u"", false}));

struct ParseCase {
    std::u16string text;
    std::int64_t ticks;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << Escaped(c.text);
}

class ParseDateTimeTextTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseDateTimeTextTest, GivesTicksSince1601) {
    EXPECT_EQ(ParseDateTimeText(GetParam().text), GetParam().ticks);
}

INSTANTIATE_TEST_SUITE_P(
    ValidDates, ParseDateTimeTextTest,
    testing::Values(ParseCase{u"1601-01-01 00:00:00", 0},
                    ParseCase{u"1601-01-01 00:00:01", 10'000'000},
                    ParseCase{u"1601-01-02 00:00:00", 864'000'000'000},
                    ParseCase{u"1970-01-01 00:00:00", 116'444'736'000'000'000},
                    ParseCase{u"2000-02-29 12:34:56", 125'963'012'960'000'000},
                    ParseCase{u"2025-04-22 07:43:39", 133'897'814'190'000'000},
                    ParseCase{u"2026-04-22 07:43:39", 134'213'174'190'000'000},
                    ParseCase{u"30827-12-31 23:59:59", 9'223'149'887'990'000'000},
                    // Trailing text is ignored; separators are not compared; integers skip white
                    // space and need no leading zeros.
                    ParseCase{u"1970-01-01 00:00:00 (local)", 116'444'736'000'000'000},
                    ParseCase{u"1970/01/01\n00.00.00", 116'444'736'000'000'000},
                    ParseCase{u"  1970-1-1   0:0:0", 116'444'736'000'000'000},
                    ParseCase{u"+1970-+1-01 00:00:00", 116'444'736'000'000'000},
                    ParseCase{u"1970-01-01 00-00-01", 116'444'736'010'000'000}));

INSTANTIATE_TEST_SUITE_P(
    ImpossibleOrUnreadableGiveZero, ParseDateTimeTextTest,
    testing::Values(ParseCase{u"2025-13-01 00:00:00", 0}, ParseCase{u"2025-00-01 00:00:00", 0},
                    ParseCase{u"2023-02-29 00:00:00", 0}, ParseCase{u"1900-02-29 00:00:00", 0},
                    ParseCase{u"2025-04-31 00:00:00", 0}, ParseCase{u"2025-01-32 00:00:00", 0},
                    ParseCase{u"2025-01-00 00:00:00", 0}, ParseCase{u"2025-01-01 24:00:00", 0},
                    ParseCase{u"2025-01-01 00:60:00", 0}, ParseCase{u"2025-01-01 00:00:60", 0},
                    ParseCase{u"2025-01-01 -1:00:00", 0}, ParseCase{u"1600-12-31 23:59:59", 0},
                    ParseCase{u"30828-01-01 00:00:00", 0},
                    // 65536 + 1601: a 16-bit year field would have wrapped this to 1601.
                    ParseCase{u"67137-01-01 00:00:00", 0},
                    ParseCase{u"99999999999-01-01 00:00:00", 0}, ParseCase{u"", 0},
                    ParseCase{u"2025-04-22", 0}, ParseCase{u"2025-04-22 07:43", 0},
                    ParseCase{u"2025-04-22 07:43:", 0}, ParseCase{u"2025-04-22T07:43:39", 0},
                    ParseCase{u"from 2025-04-22 07:43:39", 0},
                    ParseCase{u"2025--04-22 07:43:39", 0}));

TEST(CalendarTicks, LeapYearsFollowTheGregorianRule) {
    const std::int64_t feb28 = CalendarTicks(2024, 2, 28, 0, 0, 0);
    EXPECT_EQ(CalendarTicks(2024, 2, 29, 0, 0, 0) - feb28, kTicksPerDay);
    EXPECT_EQ(CalendarTicks(2024, 3, 1, 0, 0, 0) - feb28, 2 * kTicksPerDay);
    EXPECT_EQ(CalendarTicks(2100, 3, 1, 0, 0, 0) - CalendarTicks(2100, 2, 28, 0, 0, 0),
              kTicksPerDay);
    EXPECT_EQ(CalendarTicks(2001, 1, 1, 0, 0, 0) - CalendarTicks(2000, 1, 1, 0, 0, 0),
              366 * kTicksPerDay);
    EXPECT_EQ(CalendarTicks(1701, 1, 1, 0, 0, 0) - CalendarTicks(1700, 1, 1, 0, 0, 0),
              365 * kTicksPerDay);
}

} // namespace
