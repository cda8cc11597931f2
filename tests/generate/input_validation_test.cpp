#include "generate/input_validation.h"

#include "generate_test_support.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CertGenParams PreviousParams() {
    CertGenParams previous;
    previous.serialNumber = u"CAFEF00D";
    previous.outputDirectory = "/home/u/.local/share/Morvel/Certificates";
    return previous;
}

TEST(CheckGenerationForm, ValidInputPassesAndIsStored) {
    const GenerationFormCheck check = CheckGenerationForm(ValidFormInput(), PreviousParams());
    EXPECT_EQ(check.errors, u"");
    CertGenParams expected = PreviousParams();
    expected.fileName = u"web";
    expected.validDays = u"365";
    expected.commonName = u"web";
    expected.ipAddress = u"10.0.0.1";
    expected.serialNumber = u"0123ABCD";
    EXPECT_EQ(check.params, expected);
    EXPECT_EQ(check.serialNumberEditText, u"0123ABCD");
}

TEST(CheckGenerationForm, AFormAsOpenedByNewGivesSixMessagesInOrder) {
    GenerationFormInput input;
    input.keySizeItemData = 2048;
    input.keyAlgorithmIndex = 2;
    const GenerationFormCheck check = CheckGenerationForm(input, CertGenParams{});
    EXPECT_EQ(check.errors, u"The File Name is required.\r\n"
                            u"The Valid Days is required.\r\n"
                            u"The Valid Days limited between 1 and 7300.\r\n"
                            u"The Common Name is required.\r\n"
                            u"The IP Address is invalid.\r\n"
                            u"The Serial Number must be set by 8 length hexadecimal.\r\n");
    EXPECT_EQ(check.params, CertGenParams{});
    EXPECT_FALSE(check.serialNumberEditText.has_value());
}

TEST(CheckGenerationForm, EveryFieldIsStoredAlsoWhenItsCheckFails) {
    GenerationFormInput input;
    input.fileName = u"a/b";
    input.validDays = u"0";
    input.countryName = u"jp";
    input.stateOrProvince = u"S?";
    input.locality = u"L*";
    input.organizationName = u"O<";
    input.organizationalUnit = u"U>";
    input.commonName = u"C|";
    input.emailAddress = u"m\"";
    input.ipAddressText = u"0.0.0.0";
    input.serialNumber = u"zzzzzzzz";
    input.keySizeItemData = -1;
    input.keyAlgorithmIndex = -1;
    const GenerationFormCheck check = CheckGenerationForm(input, PreviousParams());
    EXPECT_EQ(check.errors, u"The File Name contains invalid characters.\r\n"
                            u"The Valid Days limited between 1 and 7300.\r\n"
                            u"The Country Name must be written in two uppercase letters.\r\n"
                            u"The State or Province contains invalid character(s).\r\n"
                            u"The Locality contains invalid character(s).\r\n"
                            u"The Organization Name contains invalid character(s).\r\n"
                            u"The Organization Unit  contains invalid character(s).\r\n"
                            u"The Common Name contains invalid character(s).\r\n"
                            u"The E-mail Address contains invalid character(s).\r\n"
                            u"The IP Address is invalid.\r\n"
                            u"The Serial Number has invalid character(s). It's not in "
                            u"hexadecimal format.\r\n");
    const CertGenParams& p = check.params;
    EXPECT_EQ(p.fileName, u"a/b");
    EXPECT_EQ(p.validDays, u"0");
    EXPECT_EQ(p.keySize, -1);
    EXPECT_EQ(p.keyAlgorithm, -1);
    EXPECT_EQ(p.countryName, u"jp");
    EXPECT_EQ(p.stateOrProvince, u"S?");
    EXPECT_EQ(p.locality, u"L*");
    EXPECT_EQ(p.organizationName, u"O<");
    EXPECT_EQ(p.organizationalUnit, u"U>");
    EXPECT_EQ(p.commonName, u"C|");
    EXPECT_EQ(p.emailAddress, u"m\"");
    EXPECT_EQ(p.ipAddress, u"0.0.0.0");
    EXPECT_EQ(p.serialNumber, u"ZZZZZZZZ");
    EXPECT_EQ(p.outputDirectory.native(), PreviousParams().outputDirectory.native());
}

// One text field with a length limit: where it lives and what it reports.
struct LimitedField {
    const char* label;
    std::u16string GenerationFormInput::*input;
    std::u16string CertGenParams::*stored;
    std::size_t limit;
    std::u16string tooLong;
    std::u16string invalid;
};

