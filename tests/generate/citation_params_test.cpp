#include "generate/citation_params.h"

#include "generate_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::filesystem::path kFolder = "/home/u/.local/share/Morvel/Certificates";

// The list the decoder gives for a fully decoded certificate.
CertPropertyList DecodedCertificate() {
    return {
        {u"Signature Algorithm", u"sha256RSA"},
        {u"Alternative Name(URL)", u"urn:0123ABCD:quillet.morvel.example"},
        {u"Alternative Name(IP Address)", u"10.0.0.1"},
        {u"Country Name", u"JP"},
        {u"State or Province Name", u"Tokyo"},
        {u"Locality Name", u"Minato"},
        {u"Organization Name", u"Morvel & Co"},
        {u"Organizational Unit", u"Dev"},
        {u"Common Name", u"web"},
        {u"E-mail Address", u"ops@morvel.example"},
        {u"Key Size", u"4096"},
        {u"Valid Date From", u"2025-04-22 07:43:39"},
        {u"Valid Date To", u"2026-04-22 07:43:39"},
    };
}

TEST(MakeNewParams, IsEmptyButForTheFolderKeySizeAndAlgorithm) {
    for (const std::filesystem::path& folder :
         {kFolder, std::filesystem::path(), std::filesystem::path("/d\xff/")}) {
        CertGenParams expected;
        expected.outputDirectory = folder;
        const CertGenParams p = MakeNewParams(folder);
        EXPECT_EQ(p, expected);
        EXPECT_EQ(p.keySize, 2048);
        EXPECT_EQ(p.keyAlgorithm, 2);
    }
}

TEST(MakeCitationParams, CarriesTheDecodedFieldsOver) {
    CertGenParams expected;
    expected.validDays = u"365";
    expected.keySize = 4096;
    expected.countryName = u"JP";
    expected.stateOrProvince = u"Tokyo";
    expected.locality = u"Minato";
    expected.organizationName = u"Morvel & Co";
    expected.organizationalUnit = u"Dev";
    expected.commonName = u"web";
    expected.emailAddress = u"ops@morvel.example";
    expected.ipAddress = u"10.0.0.1";
    expected.outputDirectory = kFolder;
    EXPECT_EQ(MakeCitationParams(DecodedCertificate(), kFolder), expected);
}

TEST(MakeCitationParams, AKeyOrRequestRowGivesTheNewRecord) {
    for (const std::u16string type : {u"Private Key", u"Certificate Signing Request", u""})
        EXPECT_EQ(MakeCitationParams({{u"File Type", type}}, kFolder), MakeNewParams(kFolder));
    EXPECT_EQ(MakeCitationParams({}, kFolder), MakeNewParams(kFolder));
}

TEST(MakeCitationParams, NeverCarriesFileNameSerialNumberOrAlgorithm) {
    CertPropertyList list = DecodedCertificate();
    list.push_back({u"File Name", u"web.crt"});
    list.push_back({u"fileName", u"web"});
    list.push_back({u"Serial Number", u"0123ABCD"});
    list.push_back({u"Key Algorithm", u"0"});
    list.push_back({u"Error", u"Failed to decode."});
    const CertGenParams p = MakeCitationParams(list, kFolder);
    EXPECT_EQ(p.fileName, u"");
    EXPECT_EQ(p.serialNumber, u"");
    EXPECT_EQ(p.keyAlgorithm, 2);
    EXPECT_EQ(p.outputDirectory.native(), kFolder.native());
}

TEST(MakeCitationParams, CopiesValuesUnchanged) {
    const std::u16string odd = u"  A/B \"C\" \u00E9\t" + std::u16string(200, u'x');
    const CertGenParams p = MakeCitationParams(
        {{u"Common Name", odd}, {u"Alternative Name(IP Address)", u" 1.2"}}, kFolder);
    EXPECT_EQ(p.commonName, odd);
    EXPECT_EQ(p.ipAddress, u" 1.2");
}

TEST(MakeCitationParams, TheLastOccurrenceOfANameWins) {
    const CertGenParams p = MakeCitationParams({{u"Common Name", u"first"},
                                                {u"Organizational Unit", u"Unit A"},
                                                {u"Alternative Name(IP Address)", u"10.0.0.1"},
                                                {u"Common Name", u"second"},
                                                {u"Organizational Unit", u"Unit B"},
                                                {u"Alternative Name(IP Address)", u"10.0.0.2"},
                                                {u"Key Size", u"1024"},
                                                {u"Key Size", u"2048 bits"}},
                                               kFolder);
    EXPECT_EQ(p.commonName, u"second");
    EXPECT_EQ(p.organizationalUnit, u"Unit B");
    EXPECT_EQ(p.ipAddress, u"10.0.0.2");
    EXPECT_EQ(p.keySize, 2048);
}

TEST(MakeCitationParams, IgnoresNamesInOtherLetterCase) {
    const CertPropertyList list{{u"common name", u"a"},
                                {u"COMMON NAME", u"b"},
                                {u"Common name", u"c"},
                                {u"Key size", u"4096"},
                                {u"valid date from", u"2025-04-22 07:43:39"},
                                {u"Valid Date to", u"2026-04-22 07:43:39"},
                                {u"Common Name ", u"d"},
                                {u"country name", u"JP"}};
    EXPECT_EQ(MakeCitationParams(list, kFolder), MakeNewParams(kFolder));
}

