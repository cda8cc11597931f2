#include "generate/wide_integer.h"

#include "generate_test_support.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct ReadingCase {
    std::u16string text;
    int base;
    std::int32_t value;
    std::size_t end;
    bool outOfRange;
};

void PrintTo(const ReadingCase& c, std::ostream* os) {
    *os << Escaped(c.text) << " base " << c.base;
}

class WideIntegerReadingTest : public testing::TestWithParam<ReadingCase> {};

TEST_P(WideIntegerReadingTest, ReadsLikeWcstolWithA32BitLong) {
    const ReadingCase& c = GetParam();
    const WideIntegerReading r = ReadWideInteger(c.text, c.base);
    EXPECT_EQ(r.value, c.value);
    EXPECT_EQ(r.end, c.end);
    EXPECT_EQ(r.outOfRange, c.outOfRange);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WideIntegerReadingTest,
    testing::Values(
        // Base 10: white space, signs, leading zeros and where reading stops.
        ReadingCase{u"365", 10, 365, 3, false}, ReadingCase{u"0365", 10, 365, 4, false},
        ReadingCase{u"  -42x", 10, -42, 5, false}, ReadingCase{u"+7", 10, 7, 2, false},
        ReadingCase{u" \t\n\v\f\r9", 10, 9, 7, false},
        ReadingCase{u"2048 bits", 10, 2048, 4, false}, ReadingCase{u"", 10, 0, 0, false},
        ReadingCase{u"   ", 10, 0, 0, false}, ReadingCase{u"-", 10, 0, 0, false},
        ReadingCase{u"x1", 10, 0, 0, false}, ReadingCase{u"- 1", 10, 0, 0, false},
        ReadingCase{u"1a", 10, 1, 1, false},
        // Only the C locale's white space and ASCII digits count.
        ReadingCase{u"\u00A01", 10, 0, 0, false}, ReadingCase{u"\u30001", 10, 0, 0, false},
        ReadingCase{u"\uFF11", 10, 0, 0, false}, ReadingCase{u"1\uFF12", 10, 1, 1, false},
        // Clamping at the 32-bit limits, also far beyond them.
        ReadingCase{u"2147483647", 10, kMax, 10, false},
        ReadingCase{u"2147483648", 10, kMax, 10, true},
        ReadingCase{u"4294967297", 10, kMax, 10, true},
        ReadingCase{u"-2147483648", 10, kMin, 11, false},
        ReadingCase{u"-2147483649", 10, kMin, 11, true},
        ReadingCase{u"99999999999999999999999999", 10, kMax, 26, true},
        ReadingCase{u"-99999999999999999999999999x", 10, kMin, 27, true},
        // Base 16: either case, the optional prefix, and a prefix without digits.
        ReadingCase{u"0123ABCD", 16, 0x0123ABCD, 8, false},
        ReadingCase{u"00abcdef", 16, 0x00ABCDEF, 8, false},
        ReadingCase{u"0x12abcd", 16, 0x12ABCD, 8, false},
        ReadingCase{u"0X12ABCD", 16, 0x12ABCD, 8, false}, ReadingCase{u"-0x10", 16, -16, 5, false},
        ReadingCase{u"FFFFFFFF", 16, kMax, 8, true}, ReadingCase{u"7FFFFFFF", 16, kMax, 8, false},
        ReadingCase{u"1234567g", 16, 0x1234567, 7, false}, ReadingCase{u"0xg", 16, 0, 0, false},
        ReadingCase{u"0x", 16, 0, 0, false}, ReadingCase{u"0", 16, 0, 1, false},
        ReadingCase{u"0x10", 10, 0, 1, false}));

TEST(WideTextToInt32, GivesTheReadValue) {
    EXPECT_EQ(WideTextToInt32(u"0365"), 365);
    EXPECT_EQ(WideTextToInt32(u"x"), 0);
    EXPECT_EQ(WideTextToInt32(u"-99999999999"), kMin);
}

} // namespace
