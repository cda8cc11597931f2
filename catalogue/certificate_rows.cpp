#include "catalogue/certificate_rows.h"

#include "catalogue/display_text.h"
#include "platform/text_codec.h"

ListedFileKind KindOfListedFile(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.find(".crt") != std::string::npos)
        return ListedFileKind::Certificate;
    if (text.find(".key") != std::string::npos)
        return ListedFileKind::Key;
    return ListedFileKind::Request;
}

CertPropertyList PropertiesOfListedFile(const std::filesystem::path& path) {
    switch (KindOfListedFile(path)) {
    case ListedFileKind::Certificate:
        return ReadCertificateProperties(path);
    case ListedFileKind::Key:
        return {{u"File Type", u"Key File"}};
    case ListedFileKind::Request:
        break;
    }
    return {{u"File Type", u"CSR File"}};
}

ListedFile ReadListedFile(const std::filesystem::path& path) {
    return ReadListedFile(path, CurrentUtcOffset());
}

ListedFile ReadListedFile(const std::filesystem::path& path, std::optional<long> utcOffset) {
    if (KindOfListedFile(path) != ListedFileKind::Certificate)
        return {PropertiesOfListedFile(path), std::nullopt};
    ListedFile file;
    file.properties = ReadCertificateProperties(path, file.validity, utcOffset);
    return file;
}

CertificateRowCells CellsOfRow(const std::filesystem::path& path,
                               const CertPropertyList& properties) {
    CertificateRowCells cells;
    cells.fileName = EscapeForDisplay(FileNameDisplayText(path));
    const std::u16string* commonName = nullptr;
    const std::u16string* validFrom = nullptr;
    const std::u16string* validTo = nullptr;
    for (const auto& property : properties) {
        if (property.name == u"Common Name")
            commonName = &property.value;
        else if (property.name == u"Valid Date From")
            validFrom = &property.value;
        else if (property.name == u"Valid Date To")
            validTo = &property.value;
    }
    if (commonName)
        cells.commonName = EscapeForDisplay(*commonName);
    if (validFrom)
        cells.validFrom = EscapeForDisplay(*validFrom);
    if (validTo)
        cells.validTo = EscapeForDisplay(*validTo);
    return cells;
}
