// The light decoder against the complete one. For every certificate shape the decoder tests build,
// for hostile public keys, for the system's CA certificates and for damaged bytes, the list, the
// trace pieces and the standard error text must be the same either way, and the OpenSSL error
// queue must be left as it was.
#include "inspect/certificate_decoder.h"
#include "inspect/openssl_ptr.h"

#include "platform/text_codec.h"
#include "support/cert_builder.h"
#include "support/der_bytes.h"
#include "support/time_zone_override.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/pem.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace std::string_literals;

// Readable failure messages (internal to this file, found next to CertProperty).
static void PrintTo(const CertProperty& property, std::ostream* out) {
    *out << '(' << Utf16ToUtf8(property.name) << ", \"" << Utf16ToUtf8(property.value) << "\")";
}

namespace {

// What one decoding shows to the outside.
struct Outcome {
    std::optional<CertPropertyList> list;
    std::vector<std::u16string> trace;
    std::string standardError;
    bool errorQueueKept = false;

    friend bool operator==(const Outcome&, const Outcome&) = default;
};

void PrintTo(const Outcome& outcome, std::ostream* out) {
    if (!outcome.list) {
        *out << "no list";
    } else {
        *out << "list:";
        for (const CertProperty& property : *outcome.list) {
            *out << ' ';
            PrintTo(property, out);
        }
    }
    *out << "; trace:";
    for (const std::u16string& piece : outcome.trace)
        *out << " [" << Utf16ToUtf8(piece) << ']';
    *out << "; stderr: \"" << outcome.standardError << "\"; error queue "
         << (outcome.errorQueueKept ? "kept" : "changed");
}

constexpr int kSentinelReason = 77;

// Collects the trace and std::cerr while it lives, over an error queue that holds one sentinel.
class Observation {
public:
    Observation() {
        ERR_clear_error();
        ERR_raise(ERR_LIB_USER, kSentinelReason);
    }
    ~Observation() { ERR_clear_error(); }
    Observation(const Observation&) = delete;
    Observation& operator=(const Observation&) = delete;

