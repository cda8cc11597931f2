#include "catalogue/certificate_expiry.h"

#include "platform/text_codec.h"

#include <cstdio>

namespace {

using std::chrono::days;
using std::chrono::floor;
using std::chrono::seconds;
using std::chrono::system_clock;

// Whole days in `span`, with its unit: "less than a day", "1 day", "N days".
std::u16string DaysText(system_clock::duration span) {
    const long long count = floor<days>(span).count();
    if (count < 1)
        return u"less than a day";
    if (count == 1)
        return u"1 day";
    return Utf8ToUtf16(std::to_string(count)) + u" days";
}

std::u16string DateTimeText(std::chrono::sys_seconds time, seconds utcOffset) {
    const std::chrono::local_seconds local{time.time_since_epoch() + utcOffset};
    const std::chrono::local_days day = floor<days>(local);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss clock{local - day};
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02d:%02d:%02d", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()));
    return Utf8ToUtf16(buffer);
}

} // namespace

ExpiryState ExpiryStateAt(const CertificateValidity& validity, system_clock::time_point now) {
    const std::chrono::sys_seconds second = floor<seconds>(now);
    if (second < validity.notBefore)
        return ExpiryState::NotYetValid;
    if (second > validity.notAfter)
        return ExpiryState::Expired;
    if (validity.notAfter - now <= kExpiryWarning)
        return ExpiryState::ExpiringSoon;
    return ExpiryState::Valid;
}

std::u16string ExpiryText(const CertificateValidity& validity, system_clock::time_point now,
                          seconds utcOffset) {
    switch (ExpiryStateAt(validity, now)) {
    case ExpiryState::NotYetValid:
        return u"Not yet valid: valid from " + DateTimeText(validity.notBefore, utcOffset);
    case ExpiryState::Expired:
        return u"Expired " + DaysText(now - validity.notAfter) + u" ago";
    case ExpiryState::ExpiringSoon:
    case ExpiryState::Valid:
        break;
    }
    return u"Expires in " + DaysText(validity.notAfter - now);
}