void PrintTo(const LimitedField& f, std::ostream* os) {
    *os << f.label;
}

class LimitedFieldTest : public testing::TestWithParam<LimitedField> {
protected:
    GenerationFormCheck CheckWith(const std::u16string& text) const {
        GenerationFormInput input = ValidFormInput();
        input.*GetParam().input = text;
        return CheckGenerationForm(input, PreviousParams());
    }
};

TEST_P(LimitedFieldTest, PassesAtTheLimitAndFailsOneUnitPast) {
    const LimitedField& f = GetParam();
    const std::u16string atLimit(f.limit, u'a');
    GenerationFormCheck check = CheckWith(atLimit);
    EXPECT_EQ(check.errors, u"");
    EXPECT_EQ(check.params.*f.stored, atLimit);

    const std::u16string past = atLimit + u"b";
    check = CheckWith(past);
    EXPECT_EQ(check.errors, f.tooLong);
    EXPECT_EQ(check.params.*f.stored, past);
}

TEST_P(LimitedFieldTest, CountsUtf16Units) {
    const LimitedField& f = GetParam();
    std::u16string pairs;
    for (std::size_t i = 0; i < f.limit / 2; ++i)
        pairs += u"\U0001F600"; // one character, two units
    EXPECT_EQ(CheckWith(pairs).errors, u"");
    EXPECT_EQ(CheckWith(pairs + u"\u00E9").errors, f.tooLong);
}

TEST_P(LimitedFieldTest, ReportsEachInvalidCharacter) {
    const LimitedField& f = GetParam();
    for (const char16_t c : std::u16string_view(u"/\\:*?\"<>|")) {
        SCOPED_TRACE(static_cast<int>(c));
        EXPECT_EQ(CheckWith(std::u16string(u"ab") + c + u"cd").errors, f.invalid);
    }
}

TEST_P(LimitedFieldTest, TooLongWithAColonGivesBothMessages) {
    const LimitedField& f = GetParam();
    EXPECT_EQ(CheckWith(std::u16string(f.limit + 5, u'a') + u":").errors, f.tooLong + f.invalid);
}

