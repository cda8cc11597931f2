#include "catalogue/certificate_list_model.h"

#include <utility>

namespace {

const char* const kCertificateHeadings[] = {"File Name", "Common Name", "Valid Date From",
                                            "Valid Date To"};
const char* const kInformationHeadings[] = {"Name", "Value"};

QVariant Heading(const char* const* headings, int count, int section, Qt::Orientation orientation,
                 int role) {
    if (orientation != Qt::Horizontal || section < 0 || section >= count)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(headings[section]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

} // namespace

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

void CertificateListModel::Replace(Rows&& rows) noexcept {
    beginResetModel();
    m_rows.swap(rows);
    endResetModel();
}

int CertificateListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CertificateListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant CertificateListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size()))
        return {};
    if (role == Qt::DisplayRole)
        return m_rows[static_cast<std::size_t>(index.row())]
                     [static_cast<std::size_t>(index.column())];
    return {};
}

QVariant CertificateListModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
    return Heading(kCertificateHeadings, 4, section, orientation, role);
}

Qt::ItemFlags CertificateListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void PropertyListModel::SetProperties(const CertPropertyList& properties) {
    std::vector<std::array<QString, 2>> rows;
    rows.reserve(properties.size());
    for (const auto& property : properties)
        rows.push_back({ToQString(property.name), ToQString(property.value)});
    beginResetModel();
    m_rows.swap(rows);
    endResetModel();
}

void PropertyListModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int PropertyListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PropertyListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant PropertyListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size()))
        return {};
    if (role == Qt::DisplayRole)
        return m_rows[static_cast<std::size_t>(index.row())]
                     [static_cast<std::size_t>(index.column())];
    return {};
}

QVariant PropertyListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    return Heading(kInformationHeadings, 2, section, orientation, role);
}

Qt::ItemFlags PropertyListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
