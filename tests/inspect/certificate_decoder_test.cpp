#include "inspect/certificate_decoder.h"

#include "platform/text_codec.h"
#include "support/cert_builder.h"
#include "support/temp_folder.h"
#include "support/time_zone_override.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

using namespace std::string_literals;

// Readable failure messages: gtest finds this next to CertProperty.
inline void PrintTo(const CertProperty& property, std::ostream* out) {
    *out << '(' << Utf16ToUtf8(property.name) << ", \"" << Utf16ToUtf8(property.value) << "\")";
}

namespace {

// Name attribute identifiers.
const std::string kCn = "2.5.4.3";
const std::string kCountry = "2.5.4.6";
const std::string kState = "2.5.4.8";
const std::string kLocality = "2.5.4.7";
const std::string kOrg = "2.5.4.10";
const std::string kUnit = "2.5.4.11";
const std::string kEmail = "1.2.840.113549.1.9.1";
const std::string kSerialNumber = "2.5.4.5";
const std::string kTitle = "2.5.4.12";

const std::u16string kEcdsaSha256 = u"OID=1.2.840.10045.4.3.2 , ";

// Big-endian UCS-4 (UniversalString content) bytes.
std::string Ucs4(std::u32string_view text) {
    std::string bytes;
    for (char32_t cp : text) {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<char>((cp >> shift) & 0xFF));
    }
    return bytes;
}

CertProperty Sig(std::u16string v) {
    return {u"Signature Algorithm", std::move(v)};
}
CertProperty Url(std::u16string v) {
    return {u"Alternative Name(URL)", std::move(v)};
}
CertProperty Ip(std::u16string v) {
    return {u"Alternative Name(IP Address)", std::move(v)};
}
CertProperty Cn(std::u16string v) {
    return {u"Common Name", std::move(v)};
}
CertProperty Country(std::u16string v) {
    return {u"Country Name", std::move(v)};
}
CertProperty State(std::u16string v) {
    return {u"State or Province Name", std::move(v)};
}
CertProperty Locality(std::u16string v) {
    return {u"Locality Name", std::move(v)};
}
CertProperty Org(std::u16string v) {
    return {u"Organization Name", std::move(v)};
}
CertProperty Unit(std::u16string v) {
    return {u"Organizational Unit", std::move(v)};
}
CertProperty Email(std::u16string v) {
    return {u"E-mail Address", std::move(v)};
}
CertProperty KeySize(std::u16string v) {
    return {u"Key Size", std::move(v)};
}
CertProperty From(std::u16string v) {
    return {u"Valid Date From", std::move(v)};
}
CertProperty To(std::u16string v) {
    return {u"Valid Date To", std::move(v)};
}
CertProperty Error(std::u16string v) {
    return {u"Error", std::move(v)};
}

const std::u16string kNoAltNames = u"The certificate has no subject alternative name extension.";
const std::u16string kBadAltNames = u"Failed to decode the subject alternative name extension.";
const std::u16string kOpenFailed = u"Failed to open file.";
const std::u16string kReadFailed = u"Failed to read file.";
const std::u16string kNotACertificate = u"Failed to create certificate context.";
const std::u16string kTooLarge = u"The file is too large to be a certificate.";

// `head` followed by the key size and the builder's default validity as seen from UTC.
CertPropertyList WithTail(CertPropertyList head, std::u16string keySize = u"2048") {
    head.push_back(KeySize(std::move(keySize)));
    head.push_back(From(u"2024-01-01 00:00:00"));
    head.push_back(To(u"2034-01-01 00:00:00"));
    return head;
}

// The builder's defaults plus one URL, so that decoding gets past the alternative names.
CertBuilder Basic() {
    return std::move(CertBuilder().San({SanEntry::Uri("urn:quillet:test")}));
}

CertPropertyList BasicExpected() {
    return WithTail({Sig(u"SHA256RSA"), Url(u"urn:quillet:test"), Cn(u"Quillet Test")});
}

void MakeSparseFile(const std::filesystem::path& path, off_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const int result = ::ftruncate(fd, size);
    ::close(fd);
    ASSERT_EQ(result, 0);
}

// Every test decodes in a known time zone (UTC unless it says otherwise) from a fresh folder.
class DecoderTest : public ::testing::Test {
protected:
    CertPropertyList DecodeFile(std::string_view bytes, const std::string& name = "test.crt") {
        const std::filesystem::path path = m_folder.path() / name;
        WriteFileBytes(path, bytes);
        return ReadCertificateProperties(path);
    }

