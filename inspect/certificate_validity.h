// The validity period of a certificate, read apart from its property list: the list may end early
// (an "Error" entry where the alternative names are missing) while the period is still known.
#pragma once

#include <openssl/types.h>

#include <chrono>
#include <optional>
#include <string_view>

struct CertificateValidity {
    std::chrono::sys_seconds notBefore; // UTC
    std::chrono::sys_seconds notAfter;  // UTC, the last second of the period

    friend bool operator==(const CertificateValidity&, const CertificateValidity&) = default;
};

// The period of the one DER certificate that `der` holds in full (the bytes the decoder accepts
// as a certificate); nothing for any other bytes, or when a time cannot be converted.
std::optional<CertificateValidity> DecodeCertificateValidity(std::string_view der) noexcept;

// The period from `notBefore` to `notAfter` of a decoded certificate; nothing when either time is
// missing or cannot be converted.
std::optional<CertificateValidity> ValidityOfTimes(const ASN1_TIME* notBefore,
                                                   const ASN1_TIME* notAfter) noexcept;