TEST_P(LimitedFieldTest, AcceptsPunctuationBlanksControlsAndNonAsciiLetters) {
    const LimitedField& f = GetParam();
    for (const std::u16string text :
         {u"Smith & Sons", u"100% 'pure'", u" lead and trail ", u"a=b+c;d$e`f", u"tab\there",
          u"\u30E2\u30FC\u30D9\u30EB", u"M\u00FCnchen", u"\uFF0F\u2215 look-alikes"}) {
        const GenerationFormCheck check = CheckWith(text);
        EXPECT_EQ(check.errors, u"") << Utf16ToUtf8(text);
        EXPECT_EQ(check.params.*f.stored, text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, LimitedFieldTest,
    testing::Values(
        LimitedField{"FileName", &GenerationFormInput::fileName, &CertGenParams::fileName, 64,
                     u"The File Name is limited to 64 characters.\r\n",
                     u"The File Name contains invalid characters.\r\n"},
        LimitedField{"StateOrProvince", &GenerationFormInput::stateOrProvince,
                     &CertGenParams::stateOrProvince, 128,
                     u"The State or Province must be 128 characters or less.\r\n",
                     u"The State or Province contains invalid character(s).\r\n"},
        LimitedField{"Locality", &GenerationFormInput::locality, &CertGenParams::locality, 128,
                     u"The Locality must be 128 characters or less.\r\n",
                     u"The Locality contains invalid character(s).\r\n"},
        LimitedField{"OrganizationName", &GenerationFormInput::organizationName,
                     &CertGenParams::organizationName, 64,
                     u"The Organization Name must be 64 characters or less.\r\n",
                     u"The Organization Name contains invalid character(s).\r\n"},
        LimitedField{"OrganizationalUnit", &GenerationFormInput::organizationalUnit,
                     &CertGenParams::organizationalUnit, 64,
                     u"The Organization Unit must be 64 characters or less.\r\n",
                     u"The Organization Unit  contains invalid character(s).\r\n"},
        LimitedField{"CommonName", &GenerationFormInput::commonName, &CertGenParams::commonName, 64,
                     u"The Common Name must be 64 characters or less.\r\n",
                     u"The Common Name contains invalid character(s).\r\n"},
        LimitedField{"EmailAddress", &GenerationFormInput::emailAddress,
                     &CertGenParams::emailAddress, 128,
                     u"The E-mail Address must be 128 characters or less.\r\n",
                     u"The E-mail Address contains invalid character(s).\r\n"}),
    [](const testing::TestParamInfo<LimitedField>& info) { return info.param.label; });

TEST(CheckGenerationForm, FileNameOfSeventyWithAColonGivesBothMessages) {
    GenerationFormInput input = ValidFormInput();
    input.fileName = std::u16string(69, u'f') + u":";
    EXPECT_EQ(CheckGenerationForm(input, PreviousParams()).errors,
              u"The File Name is limited to 64 characters.\r\n"
              u"The File Name contains invalid characters.\r\n");
}

struct TextCase {
    std::u16string text;
    std::u16string errors;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << Escaped(c.text);
}

class CountryNameTest : public testing::TestWithParam<TextCase> {};

TEST_P(CountryNameTest, IsEmptyOrTwoUppercaseLetters) {
    GenerationFormInput input = ValidFormInput();
    input.countryName = GetParam().text;
    const GenerationFormCheck check = CheckGenerationForm(input, PreviousParams());
    EXPECT_EQ(check.errors, GetParam().errors);
    EXPECT_EQ(check.params.countryName, GetParam().text);
}

const std::u16string kCountryMessage =
    u"The Country Name must be written in two uppercase letters.\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, CountryNameTest,
    testing::Values(TextCase{u"", u""}, TextCase{u"JP", u""}, TextCase{u"ZA", u""},
                    TextCase{u"jp", kCountryMessage}, TextCase{u"Jp", kCountryMessage},
                    TextCase{u"J", kCountryMessage}, TextCase{u"JPN", kCountryMessage},
                    TextCase{u"J1", kCountryMessage}, TextCase{u" JP", kCountryMessage},
                    TextCase{u"\u00C4U", kCountryMessage},
                    TextCase{u"\uFF2A\uFF30", kCountryMessage}));

class ValidDaysTest : public testing::TestWithParam<TextCase> {};

TEST_P(ValidDaysTest, IsRequiredAndBetween1And7300AndKeptAsTyped) {
    GenerationFormInput input = ValidFormInput();
    input.validDays = GetParam().text;
    const GenerationFormCheck check = CheckGenerationForm(input, PreviousParams());
    EXPECT_EQ(check.errors, GetParam().errors);
    EXPECT_EQ(check.params.validDays, GetParam().text);
}

const std::u16string kDaysRange = u"The Valid Days limited between 1 and 7300.\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ValidDaysTest,
    testing::Values(TextCase{u"", u"The Valid Days is required.\r\n" + kDaysRange},
                    TextCase{u"0", kDaysRange}, TextCase{u"7301", kDaysRange},
                    TextCase{u"-1", kDaysRange}, TextCase{u"x", kDaysRange},
                    // 2^32 + 1: must clamp, not wrap round to 1.
                    TextCase{u"4294967297", kDaysRange}, TextCase{u"1", u""},
                    TextCase{u"7300", u""}, TextCase{u"0365", u""}, TextCase{u"365 days", u""}));

struct SerialCase {
    std::u16string text;
    std::u16string errors;
    std::u16string stored;                 // serialNumber afterwards
    std::optional<std::u16string> written; // what goes back into the edit
};

void PrintTo(const SerialCase& c, std::ostream* os) {
    *os << Escaped(c.text);
}

class SerialNumberTest : public testing::TestWithParam<SerialCase> {};

TEST_P(SerialNumberTest, IsEightHexadecimalUnitsUpperCased) {
    const SerialCase& c = GetParam();
    GenerationFormInput input = ValidFormInput();
    input.serialNumber = c.text;
    const GenerationFormCheck check = CheckGenerationForm(input, PreviousParams());
    EXPECT_EQ(check.errors, c.errors);
    EXPECT_EQ(check.params.serialNumber, c.stored);
    EXPECT_EQ(check.serialNumberEditText, c.written);
}