    TimeZoneOverride m_zone{"UTC0"};
    TempFolder m_folder;
};

// ---------------------------------------------------------------------------------------------
// Whole certificates, compared with the whole expected list.

struct DecodeCase {
    const char* name;
    std::function<std::string()> der;
    CertPropertyList expected;
};

std::ostream& operator<<(std::ostream& out, const DecodeCase& c) {
    return out << c.name;
}

const DecodeCase kDecodeCases[] = {
    {"SelfSignedShowsItsOwnNameInOrder",
     [] {
         return CertBuilder()
             .Subject({Attr(kCountry, "JP", V_ASN1_PRINTABLESTRING), Attr(kState, "Tokyo"),
                       Attr(kLocality, "Chiyoda"), Attr(kOrg, "Varnok"), Attr(kUnit, "Dev"),
                       Attr(kCn, "self.example"),
                       Attr(kEmail, "admin@example.jp", V_ASN1_IA5STRING)})
             .San({SanEntry::Uri("urn:1:self")})
             .BuildDer();
     },
     WithTail({Sig(u"SHA256RSA"), Url(u"urn:1:self"), Country(u"JP"), State(u"Tokyo"),
               Locality(u"Chiyoda"), Org(u"Varnok"), Unit(u"Dev"), Cn(u"self.example"),
               Email(u"admin@example.jp")})},
    {"CaIssuedShowsTheIssuerNotTheSubject",
     [] {
         const CertAuthority ca = CertBuilder()
                                      .Key(KeyParams::Ec("P-256"))
                                      .Subject({Attr(kCountry, "US", V_ASN1_PRINTABLESTRING),
                                                Attr(kOrg, "Morvel CA"), Attr(kCn, "Morvel Root")})
                                      .BuildAuthority();
         return CertBuilder()
             .Subject({Attr(kOrg, "Leaf Org"), Attr(kCn, "leaf.example")})
             .SignedBy(ca)
             .San({SanEntry::Uri("urn:leaf")})
             .BuildDer();
     },
     // The signature is the authority's ECDSA one; the key size is the leaf's own RSA key.
     WithTail({Sig(kEcdsaSha256), Url(u"urn:leaf"), Country(u"US"), Org(u"Morvel CA"),
               Cn(u"Morvel Root")})},
    {"AltNamesInExtensionOrderOnlyUrlsAndIpv4",
     [] {
         return CertBuilder()
             .San({SanEntry::Uri("https://a.example/x"), SanEntry::Ip("\xC0\xA8\x01\x14"),
                   SanEntry::Uri("urn:b"),
                   SanEntry::Ip("\x20\x01\x0d\xb8"s + std::string(11, '\0') + "\x01"),
                   SanEntry::Dns("host.example")})
             .BuildDer();
     },
     WithTail({Sig(u"SHA256RSA"), Url(u"https://a.example/x"), Ip(u"192.168.1.20"), Url(u"urn:b"),
               Cn(u"Quillet Test")})},
    {"Ipv4AsPlainDecimalBytes",
     [] {
         return CertBuilder()
             .San({SanEntry::Ip("\x0A\x00\x00\x01"s), SanEntry::Ip("\xFF\x00\x80\x07"s)})
             .BuildDer();
     },
     WithTail({Sig(u"SHA256RSA"), Ip(u"10.0.0.1"), Ip(u"255.0.128.7"), Cn(u"Quillet Test")})},
    {"OnlyDnsNamesGiveNoAltEntriesAndDecodingGoesOn",
     [] {
         return CertBuilder()
             .San({SanEntry::Dns("a.example"), SanEntry::Dns("b.example")})
             .BuildDer();
     },
     WithTail({Sig(u"SHA256RSA"), Cn(u"Quillet Test")})},
    {"OtherKindsAndAddressLengthsArePassedOver",
     [] {
         return CertBuilder()
             .San({SanEntry::Email("a@example.jp"), SanEntry::RegisteredId("1.2.3.4"),
                   SanEntry::Ip("\x01\x02\x03"), SanEntry::Ip("\x01\x02\x03\x04\x05"),
                   SanEntry::Ip("\x01\x02\x03\x04\x05\x06\x07\x08"), SanEntry::Ip("")})
             .BuildDer();
     },
     WithTail({Sig(u"SHA256RSA"), Cn(u"Quillet Test")})},
    {"EmptyAltNameSequenceIsNoFailure", [] { return CertBuilder().RawSan("\x30\x00"s).BuildDer(); },
     WithTail({Sig(u"SHA256RSA"), Cn(u"Quillet Test")})},
    {"UrlCutAtNulAndBadBytesReplaced",
     [] {
         return CertBuilder()
             .San({SanEntry::Uri("urn:a\0hidden"s), SanEntry::Uri("urn:\xFF")})
             .BuildDer();
     },
     WithTail({Sig(u"SHA256RSA"), Url(u"urn:a"), Url(u"urn:\uFFFD"), Cn(u"Quillet Test")})},
    {"NoAltNameExtension",
     [] { return CertBuilder().BuildDer(); },
     {Sig(u"SHA256RSA"), Error(kNoAltNames)}},
    {"IssuerAltNameIsNotTheSubjectAltName",
     [] {
         return CertBuilder()
             .RawExtension("2.5.29.18", AltNameDer({SanEntry::Uri("urn:issuer")}))
             .BuildDer();
     },
     {Sig(u"SHA256RSA"), Error(kNoAltNames)}},
    {"UndecodableAltName",
     [] {
         return CertBuilder()
             .RawSan("\x04\x03"
                     "abc"s)
             .BuildDer();
     },
     {Sig(u"SHA256RSA"), Error(kBadAltNames)}},
    {"AltNameWithTrailingByte",
     [] { return CertBuilder().RawSan(AltNameDer({SanEntry::Uri("urn:a")}) + '\0').BuildDer(); },
     {Sig(u"SHA256RSA"), Error(kBadAltNames)}},
    {"FirstOfTwoAltNameExtensionsCounts",
     [] {
         return CertBuilder()
             .San({SanEntry::Uri("urn:first")})
             .San({SanEntry::Uri("urn:second")})
             .BuildDer();
     },
     WithTail({Sig(u"SHA256RSA"), Url(u"urn:first"), Cn(u"Quillet Test")})},
    {"UndecodableFirstOfTwoAltNameExtensionsCounts",
     [] { return CertBuilder().RawSan("\x05\x00"s).San({SanEntry::Uri("urn:b")}).BuildDer(); },
     {Sig(u"SHA256RSA"), Error(kBadAltNames)}},
    {"TwoOrganizationalUnitsInAttributeOrder",
     [] {
         return Basic()
             .Subject({Attr(kUnit, "Zeta"), Attr(kOrg, "Org"), Attr(kUnit, "Alpha")})
             .BuildDer();
     },
     WithTail({Sig(u"SHA256RSA"), Url(u"urn:quillet:test"), Unit(u"Zeta"), Org(u"Org"),
               Unit(u"Alpha")})},
    {"MultiValuedRdnInEncodedOrder",
     [] {
         // DER sorts the members of a SET, so the CN (2.5.4.3) is encoded before the OU.
         return Basic()
             .Subject({Attr(kUnit, "x"), Attr(kCn, "y", V_ASN1_UTF8STRING, true), Attr(kOrg, "z")})
             .BuildDer();
     },
     WithTail({Sig(u"SHA256RSA"), Url(u"urn:quillet:test"), Cn(u"y"), Unit(u"x"), Org(u"z")})},
    {"UnknownAttributesGiveNoEntry",
     [] {
         return Basic()
             .Subject({Attr(kSerialNumber, "12345", V_ASN1_PRINTABLESTRING), Attr(kCn, "Name"),
                       Attr(kTitle, "Boss")})
             .BuildDer();
     },
     WithTail({Sig(u"SHA256RSA"), Url(u"urn:quillet:test"), Cn(u"Name")})},
    {"NulCutsCountryEmailAndText",
     [] {
         return Basic()
             .Subject({Attr(kCountry, "J\0P"s, V_ASN1_PRINTABLESTRING),
                       Attr(kEmail, "a@b\0.evil.example"s, V_ASN1_IA5STRING), Attr(kCn, "ab\0cd"s)})
             .BuildDer();
     },
     WithTail(
         {Sig(u"SHA256RSA"), Url(u"urn:quillet:test"), Country(u"J"), Email(u"a@b"), Cn(u"ab")})},
    {"StringTypesConvertedByType",
     [] {
         return Basic()
             .Subject({Attr(kCn, Bmp(u"テスト"), V_ASN1_BMPSTRING),
                       Attr(kOrg, "Caf\xE9", V_ASN1_T61STRING),
                       Attr(kUnit, Ucs4(U"\U0001F600!"), V_ASN1_UNIVERSALSTRING),
                       Attr(kLocality, "M\xC3\xBCnchen"),
                       Attr(kState, "Caf\xC3\xA9", V_ASN1_PRINTABLESTRING),
                       Attr(kCountry, Ucs4(U"JP"), V_ASN1_UNIVERSALSTRING),
                       Attr(kEmail, Bmp(u"a@b"), V_ASN1_BMPSTRING)})
             .BuildDer();
     },
     WithTail({Sig(u"SHA256RSA"), Url(u"urn:quillet:test"), Cn(u"テスト"), Org(u"Café"),
               Unit(u"\U0001F600!"), Locality(u"München"), State(u"Café"), Country(u"JP"),
               Email(u"a@b")})},
    // OpenSSL itself refuses malformed UTF8String, BMPString and UniversalString values, but
    // not 8-bit bytes in the 8-bit types.
    {"EightBitBytesThatAreNotUtf8",
     [] {
         return Basic()
             .Subject({Attr(kCn, "\xFF\xFE", V_ASN1_PRINTABLESTRING),
                       Attr(kOrg, "\xE9\x80", V_ASN1_T61STRING),
                       Attr(kUnit, "12 34", V_ASN1_NUMERICSTRING),
                       Attr(kEmail, "a\xC3(@b", V_ASN1_IA5STRING)})
             .BuildDer();
     },
     WithTail({Sig(u"SHA256RSA"), Url(u"urn:quillet:test"), Cn(u"\uFFFD\uFFFD"),
               Org(u"\u00E9\u0080"), Unit(u"12 34"), Email(u"a\uFFFD(@b")})},
    {"EcdsaP256", [] { return Basic().Key(KeyParams::Ec("P-256")).BuildDer(); },
     WithTail({Sig(kEcdsaSha256), Url(u"urn:quillet:test"), Cn(u"Quillet Test")}, u"256")},
    {"Rsa4096", [] { return Basic().Key(KeyParams::Rsa(4096)).BuildDer(); },
     WithTail({Sig(u"SHA256RSA"), Url(u"urn:quillet:test"), Cn(u"Quillet Test")}, u"4096")},
    {"UnknownKeyAlgorithmHasKeySizeZero",
     [] { return Basic().PublicKey("1.3.6.1.4.1.55555.1", "\x01\x02\x03").BuildDer(); },
     WithTail({Sig(u"SHA256RSA"), Url(u"urn:quillet:test"), Cn(u"Quillet Test")}, u"0")},
};

