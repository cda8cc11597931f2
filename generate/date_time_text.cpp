#include "generate/date_time_text.h"

#include "generate/wide_integer.h"

#include <chrono>

namespace {

constexpr std::int64_t kDaysFrom1601To1970 = 134'774;

bool IsAsciiDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Reads the text front to back the way a wide string stream reads ints and single characters.
// After the first failed read every further read fails too.
class DateTimeReader {
public:
    explicit DateTimeReader(std::u16string_view text) : m_text(text) {}

    // A decimal number as wcstol reads it; one beyond the 32-bit range fails.
    int Integer() {
        if (m_failed)
            return 0;
        const WideIntegerReading reading = ReadWideInteger(m_text.substr(m_pos), 10);
        if (reading.end == 0 || reading.outOfRange) {
            m_failed = true;
            return 0;
        }
        m_pos += reading.end;
        return reading.value;
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
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return 0;
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok())
        return 0;
    const std::int64_t days =
        std::chrono::sys_days(date).time_since_epoch().count() + kDaysFrom1601To1970;
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
