// Readable failure output for the generation records.
#pragma once

#include "generate/cert_gen_params.h"
#include "generate/input_validation.h"
#include "platform/text_codec.h"

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

// The text in double quotes with printable ASCII as it is and every other unit as \uXXXX, so that
// test names and failure output stay on one line and show what the bytes are.
inline std::string Escaped(std::u16string_view text) {
    std::string out = "\"";
    for (const char16_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != u'"' && c != u'\\') {
            out += static_cast<char>(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
            out += buffer;
        }
    }
    return out + "\"";
}

inline void PrintTo(const CertGenParams& p, std::ostream* os) {
    const auto text = [](const std::u16string& s) { return Escaped(s); };
    *os << "{fileName=" << text(p.fileName) << " validDays=" << text(p.validDays)
        << " keySize=" << p.keySize << " keyAlgorithm=" << p.keyAlgorithm
        << " countryName=" << text(p.countryName) << " stateOrProvince=" << text(p.stateOrProvince)
        << " locality=" << text(p.locality) << " organizationName=" << text(p.organizationName)
        << " organizationalUnit=" << text(p.organizationalUnit)
        << " commonName=" << text(p.commonName) << " emailAddress=" << text(p.emailAddress)
        << " ipAddress=" << text(p.ipAddress) << " serialNumber=" << text(p.serialNumber)
        << " outputDirectory=\"" << p.outputDirectory.native() << "\"}";
}

// What a form opened with NEW holds once the operator has filled every required field.
inline GenerationFormInput ValidFormInput() {
    GenerationFormInput input;
    input.fileName = u"web";
    input.validDays = u"365";
    input.commonName = u"web";
    input.ipAddressText = u"10.0.0.1";
    input.ipAddressValue = 0x0A000001;
    input.serialNumber = u"0123ABCD";
    input.keySizeItemData = 2048;
    input.keyAlgorithmIndex = 2;
    return input;
}
