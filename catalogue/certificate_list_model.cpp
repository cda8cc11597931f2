#include "catalogue/certificate_list_model.h"

#include "catalogue/certificate_rows.h"
#include "catalogue/display_text.h"

CertificateListModel::CertificateListModel(const CertificateCatalogue& catalogue, QObject* parent)
    : HeadedTableModel<4>({"File Name", "Common Name", "Valid Date From", "Valid Date To"}, parent),
      m_catalogue(catalogue) {}

int CertificateListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_catalogue.size());
}

QVariant CertificateListModel::data(const QModelIndex& index, int role) const {
    std::size_t row = 0, column = 0;
    if (!DisplayCell(index, role, m_catalogue.size(), row, column))
        return {};
    const CertificateRowCells cells =
        CellsOfRow(m_catalogue.filePaths()[row], m_catalogue.propertyLists()[row]);
    switch (column) {
    case 0:
        return ToQString(cells.fileName);
    case 1:
        return ToQString(cells.commonName);
    case 2:
        return ToQString(cells.validFrom);
    default:
        return ToQString(cells.validTo);
    }
}

PropertyListModel::PropertyListModel(QObject* parent)
    : TextTableModel<2>({"Name", "Value"}, parent) {}

void PropertyListModel::SetProperties(const CertPropertyList& properties) {
    Rows rows;
    rows.reserve(properties.size());
    for (const auto& property : properties)
        rows.push_back({ToQString(EscapeForDisplay(property.name)),
                        ToQString(EscapeForDisplay(property.value))});
    Replace(std::move(rows));
}
