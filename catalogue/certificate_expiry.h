// Where a certificate stands in its validity period at a given moment, and how that reads in
// whole days.
#pragma once

#include "inspect/certificate_validity.h"

#include <chrono>
#include <string>

enum class ExpiryState {
    Valid,        // valid, and for more than kExpiryWarning yet
    ExpiringSoon, // valid, and expires within kExpiryWarning
    Expired,      // past the last second of the period
    NotYetValid,  // before the first second of the period
};

inline constexpr std::chrono::days kExpiryWarning{30};

ExpiryState ExpiryStateAt(const CertificateValidity& validity,
                          std::chrono::system_clock::time_point now);

// "Expires in N days", "Expired N days ago" (N counts the whole days between now and notAfter,
// "less than a day" below one) or
// "Not yet valid: valid from YYYY-MM-DD hh:mm:ss", the date shifted by `utcOffset` as the list's
// date columns are.
std::u16string ExpiryText(const CertificateValidity& validity,
                          std::chrono::system_clock::time_point now,
                          std::chrono::seconds utcOffset);
