// The inputs of one generation run: what the form collects and the generator script receives.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// A plain record; copies own their own strings. Text fields are UTF-16 as typed or decoded.
struct CertGenParams {
    std::u16string fileName;  // base name of the output files, no folder, no extension
    std::u16string validDays; // validity in days, as typed (decimal text, not a number)
    std::int32_t keySize = 2048;
    std::int32_t keyAlgorithm = 2; // index into the Key Algorithm list: 0 SHA, 1 DSA, 2 RSA
    std::u16string countryName;
    std::u16string stateOrProvince;
    std::u16string locality;
    std::u16string organizationName;
    std::u16string organizationalUnit;
    std::u16string commonName;
    std::u16string emailAddress;
    std::u16string ipAddress;              // dotted IPv4 text
    std::u16string serialNumber;           // eight hexadecimal characters, letters upper-cased
    std::filesystem::path outputDirectory; // where the script writes; a Linux name is bytes

    // Field by field; `outputDirectory` compares by its bytes, not by path components.
    friend bool operator==(const CertGenParams& a, const CertGenParams& b) {
        return a.fileName == b.fileName && a.validDays == b.validDays && a.keySize == b.keySize &&
               a.keyAlgorithm == b.keyAlgorithm && a.countryName == b.countryName &&
               a.stateOrProvince == b.stateOrProvince && a.locality == b.locality &&
               a.organizationName == b.organizationName &&
               a.organizationalUnit == b.organizationalUnit && a.commonName == b.commonName &&
               a.emailAddress == b.emailAddress && a.ipAddress == b.ipAddress &&
               a.serialNumber == b.serialNumber &&
               a.outputDirectory.native() == b.outputDirectory.native();
    }
};