class DecodeCertificateTest : public DecoderTest,
                              public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(DecodeCertificateTest, GivesTheWholeList) {
    EXPECT_EQ(DecodeFile(GetParam().der()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Certificates, DecodeCertificateTest, ::testing::ValuesIn(kDecodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// The signature algorithm text: the identifier inside the to-be-signed part, looked up exactly.

struct SignatureCase {
    const char* name;
    std::function<CertBuilder()> builder;
    std::u16string expected;
};

std::ostream& operator<<(std::ostream& out, const SignatureCase& c) {
    return out << c.name;
}

CertBuilder WithInnerOid(const std::string& oid) {
    return std::move(Basic().TbsSignatureOid(oid));
}

const std::string kLongOid = "1.2.840.113549.1.1.11.123456789012345678901234567890.98765432109876"
                             "5432109876543210.1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.17.18.19.20";

const SignatureCase kSignatureCases[] = {
    {"Md5Rsa", [] { return std::move(Basic().Digest("MD5")); }, u"MD5RSA"},
    {"Sha1Rsa", [] { return std::move(Basic().Digest("SHA1")); }, u"SHA1RSA"},
    {"Sha384Rsa", [] { return std::move(Basic().Digest("SHA384")); }, u"SHA384RSA"},
    {"Sha512Rsa", [] { return std::move(Basic().Digest("SHA512")); }, u"SHA512RSA"},
    {"Sha224RsaIsNotInTheTable", [] { return std::move(Basic().Digest("SHA224")); },
     u"OID=1.2.840.113549.1.1.14 , "},
    {"RsaPss", [] { return std::move(Basic().RsaPss()); }, u"SSA PSS"},
    {"EcdsaP384Sha384",
     [] { return std::move(Basic().Key(KeyParams::Ec("P-384")).Digest("SHA384")); },
     u"OID=1.2.840.10045.4.3.3 , "},
    {"Ed25519", [] { return std::move(Basic().Key(KeyParams::Ed25519()).Digest("")); },
     u"OID=1.3.101.112 , "},
    {"PlainRsaIdentifier", [] { return WithInnerOid("1.2.840.113549.1.1.1"); }, u"RSA"},
    {"Md2Rsa", [] { return WithInnerOid("1.2.840.113549.1.1.2"); }, u"MD2RSA"},
    {"RsaesOaep", [] { return WithInnerOid("1.2.840.113549.1.1.7"); }, u"RSAES OAEP"},
    {"Pspecified", [] { return WithInnerOid("1.2.840.113549.1.1.9"); }, u"PSPECIFIED"},
    // The outer algorithm stays SHA256RSA: only the inner identifier counts.
    {"InnerIdentifierCounts", [] { return WithInnerOid("1.2.840.113549.1.1.5"); }, u"SHA1RSA"},
    {"LongerIdentifierIsNoMatch", [] { return WithInnerOid("1.2.840.113549.1.1.110"); },
     u"OID=1.2.840.113549.1.1.110 , "},
    {"ShorterIdentifierIsNoMatch", [] { return WithInnerOid("1.2.840.113549.1.1"); },
     u"OID=1.2.840.113549.1.1 , "},
    {"LongIdentifierIsWrittenWhole", [] { return WithInnerOid(kLongOid); },
     u"OID=" + std::u16string(kLongOid.begin(), kLongOid.end()) + u" , "},
};

class SignatureAlgorithmTest : public DecoderTest,
                               public ::testing::WithParamInterface<SignatureCase> {};

TEST_P(SignatureAlgorithmTest, FirstEntryNamesTheAlgorithm) {
    const CertPropertyList list = DecodeFile(GetParam().builder().BuildDer());
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.front(), Sig(GetParam().expected));
    EXPECT_EQ(list.back().name, u"Valid Date To");
}

INSTANTIATE_TEST_SUITE_P(Identifiers, SignatureAlgorithmTest, ::testing::ValuesIn(kSignatureCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Validity: local time by the zone's offset in force now, own calendar arithmetic, and the two
// late failures that end the list with a line on standard error.

struct TimeCase {
    const char* name;
    const char* zone;
    CertTime notBefore;
    CertTime notAfter;
    std::optional<std::u16string> from; // absent: the list ends after "Key Size"
    std::optional<std::u16string> to;   // absent: the list ends after "Valid Date From"
    std::string standardError;
};

std::ostream& operator<<(std::ostream& out, const TimeCase& c) {
    return out << c.name;
}

const std::string kStartFailed = "Failed to convert start time.\n";
const std::string kEndFailed = "Failed to convert end time.\n";

const TimeCase kTimeCases[] = {
    {"TokyoIsNineHoursAhead", "JST-9", CertTime::Utc(1704067200), CertTime::Utc(1735657200),
     u"2024-01-01 09:00:00", u"2025-01-01 00:00:00", ""},
    {"UtcTimeAndGeneralizedTime", "UTC0", CertTime::UtcTime("240229123456Z"),
     CertTime::GeneralizedTime("20991231235959Z"), u"2024-02-29 12:34:56", u"2099-12-31 23:59:59",
     ""},
    {"TwoDigitYearsAroundTheCentury", "UTC0", CertTime::UtcTime("500101000000Z"),
     CertTime::UtcTime("491231235959Z"), u"1950-01-01 00:00:00", u"2049-12-31 23:59:59", ""},
    {"LeapDaysOf2000And2100", "JST-9", CertTime::GeneralizedTime("20000228230000Z"),
     CertTime::GeneralizedTime("21000228230000Z"), u"2000-02-29 08:00:00", u"2100-03-01 08:00:00",
     ""},
    {"WestOfUtcBeforeTheEpoch", "<-03>3", CertTime::UtcTime("700101010000Z"),
     CertTime::GeneralizedTime("99991231235959Z"), u"1969-12-31 22:00:00", u"9999-12-31 20:59:59",
     ""},
    {"FirstAndLastSupportedSecond", "UTC0", CertTime::GeneralizedTime("16010101000000Z"),
     CertTime::GeneralizedTime("99991231235959Z"), u"1601-01-01 00:00:00", u"9999-12-31 23:59:59",
     ""},
    {"Past32BitSeconds", "UTC0", CertTime::GeneralizedTime("20380119031408Z"),
     CertTime::GeneralizedTime("21060207062816Z"), u"2038-01-19 03:14:08", u"2106-02-07 06:28:16",
     ""},
    {"FractionOfASecondDropped", "UTC0", CertTime::GeneralizedTime("20240101235959.999Z"),
     CertTime::GeneralizedTime("20250101000000Z"), u"2024-01-01 23:59:59", u"2025-01-01 00:00:00",
     ""},
    {"StartBefore1601", "UTC0", CertTime::GeneralizedTime("15000101000000Z"),
     CertTime::GeneralizedTime("20250101000000Z"), std::nullopt, std::nullopt, kStartFailed},
    {"StartOneSecondBefore1601", "UTC0", CertTime::GeneralizedTime("16001231235959Z"),
     CertTime::GeneralizedTime("20250101000000Z"), std::nullopt, std::nullopt, kStartFailed},
    {"StartWhoseLocalTimeIsBefore1601", "<-08>8", CertTime::GeneralizedTime("16010101000000Z"),
     CertTime::GeneralizedTime("20250101000000Z"), std::nullopt, std::nullopt, kStartFailed},
    {"StartIsNotATime", "UTC0", CertTime::UtcTime("not a time"),
     CertTime::GeneralizedTime("20250101000000Z"), std::nullopt, std::nullopt, kStartFailed},
    {"EndBefore1601", "UTC0", CertTime::Utc(1704067200),
     CertTime::GeneralizedTime("15000101000000Z"), u"2024-01-01 00:00:00", std::nullopt,
     kEndFailed},
    {"EndIsNotATime", "UTC0", CertTime::Utc(1704067200), CertTime::GeneralizedTime("2025"),
     u"2024-01-01 00:00:00", std::nullopt, kEndFailed},
};

class ValidityTest : public DecoderTest, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(ValidityTest, LocalTextOrLateFailure) {
    const TimeCase& c = GetParam();
    const std::string der = Basic().NotBefore(c.notBefore).NotAfter(c.notAfter).BuildDer();

    CertPropertyList expected{Sig(u"SHA256RSA"), Url(u"urn:quillet:test"), Cn(u"Quillet Test"),
                              KeySize(u"2048")};
    if (c.from)
        expected.push_back(From(*c.from));
    if (c.from && c.to)
        expected.push_back(To(*c.to));

    const TimeZoneOverride zone(c.zone);
    const CerrCapture standardError;
    EXPECT_EQ(DecodeFile(der), expected);
    EXPECT_EQ(standardError.text(), c.standardError);
}

INSTANTIATE_TEST_SUITE_P(Times, ValidityTest, ::testing::ValuesIn(kTimeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The offset in force now is used for every date, not the one in force on that date: a zone whose
// daylight-saving period is the few days around today shifts January and July alike.
TEST_F(DecoderTest, LocalTimeUsesTodaysDaylightSavingState) {
    const std::time_t now = std::time(nullptr);
    struct tm utcNow {};
    ASSERT_NE(::gmtime_r(&now, &utcNow), nullptr);
    const int start = std::max(0, utcNow.tm_yday - 1);
    const int end = std::min(365, utcNow.tm_yday + 1);
    const TimeZoneOverride zone("<+01>-1<+03>-3," + std::to_string(start) + "/0," +
                                std::to_string(end) + "/23:59:59");
    struct tm localNow {};
    ASSERT_NE(::localtime_r(&now, &localNow), nullptr);
    if (localNow.tm_isdst <= 0 || localNow.tm_gmtoff != 3 * 3600)
        GTEST_SKIP() << "today is at the edge of the year; the zone rule cannot cover it";

    const std::string der = Basic()
                                .NotBefore(CertTime::GeneralizedTime("20240101000000Z"))
                                .NotAfter(CertTime::GeneralizedTime("20240701000000Z"))
                                .BuildDer();
    EXPECT_EQ(DecodeFile(der),
              (CertPropertyList{Sig(u"SHA256RSA"), Url(u"urn:quillet:test"), Cn(u"Quillet Test"),
                                KeySize(u"2048"), From(u"2024-01-01 03:00:00"),
                                To(u"2024-07-01 03:00:00")}));
}

// ---------------------------------------------------------------------------------------------
// Files that are not one DER certificate, or cannot be read.

struct FileCase {
    const char* name;
    // Prepares what is to be decoded inside the folder and returns its path.
    std::function<std::filesystem::path(const std::filesystem::path& folder)> prepare;
    std::u16string message;
};

std::ostream& operator<<(std::ostream& out, const FileCase& c) {
    return out << c.name;
}

std::filesystem::path WriteIn(const std::filesystem::path& folder, std::string_view bytes) {
    const std::filesystem::path path = folder / "file.crt";
    WriteFileBytes(path, bytes);
    return path;
}

std::string GoodDer() {
    return Basic().BuildDer();
}

const FileCase kFileCases[] = {
    {"MissingPath", [](const auto& folder) { return folder / "missing.crt"; }, kOpenFailed},
    {"DanglingLink",
     [](const auto& folder) {
         std::filesystem::create_symlink(folder / "nowhere.crt", folder / "link.crt");
         return folder / "link.crt";
     },
     kOpenFailed},
    {"Directory",
     [](const auto& folder) {
         std::filesystem::create_directory(folder / "dir.crt");
         return folder / "dir.crt";
     },
     kOpenFailed},
    {"FifoWithoutWriter",
     [](const auto& folder) {
         const auto path = folder / "x.crt";
         if (::mkfifo(path.c_str(), 0600) != 0)
             throw std::runtime_error("mkfifo");
         return path;
     },
     kOpenFailed},
    {"CharacterDevice", [](const auto&) { return std::filesystem::path("/dev/null"); },
     kOpenFailed},
    {"EmptyFile", [](const auto& folder) { return WriteIn(folder, ""); }, kNotACertificate},
    {"PemCertificate", [](const auto& folder) { return WriteIn(folder, DerToPem(GoodDer())); },
     kNotACertificate},
    {"PemPrivateKey",
     [](const auto& folder) { return WriteIn(folder, PrivateKeyPem(KeyParams::Rsa(2048))); },
     kNotACertificate},
    {"DerPrivateKey",
     [](const auto& folder) { return WriteIn(folder, PrivateKeyDer(KeyParams::Rsa(2048))); },
     kNotACertificate},
    {"DerPublicKey",
     [](const auto& folder) { return WriteIn(folder, PublicKeyDer(KeyParams::Ec("P-256"))); },
     kNotACertificate},
    {"DerRequest",
     [](const auto& folder) {
         return WriteIn(folder, CsrDer(KeyParams::Rsa(2048), {Attr(kCn, "request")}));
     },
     kNotACertificate},
    {"TruncatedByOneByte",
     [](const auto& folder) {
         const std::string der = GoodDer();
         return WriteIn(folder, der.substr(0, der.size() - 1));
     },
     kNotACertificate},
    {"TruncatedToHalf",
     [](const auto& folder) {
         const std::string der = GoodDer();
         return WriteIn(folder, der.substr(0, der.size() / 2));
     },
     kNotACertificate},
    {"OneTrailingByte", [](const auto& folder) { return WriteIn(folder, GoodDer() + '\0'); },
     kNotACertificate},
    {"TwoCertificates", [](const auto& folder) { return WriteIn(folder, GoodDer() + GoodDer()); },
     kNotACertificate},
    {"SparseFileOfTheLargestSize",
     [](const auto& folder) {
         const auto path = folder / "big.crt";
         MakeSparseFile(path, static_cast<off_t>(kMaxCertificateFileSize));
         return path;
     },
     kNotACertificate},
    {"SparseFileLargerThanACertificate",
     [](const auto& folder) {
         const auto path = folder / "huge.crt";
         MakeSparseFile(path, static_cast<off_t>(kMaxCertificateFileSize) + 1);
         return path;
     },
     kTooLarge},
    {"SparseFileOfTerabytes",
     [](const auto& folder) {
         const auto path = folder / "huge.crt";
         MakeSparseFile(path, off_t{1} << 40);
         return path;
     },
     kTooLarge},
};

class FileFailureTest : public DecoderTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(FileFailureTest, GivesOneErrorEntry) {
    const std::filesystem::path path = GetParam().prepare(m_folder.path());
    EXPECT_EQ(ReadCertificateProperties(path), (CertPropertyList{Error(GetParam().message)}));
}

INSTANTIATE_TEST_SUITE_P(Files, FileFailureTest, ::testing::ValuesIn(kFileCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DecoderTest, FileNameThatIsNotUtf8IsDecoded) {
    EXPECT_EQ(DecodeFile(GoodDer(), "\xFF\xFE-\xC3(.crt"), BasicExpected());
}

TEST_F(DecoderTest, LinkToACertificateIsFollowed) {
    WriteFileBytes(m_folder.path() / "target.crt", GoodDer());
    std::filesystem::create_symlink(m_folder.path() / "target.crt", m_folder.path() / "link.crt");
    EXPECT_EQ(ReadCertificateProperties(m_folder.path() / "link.crt"), BasicExpected());
}

TEST_F(DecoderTest, UnreadableFileFailsToOpen) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    const std::filesystem::path path = m_folder.path() / "locked.crt";
    WriteFileBytes(path, GoodDer());
    std::filesystem::permissions(path, std::filesystem::perms::none);
    EXPECT_EQ(ReadCertificateProperties(path), (CertPropertyList{Error(kOpenFailed)}));
}

// Kernel attribute files claim a size (a page) larger than what reading them gives: a short read.
TEST_F(DecoderTest, FileShorterThanItsSizeIsAReadFailure) {
    for (const char* candidate : {"/sys/kernel/uevent_seqnum", "/sys/kernel/profiling",
                                  "/sys/kernel/kexec_loaded", "/sys/power/state"}) {
        struct stat status {};
        if (::stat(candidate, &status) != 0 || !S_ISREG(status.st_mode) ||
            static_cast<std::uintmax_t>(status.st_size) > kMaxCertificateFileSize ||
            ReadFileBytes(candidate).size() >= static_cast<std::size_t>(status.st_size))
            continue;
        EXPECT_EQ(ReadCertificateProperties(candidate), (CertPropertyList{Error(kReadFailed)}))
            << candidate;
        return;
    }
    GTEST_SKIP() << "no file that reads shorter than its size";
}

TEST_F(DecoderTest, BytesInMemoryDecodeLikeTheFile) {
    const std::string der = GoodDer();
    EXPECT_EQ(DecodeCertificateProperties(der), DecodeFile(der));
    EXPECT_EQ(DecodeCertificateProperties(der), BasicExpected());
    EXPECT_EQ(DecodeCertificateProperties({}), (CertPropertyList{Error(kNotACertificate)}));
}

// Given an offset, a reading converts the dates with it whatever the zone in force, through the
// light decoder and the complete one alike (an Ed25519 key takes the complete way), and gives the
// period from the same decoding.
TEST_F(DecoderTest, GivenOffsetConvertsTheDates) {
    for (const std::string& der :
         {GoodDer(), Basic().Key(KeyParams::Ed25519()).Digest("").BuildDer()}) {
        const std::filesystem::path path = m_folder.path() / "offset.crt";
        WriteFileBytes(path, der);
        std::optional<CertificateValidity> validity;
        const CertPropertyList given = ReadCertificateProperties(path, validity, 9 * 3600);
        EXPECT_NE(given, ReadCertificateProperties(path)); // read in UTC
        EXPECT_TRUE(validity.has_value());
        EXPECT_EQ(validity, DecodeCertificateValidity(der));
        const TimeZoneOverride tokyo("JST-9");
        EXPECT_EQ(given, ReadCertificateProperties(path));
    }
}

// ---------------------------------------------------------------------------------------------
// The debug trace: URL and IPv4 texts, then each issuer attribute as OID ":" value "\r\n".

TEST_F(DecoderTest, TraceHoldsAltNamesAndIssuerAttributes) {
    const std::string der =
        CertBuilder()
            .Subject({Attr(kCountry, "JP", V_ASN1_PRINTABLESTRING),
                      Attr(kSerialNumber, "42", V_ASN1_PRINTABLESTRING), Attr(kCn, "Tracer")})
            .San({SanEntry::Uri("urn:t"), SanEntry::Dns("d.example"),
                  SanEntry::Ip("\x0A\x00\x00\x01"s)})
            .BuildDer();
    const TraceCapture trace;
    const CertPropertyList list = DecodeFile(der);
    EXPECT_EQ(trace.text(), u"urn:t"
                            u"10.0.0.1"
                            u"2.5.4.6:JP\r\n"
                            u"2.5.4.5:\r\n"
                            u"2.5.4.3:Tracer\r\n");
    EXPECT_EQ(list, WithTail({Sig(u"SHA256RSA"), Url(u"urn:t"), Ip(u"10.0.0.1"), Country(u"JP"),
                              Cn(u"Tracer")}));
}

} // namespace
