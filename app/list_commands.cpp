// What the two lists offer beyond their rows: expiry tints and tooltips, full texts of cut cells,
// last columns that take the window's width, copying, the Delete key and the row menus.
#include "app/varnok_quillet_dlg.h"
#include "catalogue/certificate_folder.h"
#include "catalogue/certificate_list_model.h"
#include "catalogue/list_cell_delegate.h"
#include "catalogue/list_columns.h"
#include "platform/file_uri.h"
#include "platform/text_codec.h"
#include "res/dialog_templates.h"
#include "ui/dialog_builder.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPersistentModelIndex>
#include <QTableView>

#include <algorithm>
#include <functional>

void CVarnokQuilletDlg::SetUpListCommands() {
    for (QTableView* list : {m_certificateList, m_informationList}) {
        list->setItemDelegate(new ListCellDelegate(list));
        StretchLastColumn(list);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
    }
    connect(m_certificateList, &QWidget::customContextMenuRequested, this,
            &CVarnokQuilletDlg::ShowCertificateListMenu);
    connect(m_informationList, &QWidget::customContextMenuRequested, this,
            &CVarnokQuilletDlg::ShowInformationListMenu);

    auto* deleteKey = new QAction(m_certificateList);
    deleteKey->setObjectName(QStringLiteral("deleteKey"));
    deleteKey->setShortcut(QKeySequence::Delete);
    deleteKey->setShortcutContext(Qt::WidgetShortcut);
    connect(deleteKey, &QAction::triggered, this, &CVarnokQuilletDlg::OnBnClickedDelete);
    m_certificateList->addAction(deleteKey);

    auto* copyKey = new QAction(m_informationList);
    copyKey->setObjectName(QStringLiteral("copyKey"));
    copyKey->setShortcut(QKeySequence::Copy);
    copyKey->setShortcutContext(Qt::WidgetShortcut);
    connect(copyKey, &QAction::triggered, this, &CVarnokQuilletDlg::CopyInformationRows);
    m_informationList->addAction(copyKey);

    // The folder in view, for the operator who wants to find it outside Quillet.
    if (auto* label = findChild<QLabel*>(ControlObjectName(IDC_CERTIFICATES_LABEL))) {
        const std::filesystem::path folder = GetCertificateFolder();
        if (!folder.empty())
            label->setToolTip(QString::fromStdU16String(PathToDisplayText(folder)));
    }
}

void CVarnokQuilletDlg::PopUpMenu(QMenu* menu, const QPoint& globalPosition) {
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPosition);
}

void CVarnokQuilletDlg::ShowCertificateListMenu(const QPoint& position) {
    QMenu* menu = CreateSystemMenu();
    const QModelIndex index = m_certificateList->indexAt(position);
    if (index.isValid()) {
        // The commands act on the selected row, so the row under the pointer is selected first.
        m_certificateList->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const QPersistentModelIndex row(index);
        // Each command runs after the menu has closed, and only while that row is still the
        // selected one (a rebuild meanwhile clears the selection).
        const auto onRow = [this, row](auto command) {
            return [this, row, command] {
                if (row.isValid() && SelectedCertificateRow() == row.row())
                    command();
            };
        };
        QAction* systemEntries = menu->actions().value(0);
        const struct {
            const char* text;
            std::function<void()> command;
        } entries[] = {
            {"Delete", [this] { OnBnClickedDelete(); }},
            {"Generate Citation", [this] { OnBnClickedGenerateCitation(); }},
            {"Show Certificate File", [this] { OnBnClickedShowCertificateFile(); }},
            {nullptr, {}},
            {"Copy Path", [this, row] { CopyCertificatePath(row.row()); }},
            {nullptr, {}},
        };
        for (const auto& entry : entries) {
            if (entry.text == nullptr) {
                menu->insertSeparator(systemEntries);
                continue;
            }
            auto* action = new QAction(QString::fromLatin1(entry.text), menu);
            connect(action, &QAction::triggered, this, onRow(entry.command), Qt::QueuedConnection);
            menu->insertAction(systemEntries, action);
        }
    }
    PopUpMenu(menu, m_certificateList->viewport()->mapToGlobal(position));
}

void CVarnokQuilletDlg::ShowInformationListMenu(const QPoint& position) {
    QMenu* menu = CreateSystemMenu();
    const QModelIndex index = m_informationList->indexAt(position);
    if (index.isValid()) {
        QItemSelectionModel* selection = m_informationList->selectionModel();
        if (!selection->isRowSelected(index.row(), {}))
            selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
        QAction* systemEntries = menu->actions().value(0);
        auto* copy = new QAction(QStringLiteral("Copy"), menu);
        copy->setShortcut(QKeySequence::Copy);
        connect(copy, &QAction::triggered, this, &CVarnokQuilletDlg::CopyInformationRows);
        menu->insertAction(systemEntries, copy);
        menu->insertSeparator(systemEntries);
    }
    PopUpMenu(menu, m_informationList->viewport()->mapToGlobal(position));
}

void CVarnokQuilletDlg::CopyInformationRows() {
    QModelIndexList rows = m_informationList->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    const QAbstractItemModel* model = m_informationList->model();
    QString text;
    for (const QModelIndex& row : rows) {
        text += model->index(row.row(), 0).data().toString() + QLatin1Char('\t') +
                model->index(row.row(), 1).data().toString() + QLatin1Char('\n');
    }
    QGuiApplication::clipboard()->setText(text);
}

void CVarnokQuilletDlg::CopyCertificatePath(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= filePaths().size())
        return;
    const std::filesystem::path& path = filePaths()[static_cast<std::size_t>(row)];
    auto* data = new QMimeData;
    data->setText(QString::fromStdU16String(PathToDisplayText(path)));
    // The URI keeps every byte of the name, also where the text cannot.
    const std::string uri = FileUriOfPath(path);
    data->setData(QStringLiteral("text/uri-list"),
                  QByteArray(uri.data(), static_cast<qsizetype>(uri.size())) + "\r\n");
    QGuiApplication::clipboard()->setMimeData(data);
}
