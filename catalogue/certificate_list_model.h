// Table models behind the Certificates list and the Information list.
#pragma once

#include "catalogue/certificate_rows.h"
#include "inspect/certificate_decoder.h"

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

inline QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Read-only rows of plain text under fixed, left-aligned headings.
template <std::size_t Columns> class TextTableModel : public QAbstractTableModel {
public:
    using Row = std::array<QString, Columns>;
    using Rows = std::vector<Row>;

    TextTableModel(std::array<const char*, Columns> headings, QObject* parent)
        : QAbstractTableModel(parent), m_headings(headings) {}

    // Shows `rows` in place of the current ones (one model reset).
    void Replace(Rows&& rows) noexcept {
        beginResetModel();
        m_rows.swap(rows);
        endResetModel();
    }
    void Clear() { Replace({}); }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(Columns);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() ||
            static_cast<std::size_t>(index.row()) >= m_rows.size() ||
            static_cast<std::size_t>(index.column()) >= Columns)
            return {};
        return m_rows[static_cast<std::size_t>(index.row())]
                     [static_cast<std::size_t>(index.column())];
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 ||
            static_cast<std::size_t>(section) >= Columns)
            return {};
        if (role == Qt::DisplayRole)
            return QString::fromLatin1(m_headings[static_cast<std::size_t>(section)]);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

private:
    std::array<const char*, Columns> m_headings;
    Rows m_rows;
};

// One row per listed file: "File Name", "Common Name", "Valid Date From", "Valid Date To".
class CertificateListModel final : public TextTableModel<4> {
public:
    explicit CertificateListModel(QObject* parent = nullptr);

    // The cell texts of the given rows, computed before anything is shown, so that a failure
    // while computing them leaves the model as it was.
    static Rows MakeRows(const std::vector<std::filesystem::path>& paths,
                         const std::vector<CertPropertyList>& propertyLists);
};

// The entries of one property list: "Name" and "Value".
class PropertyListModel final : public TextTableModel<2> {
public:
    explicit PropertyListModel(QObject* parent = nullptr);

    void SetProperties(const CertPropertyList& properties);
};