const std::u16string kSerialLength = u"The Serial Number must be set by 8 length hexadecimal.\r\n";
const std::u16string kSerialHex =
    u"The Serial Number has invalid character(s). It's not in hexadecimal format.\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialNumberTest,
    testing::Values(SerialCase{u"0123ABCD", u"", u"0123ABCD", u"0123ABCD"},
                    SerialCase{u"00abcdef", u"", u"00ABCDEF", u"00ABCDEF"},
                    SerialCase{u"0x12abcd", u"", u"0X12ABCD", u"0X12ABCD"},
                    SerialCase{u"FFFFFFFF", u"", u"FFFFFFFF", u"FFFFFFFF"},
                    SerialCase{u"1234567g", kSerialHex, u"1234567G", u"1234567G"},
                    SerialCase{u"12 34567", kSerialHex, u"12 34567", u"12 34567"},
                    SerialCase{u"0xg12345", kSerialHex, u"0XG12345", u"0XG12345"},
                    SerialCase{u"\u00E9234567a", kSerialHex, u"\u00E9234567A", u"\u00E9234567A"},
                    SerialCase{u"1234567", kSerialLength, u"CAFEF00D", std::nullopt},
                    SerialCase{u"123456789", kSerialLength, u"CAFEF00D", std::nullopt},
                    SerialCase{u"", kSerialLength, u"CAFEF00D", std::nullopt},
                    SerialCase{u"\U0001F600123456", kSerialHex, u"\U0001F600123456",
                               u"\U0001F600123456"}));

struct IpCase {
    std::u16string text;
    std::uint32_t value;
    std::u16string errors;
};

void PrintTo(const IpCase& c, std::ostream* os) {
    *os << Escaped(c.text) << " value " << c.value;
}

class IpAddressTest : public testing::TestWithParam<IpCase> {};

