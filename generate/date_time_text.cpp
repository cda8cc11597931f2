#include "generate/date_time_text.h"

#include <limits>

namespace {

constexpr std::int64_t kDaysFrom1601To1970 = 134'774;

bool IsAsciiDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool IsCSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146'097 + static_cast<std::int64_t>(dayOfEra) - 719'468;
}

// Reads the text front to back the way a wide string stream reads ints and single characters.
// After the first failed read every further read fails too.
class DateTimeReader {
public:
    explicit DateTimeReader(std::u16string_view text) : m_text(text) {}

    int Integer() {
        if (m_failed)
            return 0;
        while (m_pos < m_text.size() && IsCSpace(m_text[m_pos]))
            ++m_pos;
        bool negative = false;
        if (m_pos < m_text.size() && (m_text[m_pos] == u'+' || m_text[m_pos] == u'-')) {
            negative = m_text[m_pos] == u'-';
            ++m_pos;
        }
        const std::size_t first = m_pos;
        std::int64_t magnitude = 0;
        bool overflow = false;
        for (; m_pos < m_text.size() && IsAsciiDigit(m_text[m_pos]); ++m_pos) {
            magnitude = magnitude * 10 + (m_text[m_pos] - u'0');
            if (magnitude > std::int64_t{std::numeric_limits<int>::max()} + 1) {
                overflow = true;
                magnitude = std::int64_t{std::numeric_limits<int>::max()} + 1;
            }
        }
        const std::int64_t value = negative ? -magnitude : magnitude;
        if (m_pos == first || overflow || value > std::numeric_limits<int>::max() ||
            value < std::numeric_limits<int>::min()) {
            m_failed = true;
            return 0;
        }
        return static_cast<int>(value);
    }

    void Separator() {
        if (m_failed)
            return;
        if (m_pos >= m_text.size())
            m_failed = true;
        else
            ++m_pos;
    }

    bool Failed() const { return m_failed; }

private:
    std::u16string_view m_text;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

} // namespace

bool ContainsDateTimePattern(std::u16string_view text) {
    static constexpr std::u16string_view kShape = u"0000-00-00 00:00:00";
    if (text.size() < kShape.size())
        return false;
    for (std::size_t start = 0; start + kShape.size() <= text.size(); ++start) {
        bool matches = true;
        for (std::size_t i = 0; i < kShape.size() && matches; ++i) {
            const char16_t c = text[start + i];
            matches = kShape[i] == u'0' ? IsAsciiDigit(c) : c == kShape[i];
        }
        if (matches)
            return true;
    }
    return false;
}

std::int64_t CalendarTicks(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59)
        return 0;
    const std::int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
        kDaysFrom1601To1970;
    const std::int64_t seconds = std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second;
    return days * kTicksPerDay + seconds * kTicksPerSecond;
}

std::int64_t ParseDateTimeText(std::u16string_view text) {
    DateTimeReader reader(text);
    const int year = reader.Integer();
    reader.Separator();
    const int month = reader.Integer();
    reader.Separator();
    const int day = reader.Integer();
    const int hour = reader.Integer();
    reader.Separator();
    const int minute = reader.Integer();
    reader.Separator();
    const int second = reader.Integer();
    if (reader.Failed())
        return 0;
    return CalendarTicks(year, month, day, hour, minute, second);
}
