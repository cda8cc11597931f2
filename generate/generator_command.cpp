#include "generate/generator_command.h"

#include "generate/wide_integer.h"
#include "platform/text_codec.h"

#include <array>
#include <string>

namespace {

constexpr std::int32_t kRsaAlgorithm = 2;

// One switch of the script. A row is used when its condition field is non-empty, or always when
// it has none; its value comes out as the bytes that the script receives.
struct SwitchRow {
    std::string_view name;
    SwitchValueForm form;
    std::u16string CertGenParams::*condition;
    std::string (*value)(const CertGenParams&);
};

template <std::u16string CertGenParams::*Field>
std::string FieldBytes(const CertGenParams& params) {
    return Utf16ToUtf8(params.*Field);
}

using P = CertGenParams;
using enum SwitchValueForm;

// The switches in the order the command line carries them.
constexpr std::array<SwitchRow, 15> kSwitches{{
    {"-f", Quoted, &P::fileName, FieldBytes<&P::fileName>},
    {"-d", Bare, &P::validDays,
     [](const P& p) { return std::to_string(WideTextToInt32(p.validDays)); }},
    {"-b", Bare, nullptr, [](const P& p) { return std::to_string(p.keySize); }},
    {"-t", Bare, nullptr, [](const P&) { return std::string("RSA"); }},
    {"-c", Quoted, &P::countryName, FieldBytes<&P::countryName>},
    {"-st", Quoted, &P::stateOrProvince, FieldBytes<&P::stateOrProvince>},
    {"-l", Quoted, &P::locality, FieldBytes<&P::locality>},
    {"-o", Quoted, &P::organizationName, FieldBytes<&P::organizationName>},
    {"-ou", Quoted, &P::organizationalUnit, FieldBytes<&P::organizationalUnit>},
    {"-cn", Quoted, &P::commonName, FieldBytes<&P::commonName>},
    {"-m", Quoted, &P::emailAddress, FieldBytes<&P::emailAddress>},
    {"-ip", Bare, &P::ipAddress, FieldBytes<&P::ipAddress>},
    {"-sn", Quoted, &P::serialNumber,
     [](const P& p) {
         return "urn:" + Utf16ToUtf8(p.serialNumber) + ":" + Utf16ToUtf8(kGeneratorHostName);
     }},
    {"-D", Quoted, nullptr, [](const P& p) { return p.outputDirectory.native(); }},
    {"-p", Quoted, nullptr, [](const P&) { return std::string(); }},
}};

struct SwitchValue {
    const SwitchRow* row;
    std::string value;
};

std::optional<std::vector<SwitchValue>> CollectSwitches(const CertGenParams& params) {
    if (params.keyAlgorithm != kRsaAlgorithm)
        return std::nullopt;
    std::vector<SwitchValue> values;
    for (const SwitchRow& row : kSwitches) {
        if (row.condition != nullptr && (params.*row.condition).empty())
            continue;
        values.push_back({&row, row.value(params)});
    }
    return values;
}

std::u16string AsciiToUtf16(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

} // namespace

std::optional<SwitchValueForm> GeneratorSwitchValueForm(std::u16string_view name) {
    for (const SwitchRow& row : kSwitches) {
        if (AsciiToUtf16(row.name) == name)
            return row.form;
    }
    return std::nullopt;
}

std::optional<std::u16string> BuildGeneratorCommandLine(const CertGenParams& params) {
    const auto values = CollectSwitches(params);
    if (!values)
        return std::nullopt;
    std::u16string line = AsciiToUtf16(kGeneratorScriptPath);
    for (const SwitchValue& v : *values) {
        line += u' ';
        line += AsciiToUtf16(v.row->name);
        line += u' ';
        if (v.row->form == Quoted)
            line += u'"' + Utf8ToUtf16(v.value) + u'"';
        else
            line += Utf8ToUtf16(v.value);
    }
    return line;
}

std::optional<std::vector<std::string>> BuildGeneratorArguments(const CertGenParams& params) {
    auto values = CollectSwitches(params);
    if (!values)
        return std::nullopt;
    std::vector<std::string> arguments;
    arguments.reserve(values->size() * 2);
    for (SwitchValue& v : *values) {
        arguments.emplace_back(v.row->name);
        arguments.push_back(std::move(v.value));
    }
    return arguments;
}

std::u16string GeneratorExitMessage(int exitCode) {
    static constexpr std::array<std::u16string_view, 15> kMessages{{
        u"The File Name is invalid or empty.",
        u"The Valid Days is invalid or empty.",
        u"The Key Size is invalid or empty.",
        u"The Key Algorithm is invalid or empty.",
        u"The Common Name is invalid or empty.",
        u"The IP Address is invalid or empty.",
        u"The Passphrase is invalid or not specified.",
        u"The Output Directory is invalid or empty.",
        u"A non-mandatory argument is invalid.",
        u"The program received an argument that wasn't defined.",
        u"Error occurred during key generation.",
        u"Error occurred while creating the self-signed certificate authority.",
        u"Error occurred while creating the CSR.",
        u"Error occurred while issuing the certificate.",
        u"The Serial Number is invalid or empty.",
    }};
    if (exitCode == 0)
        return {};
    // Compared without negating, so the most negative value needs no special case.
    if (exitCode <= -1 && exitCode >= -static_cast<int>(kMessages.size()))
        return std::u16string(kMessages[static_cast<std::size_t>(-1 - exitCode)]);
    return u"Unknown Error Code = " + AsciiToUtf16(std::to_string(exitCode));
}

int ExitCodeFromStatus(int status8) {
    if (status8 < 0 || status8 > 255)
        return status8;
    return status8 > 127 ? status8 - 256 : status8;
}

int ExitCodeFromSignal(int signal) {
    return ExitCodeFromStatus((128 + signal) & 0xFF);
}
