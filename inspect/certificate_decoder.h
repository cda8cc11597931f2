// Decodes one DER certificate file into named text fields.
#pragma once

#include "inspect/certificate_validity.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CertProperty {
    std::u16string name;
    std::u16string value;

    friend bool operator==(const CertProperty&, const CertProperty&) = default;
};

using CertPropertyList = std::vector<CertProperty>;

// Files larger than this are not read: no certificate comes near it.
inline constexpr std::size_t kMaxCertificateFileSize = 4 * 1024 * 1024;

// A list holds at most this many alternative-name and issuer-attribute entries together. A
// certificate with more (real ones have a handful) lists the first ones and then an "Error"
// entry that ends its list, so that no file makes a list of more than a few hundred KiB plus
// its own text: a 1 MiB issuer of 85,000 short attributes would otherwise take over 10 MiB.
inline constexpr std::size_t kMaxListedNames = 2048;

// The fields of the certificate in the file at `path`, in a fixed order: "Signature Algorithm",
// the URL and IPv4 alternative names, the issuer's name attributes, "Key Size", "Valid Date
// From", "Valid Date To". A failure ends the list early, usually with an entry named "Error".
// Never throws and never returns an empty list.
CertPropertyList ReadCertificateProperties(const std::filesystem::path& path);

// The same with the dates converted with `utcOffset` (as CurrentUtcOffset gives it; nothing makes
// them fail to convert), and `validity` receives the certificate's validity period from the same
// decoding: also where the list ends early (an "Error" entry where the alternative names are
// missing), and nothing when the file holds no certificate.
CertPropertyList ReadCertificateProperties(const std::filesystem::path& path,
                                           std::optional<CertificateValidity>& validity,
                                           std::optional<long> utcOffset);

// The same for certificate bytes already in memory (the file-reading steps are skipped).
CertPropertyList DecodeCertificateProperties(std::string_view der);

// The same fields through OpenSSL's complete certificate parser (d2i_X509), which also decodes the
// public key. DecodeCertificateProperties gives exactly this list for any input.
CertPropertyList DecodeCertificatePropertiesFully(std::string_view der);

// The offset of local time from UTC in force now, in seconds (daylight saving included), with
// which the validity times are converted; nothing when it cannot be read. The decoded texts
// depend on the time zone only through this value.
std::optional<long> CurrentUtcOffset();

// The list through the light decoder alone (OpenSSL's certificate layout, with the key sized from
// its bytes), for the certificates whose list it can give exactly as
// DecodeCertificatePropertiesFully would: nothing for any other input, and then nothing has been
// traced. DecodeCertificateProperties uses this first and falls back to the full decoder.
std::optional<CertPropertyList> DecodeCertificatePropertiesLightly(std::string_view der) noexcept;