    Outcome Finish(std::optional<CertPropertyList> list) {
        const unsigned long first = ERR_get_error();
        const bool kept = ERR_GET_LIB(first) == ERR_LIB_USER &&
                          ERR_GET_REASON(first) == kSentinelReason && ERR_get_error() == 0;
        return Outcome{std::move(list), m_trace.TakePieces(), m_errors.text(), kept};
    }

private:
    CerrCapture m_errors;
    TraceCapture m_trace;
};

template <typename Decode> Outcome Observe(Decode decode) {
    Observation observation;
    std::optional<CertPropertyList> list = decode();
    return observation.Finish(std::move(list));
}

// Decodes `der` the complete way, the normal way and the light way alone.
::testing::AssertionResult SameAsFullDecoder(const std::string& der) {
    const Outcome full = Observe([&] { return DecodeCertificatePropertiesFully(der); });
    const Outcome normal = Observe([&] { return DecodeCertificateProperties(der); });
    const Outcome light = Observe([&] { return DecodeCertificatePropertiesLightly(der); });
    if (!full.errorQueueKept)
        return ::testing::AssertionFailure() << "full decoder: " << ::testing::PrintToString(full);
    if (normal != full)
        return ::testing::AssertionFailure() << "\n  normal: " << ::testing::PrintToString(normal)
                                             << "\n  full:   " << ::testing::PrintToString(full);
    // The light decoder either gives all of it or shows nothing at all.
    const Outcome declined{std::nullopt, {}, {}, true};
    if (light != full && light != declined)
        return ::testing::AssertionFailure() << "\n  light: " << ::testing::PrintToString(light)
                                             << "\n  full:  " << ::testing::PrintToString(full);
    return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------------------------
// Building blocks for hostile keys.

const std::string kRsaEncryption = "1.2.840.113549.1.1.1";
const std::string kEcPublicKey = "1.2.840.10045.2.1";
const std::string kP256 = "1.2.840.10045.3.1.7";
const std::string kP384 = "1.3.132.0.34";
const std::string kP521 = "1.3.132.0.35";

std::string Integer(const std::string& content) {
    return Tlv(0x02, content);
}

// Magnitude bytes of `bits` bits: top bit set, odd, otherwise arbitrary.
std::string Magnitude(int bits) {
    std::string bytes(static_cast<std::size_t>((bits + 7) / 8), '\x5A');
    const int top = 1 << ((bits + 7) % 8);
    bytes.front() = static_cast<char>(top | (0x5A & (top - 1)));
    bytes.back() = static_cast<char>(bytes.back() | 1);
    return bytes;
}

// The INTEGER contents of a positive value in minimal form.
std::string PositiveContents(const std::string& magnitude) {
    return (static_cast<unsigned char>(magnitude.front()) & 0x80) != 0 ? '\0' + magnitude
                                                                       : magnitude;
}

const std::string kExponent = Integer("\x01\x00\x01"s);

std::string RsaKey(const std::string& modulusContents, const std::string& exponent = kExponent) {
    return Tlv(0x30, Integer(modulusContents) + exponent);
}

std::string RsaKeyOfBits(int bits) {
    return RsaKey(PositiveContents(Magnitude(bits)));
}

// A subject public key given by its parts: the algorithm, its parameters (absent, NULL, an
// object identifier, or a whole DER SEQUENCE) and the bit string with its count of unused bits.
struct KeyParameters {
    int type = V_ASN1_NULL;
    std::string value; // the dotted identifier, or the SEQUENCE's encoding
};

UniqueAsn1Object Object(const std::string& oid) {
    UniqueAsn1Object object(OBJ_txt2obj(oid.c_str(), 1));
    if (!object)
        throw std::runtime_error("bad identifier " + oid);
    return object;
}

std::string WithPublicKey(const std::string& algorithm, const KeyParameters& parameters,
                          const std::string& key, int unusedBits = 0) {
    const UniqueX509 cert = CertBuilder().San({SanEntry::Uri("urn:key")}).Build();
    UniqueAsn1Object object = Object(algorithm);
    void* value = nullptr;
    UniqueAsn1Object curve;
    UniqueAsn1String sequence;
    if (parameters.type == V_ASN1_OBJECT) {
        curve = Object(parameters.value);
        value = curve.get();
    } else if (parameters.type == V_ASN1_SEQUENCE) {
        sequence.reset(ASN1_STRING_type_new(V_ASN1_SEQUENCE));
        if (!sequence || !ASN1_STRING_set(sequence.get(), parameters.value.data(),
                                          static_cast<int>(parameters.value.size())))
            throw std::runtime_error("ASN1_STRING_set");
        value = sequence.get();
    }
    auto* bytes = static_cast<unsigned char*>(OPENSSL_malloc(key.size() + 1));
    if (bytes == nullptr)
        throw std::runtime_error("OPENSSL_malloc");
    std::memcpy(bytes, key.data(), key.size());
    if (!X509_PUBKEY_set0_param(X509_get_X509_PUBKEY(cert.get()), object.get(), parameters.type,
                                value, bytes, static_cast<int>(key.size()))) {
        OPENSSL_free(bytes);
        throw std::runtime_error("X509_PUBKEY_set0_param");
    }
    object.release();
    curve.release();
    sequence.release();
    if (unusedBits != 0) {
        ASN1_BIT_STRING* bits = X509_get0_pubkey_bitstr(cert.get());
        bits->flags = (bits->flags & ~0x07L) | ASN1_STRING_FLAG_BITS_LEFT | unusedBits;
    }
    // Drops the cached encoding of the to-be-signed part so that the new key is written.
    if (i2d_re_X509_tbs(cert.get(), nullptr) <= 0)
        throw std::runtime_error("i2d_re_X509_tbs");
    return CertificateDer(cert.get());
}

KeyParameters Absent() {
    return {V_ASN1_UNDEF, {}};
}
KeyParameters Null() {
    return {V_ASN1_NULL, {}};
}
KeyParameters Curve(std::string oid) {
    return {V_ASN1_OBJECT, std::move(oid)};
}

// The encoded point of the test key on `curve` ("P-256", ...), uncompressed.
std::string PointOf(const std::string& curve) {
    const UniqueX509 cert = CertBuilder().Key(KeyParams::Ec(curve)).Build();
    const ASN1_BIT_STRING* bits = X509_get0_pubkey_bitstr(cert.get());
    return std::string(reinterpret_cast<const char*>(bits->data),
                       static_cast<std::size_t>(bits->length));
}

std::string Compressed(const std::string& point) {
    const std::size_t size = (point.size() - 1) / 2;
    const bool odd = (static_cast<unsigned char>(point.back()) & 1) != 0;
    return (odd ? '\x03' : '\x02') + point.substr(1, size);
}

std::string WithByte(std::string bytes, std::size_t index, char value) {
    bytes.at(index) = value;
    return bytes;
}

std::string ExplicitParameters(int nid) {
    const UniqueEcGroup group(EC_GROUP_new_by_curve_name(nid));
    if (!group)
        throw std::runtime_error("EC_GROUP_new_by_curve_name");
    EC_GROUP_set_asn1_flag(group.get(), OPENSSL_EC_EXPLICIT_CURVE);
    unsigned char* raw = nullptr;
    const int length = i2d_ECPKParameters(group.get(), &raw);
    const UniqueOpenSslBytes owned(raw);
    if (length <= 0)
        throw std::runtime_error("i2d_ECPKParameters");
    return std::string(reinterpret_cast<const char*>(raw), static_cast<std::size_t>(length));
}

std::string EcKey(const KeyParameters& parameters, const std::string& point, int unusedBits = 0) {
    return WithPublicKey(kEcPublicKey, parameters, point, unusedBits);
}

// The builder's certificate with its version field replaced. With a value the field is written
// explicitly even where DER would leave it out.
std::string WithVersion(long version) {
    const UniqueX509 cert = CertBuilder().San({SanEntry::Uri("urn:version")}).Build();
    if (!X509_set_version(cert.get(), version))
        throw std::runtime_error("X509_set_version");
    return CertificateDer(cert.get());
}

std::string WithVersionByte(char value) {
    std::string der = CertBuilder().San({SanEntry::Uri("urn:version")}).BuildDer();
    const std::string field = "\xA0\x03\x02\x01\x02"s;
    const std::size_t at = der.find(field);
    if (at == std::string::npos)
        throw std::runtime_error("no version field");
    der[at + field.size() - 1] = value;
    return der;
}

CertBuilder Basic() {
    return std::move(CertBuilder().San({SanEntry::Uri("urn:quillet:test")}));
}

CertBuilder WithTimes(CertTime from, CertTime to) {
    return std::move(Basic().NotBefore(std::move(from)).NotAfter(std::move(to)));
}

NameList LargeName() {
    NameList name;
    for (int i = 0; i < 300; ++i)
        name.push_back(Attr("2.5.4.11", "unit-" + std::to_string(i)));
    return name;
}

// ---------------------------------------------------------------------------------------------
// Every shape: the same outcome from both decoders.

struct Shape {
    const char* name;
    std::function<std::string()> der;
};

std::ostream& operator<<(std::ostream& out, const Shape& shape) {
    return out << shape.name;
}

std::function<std::string()> Built(std::function<CertBuilder()> builder) {
    return [builder = std::move(builder)] { return builder().BuildDer(); };
}

const Shape kShapes[] = {
    // Keys that OpenSSL makes and the usual certificates around them.
    {"Rsa1024", Built([] { return std::move(Basic().Key(KeyParams::Rsa(1024))); })},
    {"Rsa2048", Built([] { return Basic(); })},
    {"Rsa3072", Built([] { return std::move(Basic().Key(KeyParams::Rsa(3072))); })},
    {"Rsa4096", Built([] { return std::move(Basic().Key(KeyParams::Rsa(4096))); })},
    {"EcP256", Built([] { return std::move(Basic().Key(KeyParams::Ec("P-256"))); })},
    {"EcP384",
     Built([] { return std::move(Basic().Key(KeyParams::Ec("P-384")).Digest("SHA384")); })},
    {"EcP521",
     Built([] { return std::move(Basic().Key(KeyParams::Ec("P-521")).Digest("SHA512")); })},
    {"Ed25519", Built([] { return std::move(Basic().Key(KeyParams::Ed25519()).Digest("")); })},
    {"RsaPssSignature", Built([] { return std::move(Basic().RsaPss()); })},
    {"CaIssuedByEcAuthority", Built([] {
         const CertAuthority ca =
             CertBuilder()
                 .Key(KeyParams::Ec("P-256"))
                 .Subject({Attr("2.5.4.6", "US", V_ASN1_PRINTABLESTRING),
                           Attr("2.5.4.10", "Morvel CA"), Attr("2.5.4.3", "Morvel Root")})
                 .BuildAuthority();
         return std::move(Basic().Subject({Attr("2.5.4.3", "leaf")}).SignedBy(ca));
     })},
    {"CaIssuedByRsaAuthority", Built([] {
         const CertAuthority ca =
             CertBuilder().Subject({Attr("2.5.4.3", "Rsa Root")}).BuildAuthority();
         return std::move(Basic().Key(KeyParams::Ec("P-384")).SignedBy(ca));
     })},
    {"Authority", [] { return CertificateDer(Basic().BuildAuthority().cert.get()); }},
    // Alternative names.
    {"AltNamesOfEveryKind", Built([] {
         return std::move(CertBuilder().San(
             {SanEntry::Uri("https://a.example/x"), SanEntry::Ip("\xC0\xA8\x01\x14"),
              SanEntry::Ip("\x20\x01\x0d\xb8"s + std::string(11, '\0') + "\x01"),
              SanEntry::Dns("host.example"), SanEntry::Email("a@example.jp"),
              SanEntry::RegisteredId("1.2.3.4"), SanEntry::Ip("\x01\x02\x03"), SanEntry::Ip(""),
              SanEntry::Uri("urn:a\0hidden"s), SanEntry::Uri("urn:\xFF")}));
     })},
    {"OnlyDnsNames",
     Built([] { return std::move(CertBuilder().San({SanEntry::Dns("a.example")})); })},
    {"EmptyAltNameSequence", Built([] { return std::move(CertBuilder().RawSan("\x30\x00"s)); })},
    {"NoAltNameExtension", Built([] { return CertBuilder(); })},
    {"IssuerAltNameOnly", Built([] {
         return std::move(
             CertBuilder().RawExtension("2.5.29.18", AltNameDer({SanEntry::Uri("urn:issuer")})));
     })},
    {"UndecodableAltName", Built([] {
         return std::move(CertBuilder().RawSan("\x04\x03"
                                               "abc"s));
     })},
    {"AltNameWithTrailingByte", Built([] {
         return std::move(CertBuilder().RawSan(AltNameDer({SanEntry::Uri("urn:a")}) + '\0'));
     })},
    {"TwoAltNameExtensions", Built([] {
         return std::move(
             CertBuilder().San({SanEntry::Uri("urn:first")}).San({SanEntry::Uri("urn:second")}));
     })},
    {"UndecodableFirstOfTwoAltNames", Built([] {
         return std::move(CertBuilder().RawSan("\x05\x00"s).San({SanEntry::Uri("urn:b")}));
     })},
    {"CriticalUnknownExtension",
     Built([] { return std::move(Basic().RawExtension("1.2.3.4.5", "\x05\x00"s, true)); })},
    // Issuer names.
    {"FullIssuerName", Built([] {
         return std::move(Basic().Subject(
             {Attr("2.5.4.6", "JP", V_ASN1_PRINTABLESTRING), Attr("2.5.4.8", "Tokyo"),
              Attr("2.5.4.7", "Chiyoda"), Attr("2.5.4.10", "Varnok"), Attr("2.5.4.11", "Dev"),
              Attr("2.5.4.3", "self.example"),
              Attr("1.2.840.113549.1.9.1", "admin@example.jp", V_ASN1_IA5STRING)}));
     })},
    {"MultiValuedRdn", Built([] {
         return std::move(
             Basic().Subject({Attr("2.5.4.11", "x"), Attr("2.5.4.3", "y", V_ASN1_UTF8STRING, true),
                              Attr("2.5.4.10", "z")}));
     })},
    {"UnknownAttributes", Built([] {
         return std::move(Basic().Subject({Attr("2.5.4.5", "12345", V_ASN1_PRINTABLESTRING),
                                           Attr("2.5.4.3", "Name"), Attr("2.5.4.12", "Boss")}));
     })},
    {"NulInAttributes", Built([] {
         return std::move(
             Basic().Subject({Attr("2.5.4.6", "J\0P"s, V_ASN1_PRINTABLESTRING),
                              Attr("1.2.840.113549.1.9.1", "a@b\0.evil"s, V_ASN1_IA5STRING),
                              Attr("2.5.4.3", "ab\0cd"s)}));
     })},
    {"StringTypes", Built([] {
         return std::move(
             Basic().Subject({Attr("2.5.4.3", Bmp(u"テスト"), V_ASN1_BMPSTRING),
                              Attr("2.5.4.10", "Caf\xE9", V_ASN1_T61STRING),
                              Attr("2.5.4.11", "\0\x01\xF6\x00\0\0\0!"s, V_ASN1_UNIVERSALSTRING),
                              Attr("2.5.4.7", "M\xC3\xBCnchen"),
                              Attr("2.5.4.8", "\xFF\xFE", V_ASN1_PRINTABLESTRING),
                              Attr("2.5.4.5", "12 34", V_ASN1_NUMERICSTRING)}));
     })},
    {"EmptyIssuerName", Built([] { return std::move(Basic().Issuer({})); })},
    {"LargeIssuerName", Built([] { return std::move(Basic().Issuer(LargeName())); })},
    // Signature identifiers.
    {"Md5Rsa", Built([] { return std::move(Basic().Digest("MD5")); })},
    {"Sha1Rsa", Built([] { return std::move(Basic().Digest("SHA1")); })},
    {"Sha224Rsa", Built([] { return std::move(Basic().Digest("SHA224")); })},
    {"Sha512Rsa", Built([] { return std::move(Basic().Digest("SHA512")); })},
    {"InnerPlainRsaIdentifier",
     Built([] { return std::move(Basic().TbsSignatureOid("1.2.840.113549.1.1.1")); })},
    {"InnerUnknownIdentifier",
     Built([] { return std::move(Basic().TbsSignatureOid("1.2.840.113549.1.1.110.5.6")); })},
    // Validity.
    {"UtcAndGeneralizedTimes", Built([] {
         return WithTimes(CertTime::UtcTime("240229123456Z"),
                          CertTime::GeneralizedTime("20991231235959Z"));
     })},
    {"FirstSupportedSecond", Built([] {
         return WithTimes(CertTime::GeneralizedTime("16010101000000Z"),
                          CertTime::GeneralizedTime("99991231235959Z"));
     })},
    {"StartBefore1601", Built([] {
         return WithTimes(CertTime::GeneralizedTime("16001231235959Z"),
                          CertTime::GeneralizedTime("20250101000000Z"));
     })},
    {"StartIsNotATime",
     Built([] { return WithTimes(CertTime::UtcTime("not a time"), CertTime::Utc(1704067200)); })},
    {"EndIsNotATime",
     Built([] { return WithTimes(CertTime::Utc(1704067200), CertTime::GeneralizedTime("2025")); })},
    {"FractionalSeconds", Built([] {
         return WithTimes(CertTime::GeneralizedTime("20240101235959.999Z"),
                          CertTime::GeneralizedTime("20250101000000Z"));
     })},
    {"TimeOfAnotherType", Built([] {
         return WithTimes(CertTime::Raw(V_ASN1_PRINTABLESTRING, "240101000000Z"),
                          CertTime::Utc(1704067200));
     })},
    // Version fields.
    {"VersionAbsent", [] { return WithVersion(X509_VERSION_1); }},
    {"VersionTwo", [] { return WithVersion(X509_VERSION_2); }},
    {"VersionFour", [] { return WithVersion(3); }},
    {"VersionLarge", [] { return WithVersion(1000); }},
    {"VersionOneWrittenOut", [] { return WithVersionByte('\x00'); }},
    {"VersionNegative", [] { return WithVersionByte('\xFF'); }},
    // RSA keys in and out of strict DER.
    {"RsaTinyModulus", [] { return WithPublicKey(kRsaEncryption, Null(), RsaKey("\x01"s)); }},
    {"RsaEightBitModulus", [] { return WithPublicKey(kRsaEncryption, Null(), RsaKeyOfBits(8)); }},
    {"RsaOddSizedModulus",
     [] { return WithPublicKey(kRsaEncryption, Null(), RsaKeyOfBits(2047)); }},
    {"RsaLargestLightModulus",
     [] { return WithPublicKey(kRsaEncryption, Null(), RsaKeyOfBits(16384)); }},
    {"RsaModulusPastTheLightLimit",
     [] { return WithPublicKey(kRsaEncryption, Null(), RsaKeyOfBits(16385)); }},
    {"RsaModulusNegative",
     [] { return WithPublicKey(kRsaEncryption, Null(), RsaKey(Magnitude(2048))); }},
    {"RsaModulusZero", [] { return WithPublicKey(kRsaEncryption, Null(), RsaKey("\x00"s)); }},
    {"RsaModulusEmpty", [] { return WithPublicKey(kRsaEncryption, Null(), RsaKey("")); }},
    {"RsaModulusRedundantZero",
     [] {
         return WithPublicKey(kRsaEncryption, Null(),
                              RsaKey('\0' + PositiveContents(Magnitude(2048))));
     }},
    {"RsaModulusRedundantZeroBeforeSmallByte",
     [] { return WithPublicKey(kRsaEncryption, Null(), RsaKey("\x00\x7F\x01"s)); }},
    {"RsaModulusLengthNotMinimal",
     [] {
         const std::string n = PositiveContents(Magnitude(1024));
         return WithPublicKey(
             kRsaEncryption, Null(),
             Tlv(0x30, "\x02\x82\x00"s + static_cast<char>(n.size()) + n + kExponent));
     }},
    {"RsaExponentLengthInLongForm",
     [] {
         return WithPublicKey(
             kRsaEncryption, Null(),
             RsaKey(PositiveContents(Magnitude(2048)), "\x02\x81\x03\x01\x00\x01"s));
     }},
    {"RsaSequenceLengthNotMinimal",
     [] {
         const std::string body = Integer(PositiveContents(Magnitude(512))) + kExponent;
         return WithPublicKey(kRsaEncryption, Null(),
                              "\x30\x81"s + static_cast<char>(body.size()) + body);
     }},
    {"RsaIndefiniteLength",
     [] {
         return WithPublicKey(kRsaEncryption, Null(),
                              "\x30\x80"s + Integer(PositiveContents(Magnitude(2048))) + kExponent +
                                  "\x00\x00"s);
     }},
    {"RsaBytesAfterTheKey",
     [] { return WithPublicKey(kRsaEncryption, Null(), RsaKeyOfBits(2048) + "\x00"s); }},
    {"RsaThirdInteger",
     [] {
         return WithPublicKey(
             kRsaEncryption, Null(),
             Tlv(0x30, Integer(PositiveContents(Magnitude(2048))) + kExponent + Integer("\x01")));
     }},
    {"RsaExponentMissing",
     [] {
         return WithPublicKey(kRsaEncryption, Null(),
                              Tlv(0x30, Integer(PositiveContents(Magnitude(2048)))));
     }},
    {"RsaExponentNegative",
     [] {
         return WithPublicKey(kRsaEncryption, Null(),
                              RsaKey(PositiveContents(Magnitude(2048)), Integer("\xFF")));
     }},
    {"RsaExponentZero",
     [] {
         return WithPublicKey(kRsaEncryption, Null(),
                              RsaKey(PositiveContents(Magnitude(2048)), Integer("\x00"s)));
     }},
    {"RsaNotASequence",
     [] {
         return WithPublicKey(kRsaEncryption, Null(),
                              Tlv(0x31, Integer(PositiveContents(Magnitude(2048))) + kExponent));
     }},
    {"RsaGarbage", [] { return WithPublicKey(kRsaEncryption, Null(), "\x01\x02\x03"s); }},
    {"RsaParametersAbsent",
     [] { return WithPublicKey(kRsaEncryption, Absent(), RsaKeyOfBits(2048)); }},
    {"RsaParametersAnObject",
     [] { return WithPublicKey(kRsaEncryption, Curve(kP256), RsaKeyOfBits(2048)); }},
    {"RsaOneUnusedBit",
     [] { return WithPublicKey(kRsaEncryption, Null(), RsaKeyOfBits(2048), 1); }},
    {"RsaSevenUnusedBits",
     [] { return WithPublicKey(kRsaEncryption, Null(), RsaKeyOfBits(2048), 7); }},
    {"RsaPssKeyAlgorithm",
     [] { return WithPublicKey("1.2.840.113549.1.1.10", Absent(), RsaKeyOfBits(2048)); }},
    {"DsaKeyAlgorithm",
     [] { return WithPublicKey("1.2.840.10040.4.1", Absent(), Integer(Magnitude(1023))); }},
    {"X25519KeyAlgorithm",
     [] { return WithPublicKey("1.3.101.110", Absent(), std::string(32, '\x09')); }},
    {"UnknownKeyAlgorithm",
     [] { return WithPublicKey("1.3.6.1.4.1.55555.1", Null(), "\x01\x02\x03"s); }},
    // EC keys on and off their curves.
    {"EcPointOnP384", [] { return EcKey(Curve(kP384), PointOf("P-384")); }},
    {"EcPointOnP521", [] { return EcKey(Curve(kP521), PointOf("P-521")); }},
    {"EcPointOffTheCurve",
     [] {
         const std::string point = PointOf("P-256");
         return EcKey(Curve(kP256),
                      WithByte(point, point.size() - 1, static_cast<char>(point.back() ^ 1)));
     }},
    {"EcCoordinateNotBelowThePrime",
     [] {
         const std::string point = PointOf("P-256");
         return EcKey(Curve(kP256), '\x04' + std::string(32, '\xFF') + point.substr(33));
     }},
    {"EcPointCompressed", [] { return EcKey(Curve(kP256), Compressed(PointOf("P-256"))); }},
    {"EcPointCompressedOnP384", [] { return EcKey(Curve(kP384), Compressed(PointOf("P-384"))); }},
    {"EcPointHybrid",
     [] {
         const std::string point = PointOf("P-256");
         const bool odd = (static_cast<unsigned char>(point.back()) & 1) != 0;
         return EcKey(Curve(kP256), WithByte(point, 0, odd ? '\x07' : '\x06'));
     }},
    {"EcPointAtInfinity", [] { return EcKey(Curve(kP256), "\x00"s); }},
    {"EcPointOneByteShort",
     [] {
         const std::string point = PointOf("P-256");
         return EcKey(Curve(kP256), point.substr(0, point.size() - 1));
     }},
    {"EcPointOneByteLong", [] { return EcKey(Curve(kP256), PointOf("P-256") + '\x01'); }},
    {"EcPointOfAnotherCurve", [] { return EcKey(Curve(kP384), PointOf("P-256")); }},
    {"EcPointWithUnusedBits", [] { return EcKey(Curve(kP256), PointOf("P-256"), 1); }},
    {"EcUnknownCurve", [] { return EcKey(Curve("1.2.3.4.5"), PointOf("P-256")); }},
    // secp256k1, which OpenSSL knows.
    {"EcCurveLightPathDoesNotKnow", [] { return EcKey(Curve("1.3.132.0.10"), PointOf("P-256")); }},
    {"EcSm2Curve", [] { return EcKey(Curve("1.2.156.10197.1.301"), PointOf("P-256")); }},
    {"EcParametersAbsent", [] { return EcKey(Absent(), PointOf("P-256")); }},
    {"EcParametersNull", [] { return EcKey(Null(), PointOf("P-256")); }},
    {"EcParametersExplicit",
     [] {
         return EcKey({V_ASN1_SEQUENCE, ExplicitParameters(NID_X9_62_prime256v1)},
                      PointOf("P-256"));
     }},
    {"EcGarbage", [] { return EcKey(Curve(kP256), "\x04\x01\x02"s); }},
};

class LightDecoderShapeTest : public ::testing::TestWithParam<Shape> {};

TEST_P(LightDecoderShapeTest, GivesWhatTheFullDecoderGives) {
    const std::string der = GetParam().der();
    // East and west of UTC, so that the dates near the supported edges fall on either side.
    for (const char* zone : {"UTC0", "<-08>8", "JST-9"}) {
        const TimeZoneOverride override(zone);
        EXPECT_TRUE(SameAsFullDecoder(der)) << "in " << zone;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, LightDecoderShapeTest, ::testing::ValuesIn(kShapes),
                         [](const auto& info) { return std::string(info.param.name); });

// The speed only counts if the usual certificates never need the full decoder.
TEST(LightDecoderTest, TakesTheUsualCertificatesItself) {
    const KeyParams keys[] = {KeyParams::Rsa(2048),   KeyParams::Rsa(3072),
                              KeyParams::Rsa(4096),   KeyParams::Ec("P-256"),
                              KeyParams::Ec("P-384"), KeyParams::Ec("P-521")};
    for (const KeyParams& key : keys) {
        const std::string der = Basic().Key(key).BuildDer();
        const std::optional<CertPropertyList> light = DecodeCertificatePropertiesLightly(der);
        ASSERT_TRUE(light.has_value()) << key.rsaBits << key.curve;
        EXPECT_EQ(*light, DecodeCertificatePropertiesFully(der)) << key.rsaBits << key.curve;
    }
}

// ---------------------------------------------------------------------------------------------
// Real certificates and damaged ones.

std::set<std::string> SystemCertificates() {
    std::set<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/etc/ssl/certs", error)) {
        if (!entry.is_regular_file(error))
            continue;
        const UniqueBio bio(BIO_new_file(entry.path().c_str(), "r"));
        if (!bio)
            continue;
        while (const UniqueX509 cert{PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)})
            found.insert(CertificateDer(cert.get()));
    }
    ERR_clear_error(); // the end of each file is reported as an error
    return found;
}

TEST(LightDecoderTest, SystemCaCertificatesGiveTheSameLists) {
    const std::set<std::string> certificates = SystemCertificates();
    if (certificates.empty())
        GTEST_SKIP() << "no PEM certificates in /etc/ssl/certs";
    const TimeZoneOverride zone("UTC0");
    int light = 0;
    for (const std::string& der : certificates) {
        EXPECT_TRUE(SameAsFullDecoder(der)) << DerToPem(der);
        light += DecodeCertificatePropertiesLightly(der).has_value() ? 1 : 0;
    }
    // Their keys are RSA and NIST curves almost throughout; only their alternative names
    // (usually none) decide the lists, so most must have gone the light way.
    EXPECT_GT(light * 2, static_cast<int>(certificates.size()));
}

// Every shorter prefix, and every byte changed in a few ways, of a couple of certificates.
TEST(LightDecoderTest, DamagedCertificatesGiveTheSameLists) {
    const TimeZoneOverride zone("UTC0");
    const std::string bases[] = {
        Basic()
            .Subject({Attr("2.5.4.6", "JP", V_ASN1_PRINTABLESTRING), Attr("2.5.4.3", "damaged")})
            .San({SanEntry::Uri("urn:d"), SanEntry::Ip("\x0A\x00\x00\x01")})
            .BuildDer(),
        Basic().Key(KeyParams::Ec("P-256")).BuildDer(),
    };
    int failures = 0;
    for (const std::string& base : bases) {
        for (std::size_t size = 0; size < base.size() && failures < 5; ++size) {
            const bool same = SameAsFullDecoder(base.substr(0, size));
            EXPECT_TRUE(same) << "cut to " << size << " of " << base.size() << " bytes";
            failures += same ? 0 : 1;
        }
        for (std::size_t at = 0; at < base.size() && failures < 5; ++at) {
            for (const unsigned char flip : {0x01, 0x80, 0xFF}) {
                std::string damaged = base;
                damaged[at] = static_cast<char>(damaged[at] ^ flip);
                const bool same = SameAsFullDecoder(damaged);
                EXPECT_TRUE(same) << "byte " << at << " ^ " << int{flip};
                failures += same ? 0 : 1;
            }
        }
    }
}

} // namespace
