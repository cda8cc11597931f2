// Table models behind the Certificates list and the Information list.
#pragma once

#include "catalogue/certificate_catalogue.h"
#include "catalogue/certificate_expiry.h"
#include "inspect/certificate_decoder.h"
#include "ui/qt_text.h"

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

// Read-only rows under fixed, left-aligned headings.
template <std::size_t Columns> class HeadedTableModel : public QAbstractTableModel {
public:
    HeadedTableModel(std::array<const char*, Columns> headings, QObject* parent)
        : QAbstractTableModel(parent), m_headings(headings) {}

    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(Columns);
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

protected:
    // The row and column of a display request inside `rows` rows, or false.
    bool DisplayCell(const QModelIndex& index, int role, std::size_t rows, std::size_t& row,
                     std::size_t& column) const {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() < 0 || index.column() < 0 ||
            static_cast<std::size_t>(index.row()) >= rows ||
            static_cast<std::size_t>(index.column()) >= Columns)
            return false;
        row = static_cast<std::size_t>(index.row());
        column = static_cast<std::size_t>(index.column());
        return true;
    }

private:
    std::array<const char*, Columns> m_headings;
};

// Rows of plain text held by the model itself.
template <std::size_t Columns> class TextTableModel : public HeadedTableModel<Columns> {
public:
    using Row = std::array<QString, Columns>;
    using Rows = std::vector<Row>;
    using HeadedTableModel<Columns>::HeadedTableModel;

    // Shows `rows` in place of the current ones (one model reset).
    void Replace(Rows&& rows) noexcept {
        this->beginResetModel();
        m_rows.swap(rows);
        this->endResetModel();
    }
    void Clear() { Replace({}); }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        std::size_t row = 0, column = 0;
        if (!this->DisplayCell(index, role, m_rows.size(), row, column))
            return {};
        return m_rows[row][column];
    }

private:
    Rows m_rows;
};

// Where a certificate row stands in its validity period now: an ExpiryState as an int, nothing
// for a row without a known period (keys, requests, files that do not decode).
inline constexpr int kExpiryStateRole = Qt::UserRole + 1;

// One row per file of the catalogue: "File Name", "Common Name", "Valid Date From", "Valid Date
// To". The cells are worked out from the catalogue's per-row state when the view asks for them
// (only the rows on screen), so a rebuild costs one model reset whatever the number of rows.
// A certificate row with a known period also tells, by the clock in use, its ExpiryState
// (kExpiryStateRole) and the time left or past in whole days (its tooltip).
class CertificateListModel final : public HeadedTableModel<4> {
public:
    CertificateListModel(const CertificateCatalogue& catalogue, QObject* parent = nullptr);

    // Runs `change`, which must not throw and may replace the catalogue's rows, inside one model
    // reset.
    template <typename Change> void Reset(Change&& change) noexcept {
        beginResetModel();
        std::forward<Change>(change)();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Signals the rows whose ExpiryState changed since the last call, as the clock moved on; the
    // first call after a reset only takes note of the states.
    void UpdateExpiryStates();

private:
    std::optional<ExpiryState> StateOfRow(std::size_t row) const;

    const CertificateCatalogue& m_catalogue;
    std::vector<std::optional<ExpiryState>> m_shownStates; // as of the last update
};

// The entries of one property list: "Name" and "Value".
class PropertyListModel final : public TextTableModel<2> {
public:
    explicit PropertyListModel(QObject* parent = nullptr);

    void SetProperties(const CertPropertyList& properties);
};
