// Hostile values typed into the form, taken the whole way: the form's checks, the argument
// vector built from what they stored, and the real script. Each value is either refused by the
// form with its message, or ends up verbatim in the certificate (or is refused by the script
// with its exit code); no file ever appears outside the output folder.
#include "../generate_test_support.h"
#include "generate/generator_command.h"
#include "generate/input_validation.h"
#include "platform/text_codec.h"
#include "script_test_support.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct HostileCase {
    const char* label;
    std::function<void(GenerationFormInput&)> edit;
    std::u16string formMessage;     // non-empty: the form refuses the input with this message
    int scriptCode = 0;             // otherwise the script's exit code
    const char* property = nullptr; // decoded entry that must hold `expected` after a run
    std::string expected;
};

// Test names and failure output show the case's label rather than its bytes.
void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.label;
}

std::u16string U16(const std::string& utf8) {
    return Utf8ToUtf16(utf8);
}

const std::vector<HostileCase>& Cases() {
    static const std::string longText(10000, 'a');
    static const std::vector<HostileCase> cases = {
        {"NewlineInCommonName",
         [](auto& in) { in.commonName = u"two\nlines"; },
         {},
         0,
         "Common Name",
         "two\nlines"},
        {"TabInLocality", [](auto& in) { in.locality = u"a\tb"; }, {}, 0, "Locality Name", "a\tb"},
        {"CommandSubstitutionInCommonName",
         [](auto& in) { in.commonName = u"$(touch PWNED)"; },
         {},
         0,
         "Common Name",
         "$(touch PWNED)"},
        {"BackquotesInOrganization",
         [](auto& in) { in.organizationName = u"`touch PWNED`"; },
         {},
         0,
         "Organization Name",
         "`touch PWNED`"},
        {"ShellAndSubjectCharacters",
         [](auto& in) { in.organizationalUnit = u"a;b&c%d=e+f'g $HOME"; },
         {},
         0,
         "Organizational Unit",
         "a;b&c%d=e+f'g $HOME"},
        {"NonAsciiLetters",
         [](auto& in) { in.commonName = U16("証明書 été"); },
         {},
         0,
         "Common Name",
         "証明書 été"},
        {"LeadingDashInCommonName",
         [](auto& in) { in.commonName = u"-subj"; },
         {},
         0,
         "Common Name",
         "-subj"},
        {"TenThousandCharacterCommonName", [](auto& in) { in.commonName = U16(longText); },
         u"The Common Name must be 64 characters or less.\r\n", 0, nullptr, ""},
        {"TenThousandCharacterLocality", [](auto& in) { in.locality = U16(longText); },
         u"The Locality must be 128 characters or less.\r\n", 0, nullptr, ""},
        {"DotDotSlashFileName", [](auto& in) { in.fileName = u"../x"; },
         u"The File Name contains invalid characters.\r\n", 0, nullptr, ""},
        {"DashFileName", [](auto& in) { in.fileName = u"-x"; }, {}, 0, "Common Name", "web"},
        {"IpWithLeadingZeros",
         [](auto& in) { in.ipAddressText = u"010.000.000.001"; },
         {},
         0,
         "Alternative Name(IP Address)",
         "10.0.0.1"},
        {"NegativeSerial", [](auto& in) { in.serialNumber = u"-1234567"; }, {}, -15, nullptr, ""},
        {"HexPrefixedSerial",
         [](auto& in) { in.serialNumber = u"0x123456"; },
         {},
         0,
         "Alternative Name(URL)",
         "urn:0X123456:quillet.morvel.example"},
        {"LongestValidity", [](auto& in) { in.validDays = u"7300"; }, {}, 0, "Common Name", "web"},
        {"OneDayTooMany", [](auto& in) { in.validDays = u"7301"; },
         u"The Valid Days limited between 1 and 7300.\r\n", 0, nullptr, ""},
    };
    return cases;
}

class HostileFormInputTest : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileFormInputTest, IsRefusedOrWrittenVerbatim) {
    const HostileCase& c = GetParam();
    TempFolder root;
    const fs::path out = root.path() / "out";
    fs::create_directory(out);
    fs::permissions(out, fs::perms(0755)); // whatever the umask: the script refuses open folders

    GenerationFormInput input = ValidFormInput();
    input.keySizeItemData = 1024; // quick to make
    c.edit(input);
    CertGenParams previous;
    previous.outputDirectory = out;
    const GenerationFormCheck check = CheckGenerationForm(input, previous);
    if (!c.formMessage.empty()) {
        EXPECT_NE(check.errors.find(c.formMessage), std::u16string::npos)
            << Utf16ToUtf8(check.errors);
        return;
    }
    ASSERT_TRUE(check.errors.empty()) << Utf16ToUtf8(check.errors);
    const auto args = BuildGeneratorArguments(check.params);
    ASSERT_TRUE(args);

    ProgramOptions options;
    options.workingFolder = root.path();
    const ProgramResult result = RunProgram(ScriptPath(), *args, options);
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exitStatus, ScriptStatus(c.scriptCode)) << result.err;

    // Nothing beside the output folder, and in it only the three files of a successful run.
    EXPECT_EQ(FolderEntries(root.path()), std::vector<std::string>{"out"});
    const std::string base = Utf16ToUtf8(check.params.fileName);
    if (c.scriptCode != 0) {
        EXPECT_TRUE(FolderEntries(out).empty());
        return;
    }
    EXPECT_EQ(FolderEntries(out),
              (std::vector<std::string>{base + ".crt", base + ".csr", base + ".key"}));
    const std::vector<std::string> values = DecodedValues(out / (base + ".crt"), c.property);
    ASSERT_FALSE(values.empty()) << c.property;
    EXPECT_EQ(values.back(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Values, HostileFormInputTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<HostileCase>& info) {
                             return std::string(info.param.label);
                         });

} // namespace