TEST_P(IpAddressTest, FailsOnlyForTheZeroAddressAndStoresTheText) {
    GenerationFormInput input = ValidFormInput();
    input.ipAddressText = GetParam().text;
    input.ipAddressValue = GetParam().value;
    const GenerationFormCheck check = CheckGenerationForm(input, PreviousParams());
    EXPECT_EQ(check.errors, GetParam().errors);
    EXPECT_EQ(check.params.ipAddress, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, IpAddressTest,
                         testing::Values(IpCase{u"", 0, u"The IP Address is invalid.\r\n"},
                                         IpCase{u"0.0.0.0", 0, u"The IP Address is invalid.\r\n"},
                                         IpCase{u"0.0.0.1", 1, u""},
                                         IpCase{u"255.255.255.255", 0xFFFFFFFF, u""}));

TEST(CheckGenerationForm, CommonNameIsRequired) {
    GenerationFormInput input = ValidFormInput();
    input.commonName.clear();
    EXPECT_EQ(CheckGenerationForm(input, PreviousParams()).errors,
              u"The Common Name is required.\r\n");
}

TEST(CheckGenerationForm, TextsEndAtTheirFirstNul) {
    GenerationFormInput input = ValidFormInput();
    input.fileName = std::u16string(u"web\0.evil", 9);
    input.commonName = std::u16string(u"\0web", 4);
    input.serialNumber = std::u16string(u"0123ABCD\0x", 10);
    const GenerationFormCheck check = CheckGenerationForm(input, PreviousParams());
    EXPECT_EQ(check.errors, u"The Common Name is required.\r\n");
    EXPECT_EQ(check.params.fileName, u"web");
    EXPECT_EQ(check.params.commonName, u"");
    EXPECT_EQ(check.params.serialNumber, u"0123ABCD");
    EXPECT_EQ(GeneratorOutputPaths(check.params)[0].native(),
              PreviousParams().outputDirectory.native() + "/web.key");
}

TEST(CheckGenerationForm, EveryTextEndsAtItsFirstNul) {
    GenerationFormInput input = ValidFormInput();
    input.countryName = u"JP";
    input.stateOrProvince = u"Tokyo";
    input.locality = u"Chiyoda";
    input.organizationName = u"Example";
    input.organizationalUnit = u"Web";
    input.emailAddress = u"web@example.jp";
    const GenerationFormCheck plain = CheckGenerationForm(input, PreviousParams());
    ASSERT_EQ(plain.errors, u"");

    // Past the NUL: an invalid character and more than any limit allows.
    const std::u16string tail = std::u16string(1, u'\0') + u":" + std::u16string(200, u'x');
    for (std::u16string GenerationFormInput::*text :
         {&GenerationFormInput::fileName, &GenerationFormInput::validDays,
          &GenerationFormInput::countryName, &GenerationFormInput::stateOrProvince,
          &GenerationFormInput::locality, &GenerationFormInput::organizationName,
          &GenerationFormInput::organizationalUnit, &GenerationFormInput::commonName,
          &GenerationFormInput::emailAddress, &GenerationFormInput::ipAddressText,
          &GenerationFormInput::serialNumber})
        input.*text += tail;
    const GenerationFormCheck check = CheckGenerationForm(input, PreviousParams());
    EXPECT_EQ(check.errors, u"");
    EXPECT_EQ(check.params, plain.params);
    EXPECT_EQ(check.serialNumberEditText, plain.serialNumberEditText);
}

TEST(CheckGenerationForm, ValidDaysCountryAndIpAddressHaveNoLengthOrCharacterCheck) {
    GenerationFormInput input = ValidFormInput();
    input.validDays = std::u16string(200, u'0') + u"365/*?";
    input.ipAddressText = std::u16string(200, u' ') + u"10.0.0.1:|";
    GenerationFormCheck check = CheckGenerationForm(input, PreviousParams());
    EXPECT_EQ(check.errors, u"");
    EXPECT_EQ(check.params.validDays, input.validDays);
    EXPECT_EQ(check.params.ipAddress, input.ipAddressText);

    input.countryName = u"J:";
    check = CheckGenerationForm(input, PreviousParams());
    EXPECT_EQ(check.errors, u"The Country Name must be written in two uppercase letters.\r\n");
}

struct CharacterCase {
    std::u16string text;
    bool invalid;
};

void PrintTo(const CharacterCase& c, std::ostream* os) {
    *os << Escaped(c.text);
}

class ContainsInvalidCharactersTest : public testing::TestWithParam<CharacterCase> {};

TEST_P(ContainsInvalidCharactersTest, KnowsExactlyNineCharacters) {
    EXPECT_EQ(ContainsInvalidCharacters(GetParam().text), GetParam().invalid);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ContainsInvalidCharactersTest,
    testing::Values(CharacterCase{u"/", true}, CharacterCase{u"\\", true},
                    CharacterCase{u":", true}, CharacterCase{u"*", true}, CharacterCase{u"?", true},
                    CharacterCase{u"\"", true}, CharacterCase{u"<", true},
                    CharacterCase{u">", true}, CharacterCase{u"|", true},
                    CharacterCase{u"long name ending in |", true}, CharacterCase{u"", false},
                    CharacterCase{u"&%' ;=+$`!#~", false}, CharacterCase{u"\t\r\n\x01", false},
                    CharacterCase{u"\uFF0F\uFF3C\uFF1A\u2215", false},
                    CharacterCase{std::u16string(u"a\0b", 3), false}));

TEST(GeneratorOutputPaths, AreKeyCsrCrtWithTheSlashAlwaysInserted) {
    CertGenParams params;
    params.fileName = u"web";
    params.outputDirectory = "/x";
    auto paths = GeneratorOutputPaths(params);
    EXPECT_EQ(paths[0].native(), "/x/web.key");
    EXPECT_EQ(paths[1].native(), "/x/web.csr");
    EXPECT_EQ(paths[2].native(), "/x/web.crt");

    params.outputDirectory = "/x/";
    EXPECT_EQ(GeneratorOutputPaths(params)[0].native(), "/x//web.key");

    params.outputDirectory = std::string("/d\xff\xfe");
    params.fileName = u"M\u00FCnchen";
    EXPECT_EQ(GeneratorOutputPaths(params)[2].native(), "/d\xff\xfe/M\xc3\xbc"
                                                        "nchen.crt");
}

TEST(AnyGeneratorOutputExists, SeesAnyOfTheThreeFilesAndDanglingLinks) {
    TempFolder folder;
    CertGenParams params;
    params.fileName = u"web";
    params.outputDirectory = folder.path();
    EXPECT_FALSE(AnyGeneratorOutputExists(params));

    for (const char* extension : {".key", ".csr", ".crt"}) {
        SCOPED_TRACE(extension);
        const auto path = folder.path() / (std::string("web") + extension);
        WriteFileBytes(path, "x");
        EXPECT_TRUE(AnyGeneratorOutputExists(params));
        std::filesystem::remove(path);
        EXPECT_FALSE(AnyGeneratorOutputExists(params));
    }

    std::filesystem::create_symlink(folder.path() / "missing", folder.path() / "web.csr");
    EXPECT_TRUE(AnyGeneratorOutputExists(params));

    params.fileName = u"other";
    EXPECT_FALSE(AnyGeneratorOutputExists(params));
    params.outputDirectory = folder.path() / "no such folder";
    EXPECT_FALSE(AnyGeneratorOutputExists(params));
}

} // namespace
