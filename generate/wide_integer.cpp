#include "generate/wide_integer.h"

#include <limits>

namespace {

bool IsCSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// The digit's value, or -1 for a unit that is no digit of `base`.
int DigitValue(char16_t c, int base) {
    int v = -1;
    if (c >= u'0' && c <= u'9')
        v = c - u'0';
    else if (c >= u'a' && c <= u'z')
        v = c - u'a' + 10;
    else if (c >= u'A' && c <= u'Z')
        v = c - u'A' + 10;
    return v < base ? v : -1;
}

} // namespace

WideIntegerReading ReadWideInteger(std::u16string_view text, int base) {
    WideIntegerReading reading;
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (base == 16 && i + 1 < text.size() && text[i] == u'0' &&
        (text[i + 1] == u'x' || text[i + 1] == u'X'))
        i += 2;

    // Accumulate the magnitude with a ceiling just past the 32-bit range, so it cannot overflow.
    constexpr std::int64_t kCeiling = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 2;
    std::int64_t magnitude = 0;
    const std::size_t firstDigit = i;
    for (; i < text.size(); ++i) {
        const int d = DigitValue(text[i], base);
        if (d < 0)
            break;
        magnitude = magnitude * base + d;
        if (magnitude > kCeiling)
            magnitude = kCeiling;
    }
    if (i == firstDigit)
        return reading; // no digit: nothing consumed, value 0

    reading.end = i;
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        reading.value = std::numeric_limits<std::int32_t>::max();
        reading.outOfRange = true;
    } else if (value < std::numeric_limits<std::int32_t>::min()) {
        reading.value = std::numeric_limits<std::int32_t>::min();
        reading.outOfRange = true;
    } else {
        reading.value = static_cast<std::int32_t>(value);
    }
    return reading;
}

std::int32_t WideTextToInt32(std::u16string_view text) {
    return ReadWideInteger(text, 10).value;
}
