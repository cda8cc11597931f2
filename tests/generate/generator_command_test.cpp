#include "generate/generator_command.h"

#include "generate_test_support.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <string>
#include <vector>

namespace {

// The record of a typical run after the form's checks.
CertGenParams WebParams() {
    CertGenParams p;
    p.fileName = u"web";
    p.validDays = u"0365";
    p.commonName = u"web";
    p.ipAddress = u"10.0.0.1";
    p.serialNumber = u"0123ABCD";
    p.outputDirectory = "/x";
    return p;
}

std::u16string Text(std::string_view utf8) {
    return Utf8ToUtf16(utf8);
}

TEST(BuildGeneratorCommandLine, WritesTheTypicalRunInTableOrder) {
    EXPECT_EQ(BuildGeneratorCommandLine(WebParams()),
              Text("./tool/Quillet.sh -f \"web\" -d 365 -b 2048 -t RSA -cn \"web\" -ip 10.0.0.1 "
                   "-sn \"urn:0123ABCD:quillet.morvel.example\" -D \"/x\" -p \"\""));
    EXPECT_EQ(BuildGeneratorArguments(WebParams()),
              (std::vector<std::string>{
                  "-f", "web", "-d", "365", "-b", "2048", "-t", "RSA", "-cn", "web", "-ip",
                  "10.0.0.1", "-sn", "urn:0123ABCD:quillet.morvel.example", "-D", "/x", "-p", ""}));
}

TEST(BuildGeneratorCommandLine, AnEmptyRecordStillPassesKeyAlgorithmFolderAndPassphrase) {
    EXPECT_EQ(BuildGeneratorCommandLine(CertGenParams{}),
              Text("./tool/Quillet.sh -b 2048 -t RSA -D \"\" -p \"\""));
    EXPECT_EQ(BuildGeneratorArguments(CertGenParams{}),
              (std::vector<std::string>{"-b", "2048", "-t", "RSA", "-D", "", "-p", ""}));
}

struct OptionalFieldCase {
    const char* label;
    std::u16string CertGenParams::*field;
    std::string name;     // its switch
    std::string expected; // the typical run's line with this field set to "a b"
};

void PrintTo(const OptionalFieldCase& c, std::ostream* os) {
    *os << c.label;
}

class OptionalFieldTest : public testing::TestWithParam<OptionalFieldCase> {};

TEST_P(OptionalFieldTest, AddsItsSwitchAtItsPlace) {
    CertGenParams p = WebParams();
    p.*GetParam().field = u"a b";
    EXPECT_EQ(BuildGeneratorCommandLine(p), Text(GetParam().expected));
}

TEST_P(OptionalFieldTest, AddsItsSwitchWhateverElseIsEmpty) {
    CertGenParams p;
    p.*GetParam().field = u"v";
    EXPECT_EQ(BuildGeneratorArguments(p),
              (std::vector<std::string>{"-b", "2048", "-t", "RSA", GetParam().name, "v", "-D", "",
                                        "-p", ""}));
}

const std::string kHead = "./tool/Quillet.sh -f \"web\" -d 365 -b 2048 -t RSA";
const std::string kTail = " -ip 10.0.0.1 -sn \"urn:0123ABCD:quillet.morvel.example\" -D \"/x\" "
                          "-p \"\"";

INSTANTIATE_TEST_SUITE_P(
    Fields, OptionalFieldTest,
    testing::Values(OptionalFieldCase{"Country", &CertGenParams::countryName, "-c",
                                      kHead + " -c \"a b\" -cn \"web\"" + kTail},
                    OptionalFieldCase{"State", &CertGenParams::stateOrProvince, "-st",
                                      kHead + " -st \"a b\" -cn \"web\"" + kTail},
                    OptionalFieldCase{"Locality", &CertGenParams::locality, "-l",
                                      kHead + " -l \"a b\" -cn \"web\"" + kTail},
                    OptionalFieldCase{"Organization", &CertGenParams::organizationName, "-o",
                                      kHead + " -o \"a b\" -cn \"web\"" + kTail},
                    OptionalFieldCase{"Unit", &CertGenParams::organizationalUnit, "-ou",
                                      kHead + " -ou \"a b\" -cn \"web\"" + kTail},
                    OptionalFieldCase{"Email", &CertGenParams::emailAddress, "-m",
                                      kHead + " -cn \"web\" -m \"a b\"" + kTail}),
    [](const testing::TestParamInfo<OptionalFieldCase>& info) { return info.param.label; });

TEST(BuildGeneratorCommandLine, WritesEverySwitchInOrderWhenAllFieldsAreSet) {
    CertGenParams p = WebParams();
    p.keySize = 4096;
    p.countryName = u"JP";
    p.stateOrProvince = u"Tokyo";
    p.locality = u"Minato";
    p.organizationName = u"Morvel";
    p.organizationalUnit = u"Dev";
    p.emailAddress = u"a@b.example";
    EXPECT_EQ(BuildGeneratorCommandLine(p),
              Text("./tool/Quillet.sh -f \"web\" -d 365 -b 4096 -t RSA -c \"JP\" -st \"Tokyo\" "
                   "-l \"Minato\" -o \"Morvel\" -ou \"Dev\" -cn \"web\" -m \"a@b.example\" "
                   "-ip 10.0.0.1 -sn \"urn:0123ABCD:quillet.morvel.example\" -D \"/x\" -p \"\""));
}

struct DaysCase {
    std::u16string validDays;
    std::string printed;
};

void PrintTo(const DaysCase& c, std::ostream* os) {
    *os << Escaped(c.validDays);
}

class ValidDaysSwitchTest : public testing::TestWithParam<DaysCase> {};

TEST_P(ValidDaysSwitchTest, PrintsTheReadNumber) {
    CertGenParams p;
    p.validDays = GetParam().validDays;
    const auto args = BuildGeneratorArguments(p);
    ASSERT_TRUE(args);
    ASSERT_GE(args->size(), 2u);
    EXPECT_EQ((*args)[0], "-d");
    EXPECT_EQ((*args)[1], GetParam().printed);
}

INSTANTIATE_TEST_SUITE_P(Cases, ValidDaysSwitchTest,
                         testing::Values(DaysCase{u"0365", "365"}, DaysCase{u" 7", "7"},
                                         DaysCase{u"-12", "-12"}, DaysCase{u"abc", "0"},
                                         DaysCase{u"99999999999", "2147483647"},
                                         DaysCase{u"-99999999999", "-2147483648"}));

TEST(BuildGeneratorCommandLine, GivesNothingForAnAlgorithmOtherThanRsa) {
    for (const int algorithm : {0, 1, -1, 3}) {
        CertGenParams p = WebParams();
        p.keyAlgorithm = algorithm;
        EXPECT_FALSE(BuildGeneratorCommandLine(p)) << algorithm;
        EXPECT_FALSE(BuildGeneratorArguments(p)) << algorithm;
    }
}

TEST(BuildGeneratorArguments, PassesValuesUnquotedAndTheFolderAsItsBytes) {
    CertGenParams p = WebParams();
    p.fileName = u"my \"web\" $(rm -rf ~) `x` ; & 100% 'q'";
    p.commonName = u"M\u00FCnchen \u30E2\u30FC\u30D9\u30EB";
    p.outputDirectory = std::string("/home/u/\xff\xfe dir");
    const auto args = BuildGeneratorArguments(p);
    ASSERT_TRUE(args);
    EXPECT_EQ((*args)[1], "my \"web\" $(rm -rf ~) `x` ; & 100% 'q'");
    EXPECT_EQ((*args)[9], "M\xc3\xbcnchen \xe3\x83\xa2\xe3\x83\xbc\xe3\x83\x99\xe3\x83\xab");
    EXPECT_EQ((*args)[15], "/home/u/\xff\xfe dir");
    const auto line = BuildGeneratorCommandLine(p);
    ASSERT_TRUE(line);
    EXPECT_NE(line->find(u" -D \"/home/u/\uFFFD\uFFFD dir\""), std::u16string::npos);
}

// Joins the arguments the way the text writes them: each switch, then its value in the form
// the switch table gives it.
std::u16string JoinAsText(const std::vector<std::string>& args) {
    std::string joined(kGeneratorScriptPath);
    EXPECT_EQ(args.size() % 2, 0u);
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        const auto form = GeneratorSwitchValueForm(Utf8ToUtf16(args[i]));
        EXPECT_TRUE(form) << args[i];
        joined += " " + args[i] + " ";
        joined += form == SwitchValueForm::Quoted ? "\"" + args[i + 1] + "\"" : args[i + 1];
    }
    return Utf8ToUtf16(joined);
}

