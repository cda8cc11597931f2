// The checks of the generation form's OK button, as a function of the controls' texts.
#pragma once

#include "generate/cert_gen_params.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// True when the text holds at least one of / \ : * ? " < > | anywhere. Every other unit passes.
bool ContainsInvalidCharacters(std::u16string_view text);

// What the form's controls hold when OK is clicked.
struct GenerationFormInput {
    std::u16string fileName;             // File Name edit
    std::u16string validDays;            // Valid Days edit
    std::u16string countryName;          // Country Name(C) edit
    std::u16string stateOrProvince;      // State or Province(ST) edit
    std::u16string locality;             // Locality(L) edit
    std::u16string organizationName;     // Organization Name(O) edit
    std::u16string organizationalUnit;   // Organizational Unit(OU) edit
    std::u16string commonName;           // Common Name edit
    std::u16string emailAddress;         // E-mail Address edit
    std::u16string ipAddressText;        // the IP address control's dotted text
    std::u16string serialNumber;         // Serial Number edit
    std::int32_t keySizeItemData = -1;   // item data of the selected Key Size entry, -1 for none
    std::int32_t keyAlgorithmIndex = -1; // selected index of the Key Algorithm list, -1 for none
    std::uint32_t ipAddressValue = 0;    // the IP address control's value; blank parts count 0
};

struct GenerationFormCheck {
    // Every failed check's message, each ending in "\r\n", in the order of the checks; empty when
    // everything passed.
    std::u16string errors;
    // The previous record with every field the form owns overwritten by what was entered, also
    // when its check failed. A Serial Number of the wrong length keeps the previous
    // `serialNumber`; `outputDirectory` is never changed.
    CertGenParams params;
    // The text to put back into the Serial Number edit (the upper-cased entry), set only when the
    // entry was 8 units long.
    std::optional<std::u16string> serialNumberEditText;
};

// Runs every check of the form; never stops at the first failure. Lengths count UTF-16 units.
// Each text is taken up to its first U+0000: a process argument ends at a NUL, so a longer text
// would let the names checked for overwriting differ from the names the script writes.
GenerationFormCheck CheckGenerationForm(const GenerationFormInput& input,
                                        const CertGenParams& previous);

// The files a run writes, in the order they are checked for overwriting: .key, .csr, .crt. Each
// is `outputDirectory` + "/" + `fileName` + extension; the "/" is always inserted.
std::array<std::filesystem::path, 3> GeneratorOutputPaths(const CertGenParams& params);

// True when any of the output paths exists, checked in order. A link counts as itself, even one
// that points nowhere, since writing the file would go through it. Never throws; a path whose
// status cannot be read counts as not existing.
bool AnyGeneratorOutputExists(const CertGenParams& params);
