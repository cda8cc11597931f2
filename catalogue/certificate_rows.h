// What one row of the Certificates list holds: its properties and the texts of its cells.
#pragma once

#include "inspect/certificate_decoder.h"
#include "inspect/certificate_validity.h"

#include <filesystem>
#include <optional>
#include <string>

enum class ListedFileKind { Certificate, Key, Request };

// Decided by searching the whole path (folder included) for ".crt", then ".key"; anything else
// is a signing request.
ListedFileKind KindOfListedFile(const std::filesystem::path& path);

// The property list of a row: the decoded certificate, or one "File Type" entry for a key or a
// signing request.
CertPropertyList PropertiesOfListedFile(const std::filesystem::path& path);

// What a row keeps of its file: the property list, and for a certificate that decodes its
// validity period, read from the same bytes (also where the list ends in an "Error" entry).
struct ListedFile {
    CertPropertyList properties;
    std::optional<CertificateValidity> validity;
};

ListedFile ReadListedFile(const std::filesystem::path& path);

// The same with a certificate's dates converted with `utcOffset` (as CurrentUtcOffset gives it),
// for many files read with the one offset.
ListedFile ReadListedFile(const std::filesystem::path& path, std::optional<long> utcOffset);

// The texts shown in the cells, with hidden and reordering characters escaped
// (EscapeForDisplay).
struct CertificateRowCells {
    std::u16string fileName;   // the path's final component
    std::u16string commonName; // the last "Common Name" entry
    std::u16string validFrom;  // the last "Valid Date From" entry
    std::u16string validTo;    // the last "Valid Date To" entry
};

CertificateRowCells CellsOfRow(const std::filesystem::path& path,
                               const CertPropertyList& properties);
