// Certificates at the edges of what the decoder meets: a very large key, a very large issuer
// name, more names than a list keeps and a validity that ends before it starts.
#include "inspect/certificate_decoder.h"
#include "support/cert_builder.h"
#include "support/der_bytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// An RSAPublicKey whose modulus has `bits` bits (top bit set, odd), exponent 65537. Only its
// size matters to the decoder; no private key exists for it.
std::string RsaPublicKeyOfBits(int bits) {
    std::string modulus(static_cast<std::size_t>(bits / 8), '\x5A');
    modulus.front() = '\xC3';
    modulus.back() = '\x01';
    return Tlv(0x30, Tlv(0x02, '\0' + modulus) + Tlv(0x02, "\x01\x00\x01"));
}

std::u16string Last(const CertPropertyList& list, std::u16string_view name) {
    std::u16string value;
    for (const auto& p : list)
        if (p.name == name)
            value = p.value;
    return value;
}

CertBuilder WithAltName() {
    return std::move(CertBuilder().San({SanEntry::Ip(std::string("\x0A\x00\x00\x01", 4))}));
}

TEST(HostileCertificateTest, A16384BitRsaKeyGivesItsSize) {
    const std::string der =
        WithAltName().PublicKey("1.2.840.113549.1.1.1", RsaPublicKeyOfBits(16384)).BuildDer();
    const CertPropertyList list = DecodeCertificateProperties(der);
    EXPECT_EQ(Last(list, u"Key Size"), u"16384");
    EXPECT_EQ(list.back().name, u"Valid Date To");
}

TEST(HostileCertificateTest, A64KiBIssuerNameGivesEveryAttributeInOrder) {
    NameList issuer;
    for (int i = 0; i < 1024; ++i) {
        std::string value = "unit-" + std::to_string(i) + "-";
        value.resize(64, 'x');
        issuer.push_back({"2.5.4.11", V_ASN1_UTF8STRING, value, false});
    }
    const std::string der = WithAltName().Issuer(issuer).BuildDer();
    ASSERT_GT(der.size(), 64u * 1024);
    const CertPropertyList list = DecodeCertificateProperties(der);
    int units = 0;
    for (const auto& p : list) {
        if (p.name != u"Organizational Unit")
            continue;
        const std::string expected = "unit-" + std::to_string(units) + "-";
        EXPECT_EQ(p.value.substr(0, expected.size()),
                  std::u16string(expected.begin(), expected.end()));
        EXPECT_EQ(p.value.size(), 64u);
        ++units;
    }
    EXPECT_EQ(units, 1024);
    EXPECT_EQ(list.back().name, u"Valid Date To");
}

// A certificate with one IPv4 alternative name and `units` issuer attributes, one letter each.
std::string WithNames(int units) {
    NameList issuer;
    for (int i = 0; i < units; ++i)
        issuer.push_back({"2.5.4.11", V_ASN1_UTF8STRING, "u", false});
    return WithAltName().Issuer(issuer).BuildDer();
}

TEST(HostileCertificateTest, AListKeepsAtMostTheCappedNumberOfNames) {
    const int cap = static_cast<int>(kMaxListedNames);
    const struct {
        int units;
        std::size_t entries;
        std::u16string_view last;
    } cases[] = {
        // Every name fits: Signature Algorithm, the IP, the units, Key Size and both dates.
        {cap - 1, kMaxListedNames + 4, u"Valid Date To"},
        // One name too many: the first `cap` names, then the Error entry ends the list.
        {cap, kMaxListedNames + 2, u"Error"},
        // The hostile folder's kind: tens of thousands of one-letter attributes.
        {40000, kMaxListedNames + 2, u"Error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.units);
        const std::string der = WithNames(c.units);
        const CertPropertyList list = DecodeCertificateProperties(der);
        ASSERT_EQ(list.size(), c.entries);
        EXPECT_EQ(list.back().name, c.last);
        EXPECT_EQ(list[1].name, u"Alternative Name(IP Address)");
        EXPECT_EQ(list[2], (CertProperty{u"Organizational Unit", u"u"}));
        if (c.last == u"Error") {
            EXPECT_EQ(list.back().value, u"The certificate has too many names to list.");
        }
        // Both decoders keep to the same cap.
        EXPECT_EQ(DecodeCertificatePropertiesFully(der), list);
    }
}

TEST(HostileCertificateTest, AnEndBeforeTheStartIsShownAsItStands) {
    const std::string der = WithAltName()
                                .NotBefore(CertTime::GeneralizedTime("20300101000000Z"))
                                .NotAfter(CertTime::GeneralizedTime("20200101000000Z"))
                                .BuildDer();
    std::string oldZone;
    const char* old = std::getenv("TZ");
    if (old)
        oldZone = old;
    ::setenv("TZ", "UTC0", 1);
    const CertPropertyList list = DecodeCertificateProperties(der);
    if (old)
        ::setenv("TZ", oldZone.c_str(), 1);
    else
        ::unsetenv("TZ");
    EXPECT_EQ(Last(list, u"Valid Date From"), u"2030-01-01 00:00:00");
    EXPECT_EQ(Last(list, u"Valid Date To"), u"2020-01-01 00:00:00");
    EXPECT_EQ(list.back().name, u"Valid Date To");
}

} // namespace