TEST(BuildGeneratorArguments, AgreeWithTheCommandLineText) {
    std::vector<CertGenParams> records{CertGenParams{}, WebParams()};
    CertGenParams all = WebParams();
    for (auto field : {&CertGenParams::countryName, &CertGenParams::stateOrProvince,
                       &CertGenParams::locality, &CertGenParams::organizationName,
                       &CertGenParams::organizationalUnit, &CertGenParams::emailAddress})
        all.*field = u"-x \"q\" ";
    records.push_back(all);
    CertGenParams odd = WebParams();
    odd.outputDirectory = std::string("/t/\xc3(\xff");
    odd.commonName = std::u16string(u"lone \xD800 surrogate");
    odd.serialNumber = u"-b";
    odd.fileName = u"-p";
    odd.keySize = INT_MIN;
    records.push_back(odd);

    for (const CertGenParams& p : records) {
        SCOPED_TRACE(testing::PrintToString(p));
        const auto args = BuildGeneratorArguments(p);
        const auto line = BuildGeneratorCommandLine(p);
        ASSERT_TRUE(args && line);
        EXPECT_EQ(JoinAsText(*args), *line);
    }
}

TEST(GeneratorSwitchValueForm, KnowsTheScriptsSwitches) {
    for (const auto name :
         {u"-f", u"-c", u"-st", u"-l", u"-o", u"-ou", u"-cn", u"-m", u"-sn", u"-D", u"-p"})
        EXPECT_EQ(GeneratorSwitchValueForm(name), SwitchValueForm::Quoted);
    for (const auto name : {u"-d", u"-b", u"-t", u"-ip"})
        EXPECT_EQ(GeneratorSwitchValueForm(name), SwitchValueForm::Bare);
    for (const auto name : {u"", u"f", u"-F", u"-x", u"-f "})
        EXPECT_FALSE(GeneratorSwitchValueForm(name));
}