struct KeySizeCase {
    std::u16string value;
    std::int32_t keySize;
};

void PrintTo(const KeySizeCase& c, std::ostream* os) {
    *os << Escaped(c.value);
}

class CitationKeySizeTest : public testing::TestWithParam<KeySizeCase> {};

TEST_P(CitationKeySizeTest, ReadsTheLeadingDecimalNumber) {
    EXPECT_EQ(MakeCitationParams({{u"Key Size", GetParam().value}}, kFolder).keySize,
              GetParam().keySize);
}

INSTANTIATE_TEST_SUITE_P(Cases, CitationKeySizeTest,
                         testing::Values(KeySizeCase{u"4096", 4096},
                                         KeySizeCase{u"2048 bits", 2048}, KeySizeCase{u"x", 0},
                                         KeySizeCase{u"", 0}, KeySizeCase{u" 1024", 1024},
                                         KeySizeCase{u"-1", -1}, KeySizeCase{u"0x400", 0},
                                         KeySizeCase{u"99999999999", 2147483647}));

TEST(MakeCitationParams, WithoutKeySizeKeeps2048) {
    EXPECT_EQ(MakeCitationParams({{u"Common Name", u"web"}}, kFolder).keySize, 2048);
}

// A start and end value; an empty text leaves that property out.
struct SpanCase {
    std::u16string from;
    std::u16string to;
    std::u16string validDays;
};

void PrintTo(const SpanCase& c, std::ostream* os) {
    *os << Escaped(c.from) << " to " << Escaped(c.to);
}

class CitationValidDaysTest : public testing::TestWithParam<SpanCase> {};

TEST_P(CitationValidDaysTest, CountsWholeDaysFromStartToEnd) {
    CertPropertyList list{{u"Common Name", u"web"}};
    if (!GetParam().from.empty())
        list.push_back({u"Valid Date From", GetParam().from});
    if (!GetParam().to.empty())
        list.push_back({u"Valid Date To", GetParam().to});
    EXPECT_EQ(MakeCitationParams(list, kFolder).validDays, GetParam().validDays);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CitationValidDaysTest,
    testing::Values(SpanCase{u"2025-04-22 07:43:39", u"2026-04-22 07:43:39", u"365"},
                    SpanCase{u"2025-04-22 07:43:39", u"2026-04-22 07:43:38", u"364"},
                    SpanCase{u"2024-01-01 00:00:00", u"2025-01-01 00:00:00", u"366"},
                    SpanCase{u"2025-04-22 07:43:39", u"2025-04-23 07:43:38", u"0"},
                    SpanCase{u"2025-04-22 07:43:39", u"2025-04-22 07:43:40", u"0"},
                    SpanCase{u"2025-04-22 07:43:39", u"2025-04-22 07:43:39", u""},
                    SpanCase{u"2026-04-22 07:43:39", u"2025-04-22 07:43:39", u""},
                    SpanCase{u"2025-04-22 00:00:00", u"2045-04-17 00:00:00", u"7300"},
                    // No start: the count runs from 1601-01-01 00:00:00.
                    SpanCase{u"", u"2026-04-22 07:43:39", u"155339"},
                    SpanCase{u"", u"1970-01-01 00:00:00", u"134774"},
                    SpanCase{u"2025-04-22 07:43:39", u"", u""},
                    // Text after the date still matches and is read from the start.
                    SpanCase{u"2025-04-22 07:43:39 JST", u"2026-04-22 07:43:39 (local time)",
                             u"365"},
                    // A value without the pattern is ignored.
                    SpanCase{u"2025/04/22 07:43:39", u"2026-04-22 07:43:39", u"155339"},
                    SpanCase{u"2025-04-22 07:43:39", u"never", u""},
                    // The pattern after other text, or an impossible date: read as no date.
                    SpanCase{u"from 2025-04-22 07:43:39", u"2026-04-22 07:43:39", u"155339"},
                    SpanCase{u"2025-04-22 07:43:39", u"2026-02-29 07:43:39", u""},
                    SpanCase{u"1600-04-22 07:43:39", u"1970-01-01 00:00:00", u"134774"}));

TEST(MakeCitationParams, ADateWithoutThePatternKeepsTheEarlierOne) {
    const CertPropertyList list{{u"Valid Date From", u"2025-04-22 07:43:39"},
                                {u"Valid Date To", u"2026-04-22 07:43:39"},
                                {u"Valid Date From", u"unknown"},
                                {u"Valid Date To", u"2026/04/22"}};
    EXPECT_EQ(MakeCitationParams(list, kFolder).validDays, u"365");
}

TEST(MakeCitationParams, TheLastDateWithThePatternWins) {
    const CertPropertyList list{{u"Valid Date From", u"2025-04-22 07:43:39"},
                                {u"Valid Date To", u"2026-04-22 07:43:39"},
                                {u"Valid Date From", u"2025-04-23 07:43:39"}};
    EXPECT_EQ(MakeCitationParams(list, kFolder).validDays, u"364");
}

} // namespace
