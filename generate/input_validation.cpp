#include "generate/input_validation.h"

#include "generate/wide_integer.h"
#include "platform/text_codec.h"

#include <system_error>

namespace {

constexpr std::u16string_view kInvalidCharacters = u"/\\:*?\"<>|";

constexpr std::size_t kFileNameLimit = 64;
constexpr std::int32_t kMinValidDays = 1;
constexpr std::int32_t kMaxValidDays = 7300;
constexpr std::size_t kSerialNumberLength = 8;

bool IsTwoUppercaseLetters(std::u16string_view text) {
    return text.size() == 2 && text[0] >= u'A' && text[0] <= u'Z' && text[1] >= u'A' &&
           text[1] <= u'Z';
}

std::u16string UpperCaseAscii(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return out;
}

// A subject field with a length limit and the invalid-character test.
void CheckSubjectField(std::u16string& errors, std::u16string_view text, std::size_t limit,
                       std::u16string_view tooLong, std::u16string_view invalid) {
    if (text.size() > limit)
        errors += tooLong;
    if (ContainsInvalidCharacters(text))
        errors += invalid;
}

} // namespace

bool ContainsInvalidCharacters(std::u16string_view text) {
    return text.find_first_of(kInvalidCharacters) != std::u16string_view::npos;
}

GenerationFormCheck CheckGenerationForm(const GenerationFormInput& input,
                                        const CertGenParams& previous) {
    GenerationFormCheck check;
    check.params = previous;
    std::u16string& errors = check.errors;
    CertGenParams& params = check.params;

    const std::u16string_view fileName = CutAtNul(input.fileName);
    if (fileName.empty())
        errors += u"The File Name is required.\r\n";
    if (fileName.size() > kFileNameLimit)
        errors += u"The File Name is limited to 64 characters.\r\n";
    if (ContainsInvalidCharacters(fileName))
        errors += u"The File Name contains invalid characters.\r\n";
    params.fileName = fileName;

    const std::u16string_view validDays = CutAtNul(input.validDays);
    if (validDays.empty())
        errors += u"The Valid Days is required.\r\n";
    const std::int32_t days = WideTextToInt32(validDays);
    if (days < kMinValidDays || days > kMaxValidDays)
        errors += u"The Valid Days limited between 1 and 7300.\r\n";
    params.validDays = validDays;

    params.keySize = input.keySizeItemData;
    params.keyAlgorithm = input.keyAlgorithmIndex;

    const std::u16string_view country = CutAtNul(input.countryName);
    if (!country.empty() && !IsTwoUppercaseLetters(country))
        errors += u"The Country Name must be written in two uppercase letters.\r\n";
    params.countryName = country;

    const std::u16string_view state = CutAtNul(input.stateOrProvince);
    CheckSubjectField(errors, state, 128,
                      u"The State or Province must be 128 characters or less.\r\n",
                      u"The State or Province contains invalid character(s).\r\n");
    params.stateOrProvince = state;

    const std::u16string_view locality = CutAtNul(input.locality);
    CheckSubjectField(errors, locality, 128, u"The Locality must be 128 characters or less.\r\n",
                      u"The Locality contains invalid character(s).\r\n");
    params.locality = locality;

    const std::u16string_view organization = CutAtNul(input.organizationName);
    CheckSubjectField(errors, organization, 64,
                      u"The Organization Name must be 64 characters or less.\r\n",
                      u"The Organization Name contains invalid character(s).\r\n");
    params.organizationName = organization;

    const std::u16string_view unit = CutAtNul(input.organizationalUnit);
    CheckSubjectField(errors, unit, 64, u"The Organization Unit must be 64 characters or less.\r\n",
                      u"The Organization Unit  contains invalid character(s).\r\n");
    params.organizationalUnit = unit;

    const std::u16string_view commonName = CutAtNul(input.commonName);
    if (commonName.empty())
        errors += u"The Common Name is required.\r\n";
    CheckSubjectField(errors, commonName, 64, u"The Common Name must be 64 characters or less.\r\n",
                      u"The Common Name contains invalid character(s).\r\n");
    params.commonName = commonName;

    const std::u16string_view email = CutAtNul(input.emailAddress);
    CheckSubjectField(errors, email, 128, u"The E-mail Address must be 128 characters or less.\r\n",
                      u"The E-mail Address contains invalid character(s).\r\n");
    params.emailAddress = email;

    if (input.ipAddressValue == 0)
        errors += u"The IP Address is invalid.\r\n";
    params.ipAddress = CutAtNul(input.ipAddressText);

    const std::u16string_view serial = CutAtNul(input.serialNumber);
    if (serial.size() != kSerialNumberLength) {
        errors += u"The Serial Number must be set by 8 length hexadecimal.\r\n";
    } else {
        if (ReadWideInteger(serial, 16).end != kSerialNumberLength)
            errors += u"The Serial Number has invalid character(s). It's not in hexadecimal "
                      u"format.\r\n";
        params.serialNumber = UpperCaseAscii(serial);
        check.serialNumberEditText = params.serialNumber;
    }
    return check;
}

std::array<std::filesystem::path, 3> GeneratorOutputPaths(const CertGenParams& params) {
    const std::string base = params.outputDirectory.native() + "/" + Utf16ToUtf8(params.fileName);
    return {std::filesystem::path(base + ".key"), std::filesystem::path(base + ".csr"),
            std::filesystem::path(base + ".crt")};
}

bool AnyGeneratorOutputExists(const CertGenParams& params) {
    for (const auto& path : GeneratorOutputPaths(params)) {
        std::error_code error;
        // A dangling link counts: writing the file would go through it.
        const auto status = std::filesystem::symlink_status(path, error);
        if (!error && std::filesystem::exists(status))
            return true;
    }
    return false;
}