struct ExitCase {
    int code;
    std::u16string message;
};

void PrintTo(const ExitCase& c, std::ostream* os) {
    *os << c.code;
}

class GeneratorExitMessageTest : public testing::TestWithParam<ExitCase> {};

TEST_P(GeneratorExitMessageTest, MapsTheCode) {
    EXPECT_EQ(GeneratorExitMessage(GetParam().code), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneratorExitMessageTest,
    testing::Values(
        ExitCase{0, u""}, ExitCase{-1, u"The File Name is invalid or empty."},
        ExitCase{-2, u"The Valid Days is invalid or empty."},
        ExitCase{-3, u"The Key Size is invalid or empty."},
        ExitCase{-4, u"The Key Algorithm is invalid or empty."},
        ExitCase{-5, u"The Common Name is invalid or empty."},
        ExitCase{-6, u"The IP Address is invalid or empty."},
        ExitCase{-7, u"The Passphrase is invalid or not specified."},
        ExitCase{-8, u"The Output Directory is invalid or empty."},
        ExitCase{-9, u"A non-mandatory argument is invalid."},
        ExitCase{-10, u"The program received an argument that wasn't defined."},
        ExitCase{-11, u"Error occurred during key generation."},
        ExitCase{-12, u"Error occurred while creating the self-signed certificate authority."},
        ExitCase{-13, u"Error occurred while creating the CSR."},
        ExitCase{-14, u"Error occurred while issuing the certificate."},
        ExitCase{-15, u"The Serial Number is invalid or empty."},
        ExitCase{-16, u"Unknown Error Code = -16"}, ExitCase{1, u"Unknown Error Code = 1"},
        ExitCase{15, u"Unknown Error Code = 15"}, ExitCase{259, u"Unknown Error Code = 259"},
        ExitCase{INT_MIN, u"Unknown Error Code = -2147483648"},
        ExitCase{INT_MAX, u"Unknown Error Code = 2147483647"}));

TEST(ExitCodeFromStatus, ReadsTheStatusAsSigned8Bit) {
    const std::vector<std::pair<int, int>> cases{{0, 0},     {1, 1},      {127, 127}, {128, -128},
                                                 {241, -15}, {242, -14},  {255, -1},  {256, 256},
                                                 {-3, -3},   {1000, 1000}};
    for (const auto& [status, code] : cases)
        EXPECT_EQ(ExitCodeFromStatus(status), code) << status;
    EXPECT_EQ(GeneratorExitMessage(ExitCodeFromStatus(241)),
              u"The Serial Number is invalid or empty.");
    EXPECT_EQ(GeneratorExitMessage(ExitCodeFromStatus(240)), u"Unknown Error Code = -16");
}

TEST(ExitCodeFromSignal, IsTheShellsStatusAndNeverAKnownCode) {
    EXPECT_EQ(ExitCodeFromSignal(SIGKILL), -119);
    EXPECT_EQ(ExitCodeFromSignal(SIGSEGV), -117);
    EXPECT_EQ(ExitCodeFromSignal(0), -128);
    for (int signal = 1; signal <= 64; ++signal) {
        const int code = ExitCodeFromSignal(signal);
        EXPECT_TRUE(code < -15) << signal;
        EXPECT_EQ(GeneratorExitMessage(code),
                  u"Unknown Error Code = " + Utf8ToUtf16(std::to_string(code)))
            << signal;
    }
}

} // namespace
