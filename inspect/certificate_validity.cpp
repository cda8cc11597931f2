#include "inspect/certificate_validity.h"

#include "inspect/light_certificate.h"
#include "inspect/openssl_ptr.h"

#include <openssl/err.h>

#include <ctime>
#include <limits>

namespace {

std::optional<std::chrono::sys_seconds> UtcTimePoint(const ASN1_TIME* time) {
    // ASN1_TIME_to_tm takes a null time to mean now.
    struct tm utc {};
    if (time == nullptr || ASN1_TIME_to_tm(time, &utc) != 1)
        return std::nullopt;
    const std::chrono::year_month_day date{
        std::chrono::year{utc.tm_year + 1900},
        std::chrono::month{static_cast<unsigned>(utc.tm_mon + 1)},
        std::chrono::day{static_cast<unsigned>(utc.tm_mday)}};
    if (!date.ok())
        return std::nullopt;
    return std::chrono::sys_days{date} + std::chrono::hours{utc.tm_hour} +
           std::chrono::minutes{utc.tm_min} + std::chrono::seconds{utc.tm_sec};
}

// Runs `decode` over all of `der`; the object only when it used every byte.
template <typename Certificate, typename Decode>
Certificate DecodeWhole(std::string_view der, Decode decode) {
    Certificate certificate;
    if (der.empty() || der.size() > static_cast<std::size_t>(std::numeric_limits<long>::max()))
        return certificate;
    const auto* cursor = reinterpret_cast<const unsigned char*>(der.data());
    const auto* end = cursor + der.size();
    certificate.reset(decode(&cursor, static_cast<long>(der.size())));
    if (cursor != end)
        certificate.reset();
    return certificate;
}

} // namespace

std::optional<CertificateValidity> ValidityOfTimes(const ASN1_TIME* notBefore,
                                                   const ASN1_TIME* notAfter) noexcept {
    const std::optional<std::chrono::sys_seconds> from = UtcTimePoint(notBefore);
    const std::optional<std::chrono::sys_seconds> to = UtcTimePoint(notAfter);
    if (!from || !to)
        return std::nullopt;
    return CertificateValidity{*from, *to};
}

std::optional<CertificateValidity> DecodeCertificateValidity(std::string_view der) noexcept {
    ERR_set_mark();
    std::optional<CertificateValidity> validity;
    try {
        // The light layout reads what d2i_X509 reads without decoding the key; the complete
        // parser stays the judge of anything it does not take.
        if (const UniqueLightCertificate light =
                DecodeWhole<UniqueLightCertificate>(der, [](const unsigned char** in, long length) {
                    return DecodeLightCertificate(in, length).release();
                })) {
            validity = ValidityOfTimes(light->tbs.validity.notBefore, light->tbs.validity.notAfter);
        } else if (const UniqueX509 full =
                       DecodeWhole<UniqueX509>(der, [](const unsigned char** in, long length) {
                           return d2i_X509(nullptr, in, length);
                       })) {
            validity =
                ValidityOfTimes(X509_get0_notBefore(full.get()), X509_get0_notAfter(full.get()));
        }
    } catch (...) {
        validity.reset();
    }
    ERR_pop_to_mark();
    return validity;
}
