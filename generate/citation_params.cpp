#include "generate/citation_params.h"

#include "generate/date_time_text.h"
#include "generate/wide_integer.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr std::int32_t kDefaultKeySize = 2048;
constexpr std::int32_t kRsaAlgorithm = 2;

struct CopiedName {
    std::u16string_view name;
    std::u16string CertGenParams::*field;
};

constexpr std::array<CopiedName, 8> kCopiedNames{{
    {u"Country Name", &CertGenParams::countryName},
    {u"State or Province Name", &CertGenParams::stateOrProvince},
    {u"Locality Name", &CertGenParams::locality},
    {u"Organization Name", &CertGenParams::organizationName},
    {u"Organizational Unit", &CertGenParams::organizationalUnit},
    {u"Common Name", &CertGenParams::commonName},
    {u"E-mail Address", &CertGenParams::emailAddress},
    {u"Alternative Name(IP Address)", &CertGenParams::ipAddress},
}};

std::u16string DecimalText(long long value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

} // namespace

CertGenParams MakeNewParams(const std::filesystem::path& folder) {
    CertGenParams params;
    params.keySize = kDefaultKeySize;
    params.keyAlgorithm = kRsaAlgorithm;
    params.outputDirectory = folder;
    return params;
}

CertGenParams MakeCitationParams(const CertPropertyList& properties,
                                 const std::filesystem::path& folder) {
    CertGenParams params;
    std::int64_t startTick = 0;
    std::int64_t endTick = 0;
    for (const CertProperty& property : properties) {
        if (property.name == u"Valid Date From") {
            if (ContainsDateTimePattern(property.value))
                startTick = ParseDateTimeText(property.value);
        } else if (property.name == u"Valid Date To") {
            if (ContainsDateTimePattern(property.value))
                endTick = ParseDateTimeText(property.value);
        } else if (property.name == u"Key Size") {
            params.keySize = WideTextToInt32(property.value);
        } else {
            for (const CopiedName& copied : kCopiedNames) {
                if (property.name == copied.name)
                    params.*copied.field = property.value;
            }
        }
    }
    // Both ticks lie in 0..INT64_MAX, so the difference cannot overflow.
    const std::int64_t span = endTick - startTick;
    if (span > 0)
        params.validDays = DecimalText(span / kTicksPerDay);
    params.fileName.clear();
    params.keyAlgorithm = kRsaAlgorithm;
    params.outputDirectory = folder;
    return params;
}
