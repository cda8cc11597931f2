#include "catalogue/certificate_expiry.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

// 2026-03-10 12:00:00 UTC to 2026-06-10 12:00:00 UTC.
const CertificateValidity kPeriod{sys_days{2026y / March / 10} + 12h,
                                  sys_days{2026y / June / 10} + 12h};

TEST(CertificateExpiryTest, StateFollowsTheClockAcrossEveryBoundary) {
    struct Case {
        const char* what;
        system_clock::time_point now;
        ExpiryState state;
    } cases[] = {
        {"a second before the start", kPeriod.notBefore - 1s, ExpiryState::NotYetValid},
        {"half a second before the start", kPeriod.notBefore - 500ms, ExpiryState::NotYetValid},
        {"the first second", kPeriod.notBefore, ExpiryState::Valid},
        {"31 days before the end", kPeriod.notAfter - days{31}, ExpiryState::Valid},
        {"30 days and a second before the end", kPeriod.notAfter - days{30} - 1s,
         ExpiryState::Valid},
        {"30 days before the end", kPeriod.notAfter - days{30}, ExpiryState::ExpiringSoon},
        {"the last second", kPeriod.notAfter, ExpiryState::ExpiringSoon},
        {"within the last second", kPeriod.notAfter + 999ms, ExpiryState::ExpiringSoon},
        {"after the last second", kPeriod.notAfter + 1s, ExpiryState::Expired},
        {"years later", kPeriod.notAfter + years{3}, ExpiryState::Expired},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpiryStateAt(kPeriod, c.now), c.state) << c.what;
}

TEST(CertificateExpiryTest, TextCountsWholeDays) {
    const seconds tokyo = 9h;
    // Days are counted to and from notAfter itself.
    const system_clock::time_point end = kPeriod.notAfter;
    struct Case {
        system_clock::time_point now;
        seconds offset;
        std::u16string text;
    } cases[] = {
        {end - days{80}, 0s, u"Expires in 80 days"},
        {end - days{10}, 0s, u"Expires in 10 days"},
        {end - days{10} + 1s, 0s, u"Expires in 9 days"},
        {end - days{2} + 1h, 0s, u"Expires in 1 day"},
        {end - days{1}, 0s, u"Expires in 1 day"},
        {end - days{1} + 1s, 0s, u"Expires in less than a day"},
        {end - 1ms, 0s, u"Expires in less than a day"},
        {end, 0s, u"Expires in less than a day"},
        {end + 1s, 0s, u"Expired less than a day ago"},
        {end + days{1} - 1s, 0s, u"Expired less than a day ago"},
        {end + days{1}, 0s, u"Expired 1 day ago"},
        {end + days{45} + 5h, 0s, u"Expired 45 days ago"},
        {kPeriod.notBefore - 1s, 0s, u"Not yet valid: valid from 2026-03-10 12:00:00"},
        {kPeriod.notBefore - days{400}, tokyo, u"Not yet valid: valid from 2026-03-10 21:00:00"},
        {kPeriod.notBefore - days{1}, -15h, u"Not yet valid: valid from 2026-03-09 21:00:00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpiryText(kPeriod, c.now, c.offset), c.text)
            << (c.now - kPeriod.notAfter).count();
}

} // namespace
