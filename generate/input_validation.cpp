#include "generate/input_validation.h"

#include "generate/wide_integer.h"
#include "platform/text_codec.h"

#include <array>
#include <limits>
#include <system_error>

namespace {

constexpr std::u16string_view kInvalidCharacters = u"/\\:*?\"<>|";

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

using Form = GenerationFormInput;
using P = CertGenParams;

// The fields' own tests, each true when the field fails; given the cut text and the whole form.
bool DaysOutOfRange(std::u16string_view text, const Form&) {
    const std::int32_t days = WideTextToInt32(text);
    return days < kMinValidDays || days > kMaxValidDays;
}

bool NotACountryCode(std::u16string_view text, const Form&) {
    return !text.empty() && !IsTwoUppercaseLetters(text);
}

bool AddressIsZero(std::u16string_view, const Form& form) {
    return form.ipAddressValue == 0;
}

constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

// One text field of the form: the control text it is read from, the member it is stored in, and
// its checks, made in the order of the members below. A check without a message is not made.
struct FieldRow {
    std::u16string Form::*text;
    std::u16string P::*stored;
    std::u16string_view required = {}; // the text is empty
    std::size_t limit = kNoLimit;      // most UTF-16 units that pass
    std::u16string_view tooLong = {};
    std::u16string_view invalid = {}; // the text holds an invalid character
    bool (*rejects)(std::u16string_view text, const Form& form) = nullptr;
    std::u16string_view rejected = {}; // `rejects` is true
};

// The text fields in the order of the form's checks.
constexpr std::array<FieldRow, 10> kFields{{
    {.text = &Form::fileName,
     .stored = &P::fileName,
     .required = u"The File Name is required.\r\n",
     .limit = 64,
     .tooLong = u"The File Name is limited to 64 characters.\r\n",
     .invalid = u"The File Name contains invalid characters.\r\n"},
    {.text = &Form::validDays,
     .stored = &P::validDays,
     .required = u"The Valid Days is required.\r\n",
     .rejects = DaysOutOfRange,
     .rejected = u"The Valid Days limited between 1 and 7300.\r\n"},
    {.text = &Form::countryName,
     .stored = &P::countryName,
     .rejects = NotACountryCode,
     .rejected = u"The Country Name must be written in two uppercase letters.\r\n"},
    {.text = &Form::stateOrProvince,
     .stored = &P::stateOrProvince,
     .limit = 128,
     .tooLong = u"The State or Province must be 128 characters or less.\r\n",
     .invalid = u"The State or Province contains invalid character(s).\r\n"},
    {.text = &Form::locality,
     .stored = &P::locality,
     .limit = 128,
     .tooLong = u"The Locality must be 128 characters or less.\r\n",
     .invalid = u"The Locality contains invalid character(s).\r\n"},
    {.text = &Form::organizationName,
     .stored = &P::organizationName,
     .limit = 64,
     .tooLong = u"The Organization Name must be 64 characters or less.\r\n",
     .invalid = u"The Organization Name contains invalid character(s).\r\n"},
    {.text = &Form::organizationalUnit,
     .stored = &P::organizationalUnit,
     .limit = 64,
     .tooLong = u"The Organization Unit must be 64 characters or less.\r\n",
     .invalid = u"The Organization Unit  contains invalid character(s).\r\n"},
    {.text = &Form::commonName,
     .stored = &P::commonName,
     .required = u"The Common Name is required.\r\n",
     .limit = 64,
     .tooLong = u"The Common Name must be 64 characters or less.\r\n",
     .invalid = u"The Common Name contains invalid character(s).\r\n"},
    {.text = &Form::emailAddress,
     .stored = &P::emailAddress,
     .limit = 128,
     .tooLong = u"The E-mail Address must be 128 characters or less.\r\n",
     .invalid = u"The E-mail Address contains invalid character(s).\r\n"},
    // Checked by the control's value, stored as its dotted text.
    {.text = &Form::ipAddressText,
     .stored = &P::ipAddress,
     .rejects = AddressIsZero,
     .rejected = u"The IP Address is invalid.\r\n"},
}};

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

    // The Key Size and Key Algorithm lists have no checks.
    params.keySize = input.keySizeItemData;
    params.keyAlgorithm = input.keyAlgorithmIndex;

    for (const FieldRow& row : kFields) {
        const std::u16string_view text = CutAtNul(input.*row.text);
        if (!row.required.empty() && text.empty())
            errors += row.required;
        if (text.size() > row.limit)
            errors += row.tooLong;
        if (!row.invalid.empty() && ContainsInvalidCharacters(text))
            errors += row.invalid;
        if (row.rejects != nullptr && row.rejects(text, input))
            errors += row.rejected;
        params.*row.stored = text;
    }

    // Stored only when 8 units long, upper-cased, and also written back into the edit.
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
