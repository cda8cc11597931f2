#include "catalogue/certificate_list_model.h"

CertificateListModel::CertificateListModel(QObject* parent)
    : TextTableModel<4>({"File Name", "Common Name", "Valid Date From", "Valid Date To"}, parent) {}

CertificateListModel::Rows
CertificateListModel::MakeRows(const std::vector<std::filesystem::path>& paths,
                               const std::vector<CertPropertyList>& propertyLists) {
    Rows rows;
    rows.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size() && i < propertyLists.size(); ++i) {
        const CertificateRowCells cells = CellsOfRow(paths[i], propertyLists[i]);
        rows.push_back({ToQString(cells.fileName), ToQString(cells.commonName),
                        ToQString(cells.validFrom), ToQString(cells.validTo)});
    }
    return rows;
}

PropertyListModel::PropertyListModel(QObject* parent)
    : TextTableModel<2>({"Name", "Value"}, parent) {}

void PropertyListModel::SetProperties(const CertPropertyList& properties) {
    Rows rows;
    rows.reserve(properties.size());
    for (const auto& property : properties)
        rows.push_back({ToQString(property.name), ToQString(property.value)});
    Replace(std::move(rows));
}
