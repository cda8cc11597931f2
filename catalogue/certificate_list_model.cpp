#include "catalogue/certificate_list_model.h"

#include "catalogue/certificate_rows.h"
#include "catalogue/display_text.h"
#include "platform/clock.h"

#include <QDateTime>

CertificateListModel::CertificateListModel(const CertificateCatalogue& catalogue, QObject* parent)
    : HeadedTableModel<4>({"File Name", "Common Name", "Valid Date From", "Valid Date To"}, parent),
      m_catalogue(catalogue) {
    connect(this, &QAbstractItemModel::modelReset, this, [this] { m_shownStates.clear(); });
}

int CertificateListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_catalogue.size());
}

std::optional<ExpiryState> CertificateListModel::StateOfRow(std::size_t row) const {
    const std::optional<CertificateValidity>& validity = m_catalogue.validities()[row];
    if (!validity)
        return std::nullopt;
    return ExpiryStateAt(*validity, Now());
}

void CertificateListModel::UpdateExpiryStates() {
    const std::size_t rows = m_catalogue.size();
    if (m_shownStates.size() != rows) {
        m_shownStates.clear();
        for (std::size_t row = 0; row < rows; ++row)
            m_shownStates.push_back(StateOfRow(row));
        return;
    }
    for (std::size_t row = 0; row < rows; ++row) {
        std::optional<ExpiryState> state = StateOfRow(row);
        if (state == m_shownStates[row])
            continue;
        m_shownStates[row] = state;
        const int r = static_cast<int>(row);
        emit dataChanged(index(r, 0), index(r, columnCount() - 1),
                         {kExpiryStateRole, Qt::ToolTipRole});
    }
}

QVariant CertificateListModel::data(const QModelIndex& index, int role) const {
    if ((role == kExpiryStateRole || role == Qt::ToolTipRole) && index.isValid() &&
        index.row() >= 0 && static_cast<std::size_t>(index.row()) < m_catalogue.size()) {
        const auto row = static_cast<std::size_t>(index.row());
        const std::optional<CertificateValidity>& validity = m_catalogue.validities()[row];
        if (!validity)
            return {};
        const std::chrono::system_clock::time_point now = Now();
        if (role == kExpiryStateRole)
            return static_cast<int>(ExpiryStateAt(*validity, now));
        // The offset in force now, as the date columns use it.
        const std::chrono::seconds offset{QDateTime::currentDateTime().offsetFromUtc()};
        return ToQString(ExpiryText(*validity, now, offset));
    }
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
