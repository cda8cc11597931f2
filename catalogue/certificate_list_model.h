// Table models behind the Certificates list and the Information list.
#pragma once

#include "catalogue/certificate_rows.h"
#include "inspect/certificate_decoder.h"

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <filesystem>
#include <vector>

// One row per listed file: "File Name", "Common Name", "Valid Date From", "Valid Date To".
class CertificateListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // The cell texts of the given rows, computed before anything is shown, so that a failure
    // while computing them leaves the model as it was.
    using Rows = std::vector<std::array<QString, 4>>;
    static Rows MakeRows(const std::vector<std::filesystem::path>& paths,
                         const std::vector<CertPropertyList>& propertyLists);

    // Shows `rows` in place of the current ones (one model reset).
    void Replace(Rows&& rows) noexcept;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    Rows m_rows;
};

// The entries of one property list: "Name" and "Value".
class PropertyListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetProperties(const CertPropertyList& properties);
    void Clear();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<std::array<QString, 2>> m_rows;
};

inline QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
