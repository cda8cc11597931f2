#include "catalogue/certificate_rows.h"
#include "inspect/certificate_validity.h"
#include "support/cert_builder.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::sys_seconds;

sys_seconds At(long long seconds) {
    return sys_seconds{std::chrono::seconds{seconds}};
}

TEST(CertificateValidityTest, ReadsBothTimesAsUtcWhateverTheirAsn1Type) {
    struct Case {
        const char* what;
        CertTime from, to;
        long long fromSeconds, toSeconds;
    } cases[] = {
        {"UTCTime", CertTime::UtcTime("240101000000Z"), CertTime::UtcTime("250630235959Z"),
         1704067200, 1751327999},
        {"GeneralizedTime after 2049", CertTime::Utc(1704067200),
         CertTime::GeneralizedTime("20991231235959Z"), 1704067200, 4102444799},
        {"time of day kept", CertTime::Utc(1704067200 + 3723), CertTime::Utc(1704067200 + 86399),
         1704067200 + 3723, 1704067200 + 86399},
    };
    for (const Case& c : cases) {
        const std::string der = CertBuilder().NotBefore(c.from).NotAfter(c.to).BuildDer();
        const std::optional<CertificateValidity> validity = DecodeCertificateValidity(der);
        ASSERT_TRUE(validity) << c.what;
        EXPECT_EQ(validity->notBefore, At(c.fromSeconds)) << c.what;
        EXPECT_EQ(validity->notAfter, At(c.toSeconds)) << c.what;
    }
}

TEST(CertificateValidityTest, OnlyBytesThatAreOneCertificateHaveAPeriod) {
    const std::string der = CertBuilder().BuildDer();
    ASSERT_TRUE(DecodeCertificateValidity(der));
    EXPECT_FALSE(DecodeCertificateValidity(""));
    EXPECT_FALSE(DecodeCertificateValidity(der + '\0'));
    EXPECT_FALSE(DecodeCertificateValidity(der.substr(0, der.size() - 1)));
    EXPECT_FALSE(DecodeCertificateValidity(DerToPem(der)));
    EXPECT_FALSE(DecodeCertificateValidity(PrivateKeyDer(KeyParams::Rsa(2048))));
    // A time that is no time.
    EXPECT_FALSE(DecodeCertificateValidity(
        CertBuilder().NotAfter(CertTime::UtcTime("251340000000Z")).BuildDer()));
}

TEST(CertificateValidityTest, ARowKeepsThePeriodAlsoWhereItsListEndsInAnError) {
    TempFolder temp;
    // No alternative-name extension: the list stops after the signature algorithm.
    const auto noSan = temp.path() / "nosan.crt";
    WriteFileBytes(noSan, CertBuilder()
                              .NotBefore(CertTime::Utc(1704067200))
                              .NotAfter(CertTime::Utc(1735689599))
                              .BuildDer());
    const ListedFile file = ReadListedFile(noSan);
    ASSERT_EQ(file.properties.size(), 2u);
    EXPECT_EQ(file.properties.back().name, u"Error");
    EXPECT_EQ(file.properties, ReadCertificateProperties(noSan));
    ASSERT_TRUE(file.validity);
    EXPECT_EQ(*file.validity, (CertificateValidity{At(1704067200), At(1735689599)}));

    const auto pem = temp.path() / "pem.crt";
    WriteFileBytes(pem, DerToPem(CertBuilder().BuildDer()));
    EXPECT_FALSE(ReadListedFile(pem).validity);
    EXPECT_FALSE(ReadListedFile(temp.path() / "missing.crt").validity);
    EXPECT_EQ(ReadListedFile(temp.path() / "missing.crt").properties.back().name, u"Error");
    // Keys and requests are not certificates, whatever their bytes.
    const auto key = temp.path() / "web.key";
    WriteFileBytes(key, CertBuilder().BuildDer());
    EXPECT_FALSE(ReadListedFile(key).validity);
    EXPECT_EQ(ReadListedFile(key).properties, PropertiesOfListedFile(key));
}

} // namespace
