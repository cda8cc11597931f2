// Reading a number out of UTF-16 text the way the C library's wcstol does, with a 32-bit long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct WideIntegerReading {
    std::int32_t value = 0;  // clamped to INT32_MIN..INT32_MAX; 0 when no digit was read
    std::size_t end = 0;     // units consumed; 0 when no digit was read (the whole text is left)
    bool outOfRange = false; // the digits gave a number beyond the 32-bit range
};

// Skips leading white space (space, \t, \n, \v, \f, \r), takes an optional sign, then, for base
// 16 only, an optional "0x" or "0X" prefix, then the ASCII digits of `base` (either letter case
// for 16) up to the first other unit. A prefix with no digit after it counts as no digit at all.
// `base` is 10 or 16.
WideIntegerReading ReadWideInteger(std::u16string_view text, int base);

// Base-10 value only: what wcstol(text, nullptr, 10) gives.
std::int32_t WideTextToInt32(std::u16string_view text);
