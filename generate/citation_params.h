// The records that the NEW and Generate Citation commands hand to the generation form.
#pragma once

#include "generate/cert_gen_params.h"
#include "inspect/certificate_decoder.h"

#include <filesystem>

// Every string empty except `outputDirectory` (= folder), `keySize` 2048, `keyAlgorithm` 2.
CertGenParams MakeNewParams(const std::filesystem::path& folder);

// A record prefilled from a listed file's properties. Names are compared whole and
// case-sensitively; the last occurrence of a name wins:
//   "Country Name", "State or Province Name", "Locality Name", "Organization Name",
//   "Organizational Unit", "Common Name", "E-mail Address", "Alternative Name(IP Address)"
//     -> copied unchanged into the matching field;
//   "Key Size" -> `keySize`, read like wcstol base 10 (no digits: 0; clamped to 32 bits);
//   "Valid Date From" / "Valid Date To" -> the start / end tick (ParseDateTimeText), but only
//     when the value contains the date pattern; both start at 0.
// `validDays` is the whole days from start to end ("%lld"), or empty when the end is not after
// the start. `fileName` and `serialNumber` stay empty, `keyAlgorithm` is 2, `outputDirectory` is
// the folder. Other names are ignored.
CertGenParams MakeCitationParams(const CertPropertyList& properties,
                                 const std::filesystem::path& folder);
