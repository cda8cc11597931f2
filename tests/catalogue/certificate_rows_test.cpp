#include "catalogue/certificate_rows.h"
#include "catalogue/display_text.h"

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

TEST(CertificateRowsTest, HiddenAndReorderingCharactersAreShownAsEscapes) {
    const struct {
        std::u16string text;
        std::u16string shown;
    } cases[] = {
        {u"plain text, caf\u00E9 \u65E5\u672C", u"plain text, caf\u00E9 \u65E5\u672C"},
        {u"a\nb\tc\rd", u"a<U+000A>b<U+0009>c<U+000D>d"},
        {std::u16string(u"nul\0x", 5), u"nul<U+0000>x"},
        {u"del\u007F c1\u0085\u009F", u"del<U+007F> c1<U+0085><U+009F>"},
        {u"\u200E\u200F\u202A\u202B\u202C\u202D\u202E\u2066\u2067\u2068\u2069\u061C",
         u"<U+200E><U+200F><U+202A><U+202B><U+202C><U+202D><U+202E><U+2066><U+2067><U+2068>"
         u"<U+2069><U+061C>"},
        {u"zero\u200Bwidth\u200C\u200D\u2060\uFEFF",
         u"zero<U+200B>width<U+200C><U+200D><U+2060><U+FEFF>"},
        {u"line\u2028para\u2029", u"line<U+2028>para<U+2029>"},
        {u"tag\U000E0041 emoji \U0001F600", u"tag<U+E0041> emoji \U0001F600"},
        {u"lone \xD800 surrogate", u"lone \uFFFD surrogate"},
        {u"<U+202E> typed literally", u"<U+202E> typed literally"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeForDisplay(c.text), c.shown);

    // Every cell of a row is shown escaped; the property list itself is not touched.
    const CertPropertyList properties = {{u"Common Name", u"evil\u202Etxt.exe"},
                                         {u"Valid Date From", u"2024\n"},
                                         {u"Valid Date To", u"\u200B2025"}};
    const CertificateRowCells cells = CellsOfRow("/f/secret\xE2\x80\xAEyek.crt", properties);
    EXPECT_EQ(cells.fileName, u"secret<U+202E>yek.crt");
    EXPECT_EQ(cells.commonName, u"evil<U+202E>txt.exe");
    EXPECT_EQ(cells.validFrom, u"2024<U+000A>");
    EXPECT_EQ(cells.validTo, u"<U+200B>2025");
    EXPECT_EQ(properties[0].value, u"evil\u202Etxt.exe");
}

} // namespace
