#include "generate/cert_gen_params.h"

#include "generate_test_support.h"

#include <gtest/gtest.h>

TEST(CertGenParams, DefaultsAreEmptyTextRsaAnd2048Bits) {
    const CertGenParams p;
    for (const std::u16string* field :
         {&p.fileName, &p.validDays, &p.countryName, &p.stateOrProvince, &p.locality,
          &p.organizationName, &p.organizationalUnit, &p.commonName, &p.emailAddress, &p.ipAddress,
          &p.serialNumber})
        EXPECT_TRUE(field->empty());
    EXPECT_TRUE(p.outputDirectory.empty());
    EXPECT_EQ(p.keySize, 2048);
    EXPECT_EQ(p.keyAlgorithm, 2);
}

TEST(CertGenParams, ACopyOwnsItsFields) {
    CertGenParams source;
    source.commonName = u"web";
    source.outputDirectory = "/x";
    CertGenParams copy = source;
    copy.commonName += u"2";
    copy.outputDirectory += "y";
    copy.keySize = 4096;
    EXPECT_EQ(source.commonName, u"web");
    EXPECT_EQ(source.outputDirectory.native(), "/x");
    EXPECT_EQ(source.keySize, 2048);
    EXPECT_NE(copy, source);
}

TEST(CertGenParams, EqualityComparesTheDirectoryByItsBytes) {
    CertGenParams a, b;
    a.outputDirectory = "/x//y";
    b.outputDirectory = "/x/y";
    EXPECT_NE(a, b);
    b.outputDirectory = "/x//y";
    EXPECT_EQ(a, b);
}
