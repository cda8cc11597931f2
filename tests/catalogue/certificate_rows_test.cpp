#include "catalogue/certificate_rows.h"

#include <gtest/gtest.h>

#include <string>

namespace fs = std::filesystem;

namespace {

TEST(CertificateRowsTest, KindIsDecidedBySubstringsOfTheWholePath) {
    struct Case {
        const char* path;
        ListedFileKind kind;
    } cases[] = {
        {"/f/a.crt", ListedFileKind::Certificate}, {"/f/a.crt.key", ListedFileKind::Certificate},
        {"/f/a.key", ListedFileKind::Key},         {"/f/a.key.csr", ListedFileKind::Key},
        {"/f/a.csr", ListedFileKind::Request},     {"/f.crt/a.key", ListedFileKind::Certificate},
        {"/f/a.CRT.csr", ListedFileKind::Request},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KindOfListedFile(c.path), c.kind) << c.path;
}

TEST(CertificateRowsTest, KeyAndRequestRowsHaveOneFileTypeEntry) {
    EXPECT_EQ(PropertiesOfListedFile("/nowhere/a.key"),
              (CertPropertyList{{u"File Type", u"Key File"}}));
    EXPECT_EQ(PropertiesOfListedFile("/nowhere/a.csr"),
              (CertPropertyList{{u"File Type", u"CSR File"}}));
    // A certificate row is decoded; a missing file still yields a list.
    const CertPropertyList missing = PropertiesOfListedFile("/nowhere/a.crt");
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(missing[0].name, u"Error");
}

TEST(CertificateRowsTest, CellsTakeTheLastEntryOfEachNameAndTheWholeFileName) {
    const CertPropertyList properties = {
        {u"Signature Algorithm", u"SHA256RSA"},
        {u"Common Name", u"first"},
        {u"common name", u"wrong case"},
        {u"Common Name", u"second"},
        {u"Valid Date From", u"2024-01-01 09:00:00"},
        {u"Valid Date To", u"2025-01-01 09:00:00"},
    };
    const std::string longName(250, 'n');
    const fs::path deep =
        fs::path("/" + std::string(200, 'd')) / std::string(200, 'e') / (longName + ".crt");
    const CertificateRowCells cells = CellsOfRow(deep, properties);
    EXPECT_EQ(cells.fileName, std::u16string(250, u'n') + u".crt");
    EXPECT_EQ(cells.commonName, u"second");
    EXPECT_EQ(cells.validFrom, u"2024-01-01 09:00:00");
    EXPECT_EQ(cells.validTo, u"2025-01-01 09:00:00");

    const CertificateRowCells keyCells =
        CellsOfRow("/f/caf\xE9.key", {{u"File Type", u"Key File"}});
    EXPECT_EQ(keyCells.fileName, u"caf\uFFFD.key");
    EXPECT_TRUE(keyCells.commonName.empty());
    EXPECT_TRUE(keyCells.validFrom.empty());
    EXPECT_TRUE(keyCells.validTo.empty());
}

} // namespace
