#include "inspect/certificate_decoder.h"

#include "inspect/certificate_validity.h"
#include "inspect/light_certificate.h"
#include "inspect/openssl_ptr.h"
#include "platform/text_codec.h"
#include "platform/trace.h"
#include "platform/unique_fd.h"

#include <openssl/err.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <limits>
#include <new>
#include <optional>

namespace {

constexpr std::u16string_view kErrorName = u"Error";

struct SignatureAlgorithmRow {
    std::string_view oid;
    std::u16string_view text;
};

// Looked up top to bottom by exact comparison of the dotted identifier.
constexpr SignatureAlgorithmRow kSignatureAlgorithms[] = {
    {"1.2.840.113549.1.1.1", u"RSA"},        {"1.2.840.113549.1.1.2", u"MD2RSA"},
    {"1.2.840.113549.1.1.3", u"MD4RSA"},     {"1.2.840.113549.1.1.4", u"MD5RSA"},
    {"1.2.840.113549.1.1.5", u"SHA1RSA"},    {"1.2.840.113549.1.1.6", u"SETOAEPRSA"},
    {"1.2.840.113549.1.1.7", u"RSAES OAEP"}, {"1.2.840.113549.1.1.8", u"MGF1"},
    {"1.2.840.113549.1.1.9", u"PSPECIFIED"}, {"1.2.840.113549.1.1.10", u"SSA PSS"},
    {"1.2.840.113549.1.1.11", u"SHA256RSA"}, {"1.2.840.113549.1.1.12", u"SHA384RSA"},
    {"1.2.840.113549.1.1.13", u"SHA512RSA"},
};

struct NameAttributeRow {
    std::string_view oid;
    std::u16string_view name;
};

// The issuer attributes that are shown; every other attribute is passed over.
constexpr NameAttributeRow kNameAttributes[] = {
    {"2.5.4.3", u"Common Name"},
    {"2.5.4.6", u"Country Name"},
    {"2.5.4.8", u"State or Province Name"},
    {"2.5.4.7", u"Locality Name"},
    {"2.5.4.10", u"Organization Name"},
    {"2.5.4.11", u"Organizational Unit"},
    {"1.2.840.113549.1.9.1", u"E-mail Address"},
};

void Append(CertPropertyList& list, std::u16string_view name, std::u16string value) {
    list.push_back(CertProperty{std::u16string(name), std::move(value)});
}

void AppendError(CertPropertyList& list, std::u16string_view message) {
    Append(list, kErrorName, std::u16string(message));
}

// True while `list` (which starts with "Signature Algorithm") has room for one more name entry;
// otherwise ends it with an Error entry.
bool RoomForName(CertPropertyList& list) {
    if (list.size() <= kMaxListedNames)
        return true;
    AppendError(list, u"The certificate has too many names to list.");
    return false;
}

// A one-entry failure list. Used where nothing else has been gathered; if even that entry cannot
// be allocated there is nothing left to report.
CertPropertyList ErrorList(std::u16string_view message) noexcept {
    try {
        CertPropertyList list;
        AppendError(list, message);
        return list;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

// A reading buffer larger than this is freed after use rather than kept for the next file.
constexpr std::size_t kKeptBufferSize = 64 * 1024;

// Reads the whole regular file at `path` into `bytes`. Returns the failure message, if any.
std::optional<std::u16string_view> ReadWholeFile(const std::filesystem::path& path,
                                                 std::string& bytes) {
    // O_NONBLOCK keeps a FIFO or a device from blocking the open; it is no certificate anyway.
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0)
        return u"Failed to open file.";

    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        return u"Failed to get file size.";
    if (!S_ISREG(status.st_mode))
        return u"Failed to open file.";
    if (status.st_size < 0)
        return u"Failed to get file size.";
    if (static_cast<std::uintmax_t>(status.st_size) > kMaxCertificateFileSize)
        return u"The file is too large to be a certificate.";

    const auto size = static_cast<std::size_t>(status.st_size);
    try {
        bytes.assign(size, '\0');
    } catch (const std::bad_alloc&) {
        return u"Failed to read file.";
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(file.get(), bytes.data() + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return u"Failed to read file.";
        }
        if (n == 0)
            return u"Failed to read file."; // the file is shorter than its size said
        done += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

// The dotted text of an object identifier, however long it is. Empty when it has none.
std::string DottedText(const ASN1_OBJECT* object) {
    if (object == nullptr)
        return {};
    const int length = OBJ_obj2txt(nullptr, 0, object, 1);
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int written = OBJ_obj2txt(text.data(), length + 1, object, 1);
    if (written <= 0)
        return {};
    text.resize(std::min(static_cast<std::size_t>(written), static_cast<std::size_t>(length)));
    return text;
}

// The content bytes of an identifier's DER encoding. DER allows one encoding per identifier, and
// OpenSSL refuses any other when it decodes one, so equal bytes mean equal dotted texts.
std::string_view EncodedContent(const ASN1_OBJECT* object) {
    const unsigned char* data = object != nullptr ? OBJ_get0_data(object) : nullptr;
    if (data == nullptr)
        return {};
    return {reinterpret_cast<const char*>(data), OBJ_length(object)};
}

// The encodings of the dotted identifiers of `rows`, in the same order, made once.
template <typename Row, std::size_t Count>
const std::array<std::string, Count>& EncodingsOf(const Row (&rows)[Count]) {
    static const std::array<std::string, Count> encodings = [&rows] {
        std::array<std::string, Count> made;
        for (std::size_t i = 0; i < Count; ++i) {
            const UniqueAsn1Object object(OBJ_txt2obj(std::string(rows[i].oid).c_str(), 1));
            made[i] = std::string(EncodedContent(object.get()));
        }
        return made;
    }();
    return encodings;
}

// The index of the row whose identifier `object` is, or Count.
template <typename Row, std::size_t Count>
std::size_t FindIdentifier(const ASN1_OBJECT* object, const Row (&rows)[Count]) {
    const std::string_view content = EncodedContent(object);
    const std::array<std::string, Count>& encodings = EncodingsOf(rows);
    for (std::size_t i = 0; i < Count; ++i) {
        if (!content.empty() && encodings[i] == content)
            return i;
    }
    return Count;
}

std::u16string AsciiText(std::string_view text) {
    return Utf8ToUtf16(text);
}

std::string_view Bytes(const ASN1_STRING* string) {
    const unsigned char* data = ASN1_STRING_get0_data(string);
    const int length = ASN1_STRING_length(string);
    if (data == nullptr || length <= 0)
        return {};
    return {reinterpret_cast<const char*>(data), static_cast<std::size_t>(length)};
}

// What the list is made from, taken from whichever decoding of the certificate was used.
struct CertificateFields {
    const X509_ALGOR* tbsSignature = nullptr; // the identifier inside the to-be-signed part
    const STACK_OF(X509_EXTENSION) * extensions = nullptr;
    const X509_NAME* issuer = nullptr;
    const ASN1_TIME* notBefore = nullptr;
    const ASN1_TIME* notAfter = nullptr;
    int keyBits = 0;
    std::optional<long> utcOffset; // what the dates are converted with
};

std::u16string SignatureAlgorithmText(const X509_ALGOR* algorithm) {
    const ASN1_OBJECT* object = nullptr;
    X509_ALGOR_get0(&object, nullptr, nullptr, algorithm);
    const std::size_t row = FindIdentifier(object, kSignatureAlgorithms);
    if (row < std::size(kSignatureAlgorithms))
        return std::u16string(kSignatureAlgorithms[row].text);
    return u"OID=" + AsciiText(DottedText(object)) + u" , ";
}

// The text of a name attribute's value, converted by its ASN.1 string type and cut at the first
// U+0000.
std::u16string AttributeValueText(const ASN1_STRING* value) {
    const std::string_view bytes = Bytes(value);
    std::u16string text;
    switch (ASN1_STRING_type(value)) {
    case V_ASN1_BMPSTRING:
        text = Utf16BeToUtf16(bytes);
        break;
    case V_ASN1_UNIVERSALSTRING:
        text = Ucs4BeToUtf16(bytes);
        break;
    case V_ASN1_T61STRING:
        text = Latin1ToUtf16(bytes);
        break;
    default: // UTF8String, and the 8-bit types whose bytes are ASCII when well formed
        text = Utf8ToUtf16(bytes);
        break;
    }
    return std::u16string(CutAtNul(text));
}

// Appends the URL and IPv4 alternative names. Returns false when the list must end here.
bool AppendAlternativeNames(const STACK_OF(X509_EXTENSION) * extensions, CertPropertyList& list) {
    // The first extension with this identifier counts; a later duplicate is never looked at.
    const int index = X509v3_get_ext_by_NID(extensions, NID_subject_alt_name, -1);
    if (index < 0) {
        AppendError(list, u"The certificate has no subject alternative name extension.");
        return false;
    }
    const ASN1_OCTET_STRING* data = X509_EXTENSION_get_data(X509v3_get_ext(extensions, index));
    const std::string_view encoded = data != nullptr ? Bytes(data) : std::string_view();
    const auto* cursor = reinterpret_cast<const unsigned char*>(encoded.data());
    const auto* end = cursor + encoded.size();
    UniqueGeneralNames names;
    if (cursor != nullptr)
        names.reset(d2i_GENERAL_NAMES(nullptr, &cursor, static_cast<long>(encoded.size())));
    if (!names || cursor != end) {
        AppendError(list, u"Failed to decode the subject alternative name extension.");
        return false;
    }

    const int count = sk_GENERAL_NAME_num(names.get());
    for (int i = 0; i < count; ++i) {
        const GENERAL_NAME* entry = sk_GENERAL_NAME_value(names.get(), i);
        if (entry == nullptr)
            continue;
        if (entry->type == GEN_URI) {
            if (!RoomForName(list))
                return false;
            std::u16string text(CutAtNul(Utf8ToUtf16(Bytes(entry->d.uniformResourceIdentifier))));
            if (TraceEnabled())
                Trace(text);
            Append(list, u"Alternative Name(URL)", std::move(text));
        } else if (entry->type == GEN_IPADD) {
            const std::string_view address = Bytes(entry->d.iPAddress);
            if (address.size() != 4)
                continue;
            if (!RoomForName(list))
                return false;
            char buffer[16];
            std::snprintf(
                buffer, sizeof buffer, "%d.%d.%d.%d", static_cast<unsigned char>(address[0]),
                static_cast<unsigned char>(address[1]), static_cast<unsigned char>(address[2]),
                static_cast<unsigned char>(address[3]));
            std::u16string text = AsciiText(buffer);
            if (TraceEnabled())
                Trace(text);
            Append(list, u"Alternative Name(IP Address)", std::move(text));
        }
    }
    return true;
}

// Appends the recognised attributes of the issuer name. Returns false when the list must end.
bool AppendIssuerAttributes(const X509_NAME* issuer, CertPropertyList& list) {
    if (issuer == nullptr) {
        std::cerr << "Failed to decode issuer." << std::endl;
        return false;
    }
    const int count = X509_NAME_entry_count(issuer);
    for (int i = 0; i < count; ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(issuer, i);
        if (entry == nullptr)
            continue;
        const ASN1_OBJECT* object = X509_NAME_ENTRY_get_object(entry);
        if (TraceEnabled()) {
            TraceAscii(DottedText(object));
            TraceAscii(":");
        }
        if (const std::size_t row = FindIdentifier(object, kNameAttributes);
            row < std::size(kNameAttributes)) {
            if (!RoomForName(list))
                return false;
            const ASN1_STRING* value = X509_NAME_ENTRY_get_data(entry);
            std::u16string text = value != nullptr ? AttributeValueText(value) : std::u16string();
            if (TraceEnabled())
                Trace(text);
            Append(list, kNameAttributes[row].name, std::move(text));
        }
        if (TraceEnabled())
            TraceAscii("\r\n");
    }
    return true;
}

// The size that the complete parser's decoded key has; 0 when the key did not decode.
int KeyBits(const X509* certificate) {
    const EVP_PKEY* key = X509_get0_pubkey(certificate);
    const int bits = key != nullptr ? EVP_PKEY_bits(key) : 0;
    return bits < 0 ? 0 : bits;
}

std::u16string KeySizeText(int bits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d", bits);
    return AsciiText(buffer);
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
constexpr std::int64_t DaysFromCivil(int year, int month, int day) {
    using namespace std::chrono;
    return sys_days(std::chrono::year(year) / static_cast<unsigned>(month) /
                    static_cast<unsigned>(day))
        .time_since_epoch()
        .count();
}

struct CivilTime {
    std::int64_t year;
    int month, day, hour, minute, second;
};

// Seconds since 1970-01-01 UTC as a calendar date and time of day.
CivilTime CivilFromSeconds(std::int64_t seconds) {
    using namespace std::chrono;
    const sys_seconds time{std::chrono::seconds(seconds)};
    const sys_days date = floor<days>(time);
    const year_month_day ymd(date);
    const hh_mm_ss<std::chrono::seconds> clock(time - date);
    return {int{ymd.year()},
            static_cast<int>(unsigned{ymd.month()}),
            static_cast<int>(unsigned{ymd.day()}),
            static_cast<int>(clock.hours().count()),
            static_cast<int>(clock.minutes().count()),
            static_cast<int>(clock.seconds().count())};
}

// Times before this (seconds since 1970-01-01 UTC) do not fit the tool's tick scale.
constexpr std::int64_t kEarliestSeconds = DaysFromCivil(1601, 1, 1) * 86400;

// A certificate time as local date-time text, or nothing when it cannot be converted.
std::optional<std::u16string> LocalTimeText(const ASN1_TIME* time, std::optional<long> utcOffset) {
    // ASN1_TIME_to_tm takes a null time to mean now.
    if (time == nullptr || !utcOffset)
        return std::nullopt;
    struct tm utc {};
    if (ASN1_TIME_to_tm(time, &utc) != 1)
        return std::nullopt;
    const std::int64_t utcSeconds =
        DaysFromCivil(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday) * 86400 +
        std::int64_t{utc.tm_hour} * 3600 + std::int64_t{utc.tm_min} * 60 + utc.tm_sec;
    const std::int64_t localSeconds = utcSeconds + *utcOffset;
    if (utcSeconds < kEarliestSeconds || localSeconds < kEarliestSeconds)
        return std::nullopt;
    const CivilTime local = CivilFromSeconds(localSeconds);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02d %02d:%02d:%02d",
                  static_cast<long long>(local.year), local.month, local.day, local.hour,
                  local.minute, local.second);
    return AsciiText(buffer);
}

void AppendProperties(const CertificateFields& fields, CertPropertyList& list) {
    // A certificate has a dozen fields or so: one allocation for them.
    list.reserve(16);
    Append(list, u"Signature Algorithm", SignatureAlgorithmText(fields.tbsSignature));
    if (!AppendAlternativeNames(fields.extensions, list))
        return;
    if (!AppendIssuerAttributes(fields.issuer, list))
        return;
    Append(list, u"Key Size", KeySizeText(fields.keyBits));

    std::optional<std::u16string> from = LocalTimeText(fields.notBefore, fields.utcOffset);
    if (!from) {
        std::cerr << "Failed to convert start time." << std::endl;
        return;
    }
    Append(list, u"Valid Date From", std::move(*from));
    std::optional<std::u16string> to = LocalTimeText(fields.notAfter, fields.utcOffset);
    if (!to) {
        std::cerr << "Failed to convert end time." << std::endl;
        return;
    }
    Append(list, u"Valid Date To", std::move(*to));
}

// The one certificate that `der` must hold in full (bytes after it mean the file is something
// else), or nothing.
template <typename Certificate, typename Decode>
Certificate DecodeWhole(std::string_view der, Decode decode) {
    const auto* cursor = reinterpret_cast<const unsigned char*>(der.data());
    const auto* end = cursor + der.size();
    Certificate certificate;
    if (cursor != nullptr && !der.empty() &&
        der.size() <= static_cast<std::size_t>(std::numeric_limits<long>::max()))
        certificate.reset(decode(&cursor, static_cast<long>(der.size())));
    if (cursor != end)
        certificate.reset();
    return certificate;
}

// Fills `list` through the complete parser, and `validity`, when given, with the period of the
// certificate it decoded.
void DecodeInto(std::string_view der, CertPropertyList& list,
                std::optional<CertificateValidity>* validity, std::optional<long> utcOffset) {
    const UniqueX509 certificate = DecodeWhole<UniqueX509>(
        der, [](const unsigned char** in, long length) { return d2i_X509(nullptr, in, length); });
    if (!certificate) {
        AppendError(list, u"Failed to create certificate context.");
        return;
    }
    if (validity != nullptr)
        *validity = ValidityOfTimes(X509_get0_notBefore(certificate.get()),
                                    X509_get0_notAfter(certificate.get()));
    AppendProperties(
        CertificateFields{
            X509_get0_tbs_sigalg(certificate.get()), X509_get0_extensions(certificate.get()),
            X509_get_issuer_name(certificate.get()), X509_get0_notBefore(certificate.get()),
            X509_get0_notAfter(certificate.get()), KeyBits(certificate.get()), utcOffset},
        list);
}

CertPropertyList DecodeFully(std::string_view der, std::optional<CertificateValidity>* validity,
                             std::optional<long> utcOffset) {
    CertPropertyList list;
    try {
        DecodeInto(der, list, validity, utcOffset);
    } catch (const std::bad_alloc&) {
        // Keep what was gathered; a list must never come back empty.
        if (list.empty())
            return ErrorList(u"Failed to create certificate context.");
    }
    return list;
}

UniqueLightCertificate DecodeLight(std::string_view der) {
    return DecodeWhole<UniqueLightCertificate>(der, [](const unsigned char** in, long length) {
        return DecodeLightCertificate(in, length).release();
    });
}

// The list of a certificate that the light decoder read in full, when it knows the size of its
// key; nothing otherwise, and then nothing has been written to the trace or the list.
std::optional<CertPropertyList> ListOfLight(const LightCertificate& certificate,
                                            std::optional<long> utcOffset) {
    const LightTbsCertificate& tbs = certificate.tbs;
    const std::optional<int> keyBits =
        tbs.publicKey != nullptr ? LightPublicKeyBits(*tbs.publicKey) : std::nullopt;
    if (!keyBits)
        return std::nullopt;

    CertPropertyList list;
    try {
        AppendProperties(CertificateFields{&tbs.signature, tbs.extensions, tbs.issuer,
                                           tbs.validity.notBefore, tbs.validity.notAfter, *keyBits,
                                           utcOffset},
                         list);
    } catch (const std::bad_alloc&) {
        // As the complete path does: keep what was gathered, never an empty list.
        if (list.empty())
            return ErrorList(u"Failed to create certificate context.");
    }
    return list;
}

// The list of `der` from one decoding, and the certificate's period when `validity` is given:
// the light decoder first, the complete parser for whatever the light one cannot list exactly.
// Each keeps the error queue as it found it; one scope for both could let the queue's ring
// overwrite its mark.
CertPropertyList Decode(std::string_view der, std::optional<CertificateValidity>* validity,
                        std::optional<long> utcOffset) {
    bool periodRead = false;
    {
        const OpenSslErrorScope errors;
        if (const UniqueLightCertificate light = DecodeLight(der)) {
            if (validity != nullptr)
                *validity =
                    ValidityOfTimes(light->tbs.validity.notBefore, light->tbs.validity.notAfter);
            periodRead = true;
            if (std::optional<CertPropertyList> list = ListOfLight(*light, utcOffset))
                return std::move(*list);
        }
    }
    const OpenSslErrorScope errors;
    return DecodeFully(der, periodRead ? nullptr : validity, utcOffset);
}

} // namespace

std::optional<long> CurrentUtcOffset() {
    ::tzset();
    const std::time_t now = std::time(nullptr);
    struct tm local {};
    if (now == static_cast<std::time_t>(-1) || ::localtime_r(&now, &local) == nullptr)
        return std::nullopt;
    return local.tm_gmtoff;
}

namespace {

CertPropertyList ReadAndDecode(const std::filesystem::path& path,
                               std::optional<CertificateValidity>* validity,
                               std::optional<long> utcOffset) {
    if (validity != nullptr)
        validity->reset();
    // One buffer per thread serves every file it reads; a large one is given back afterwards.
    thread_local std::string bytes;
    struct GiveBackLarge {
        ~GiveBackLarge() {
            if (bytes.capacity() > kKeptBufferSize)
                std::string().swap(bytes);
        }
    } giveBack;
    std::optional<std::u16string_view> failure;
    try {
        failure = ReadWholeFile(path, bytes);
    } catch (const std::bad_alloc&) {
        failure = u"Failed to read file.";
    }
    if (failure)
        return ErrorList(*failure);
    return Decode(bytes, validity, utcOffset);
}

} // namespace

CertPropertyList ReadCertificateProperties(const std::filesystem::path& path) {
    return ReadAndDecode(path, nullptr, CurrentUtcOffset());
}

CertPropertyList ReadCertificateProperties(const std::filesystem::path& path,
                                           std::optional<CertificateValidity>& validity,
                                           std::optional<long> utcOffset) {
    return ReadAndDecode(path, &validity, utcOffset);
}

CertPropertyList DecodeCertificateProperties(std::string_view der) {
    return Decode(der, nullptr, CurrentUtcOffset());
}

std::optional<CertPropertyList> DecodeCertificatePropertiesLightly(std::string_view der) noexcept {
    const OpenSslErrorScope errors;
    const UniqueLightCertificate light = DecodeLight(der);
    if (!light)
        return std::nullopt;
    return ListOfLight(*light, CurrentUtcOffset());
}

CertPropertyList DecodeCertificatePropertiesFully(std::string_view der) {
    const OpenSslErrorScope errors;
    return DecodeFully(der, nullptr, CurrentUtcOffset());
}
