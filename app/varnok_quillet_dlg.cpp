#include "app/varnok_quillet_dlg.h"

#include "actions/drop_import.h"
#include "actions/file_actions.h"
#include "app/about_dlg.h"
#include "catalogue/certificate_folder.h"
#include "catalogue/certificate_list_model.h"
#include "catalogue/certificate_rows.h"
#include "catalogue/folder_scan.h"
#include "generate/new_commands.h"
#include "platform/text_codec.h"
#include "platform/trace.h"
#include "res/app_icon.h"
#include "res/strings.h"
#include "ui/dialog_builder.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <optional>
#include <thread>

CVarnokQuilletDlg::CVarnokQuilletDlg(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_icon(QuilletIcon()), m_refresh(m_catalogue, [this] {
          QMetaObject::invokeMethod(
              this, [this] { AdoptFinishedRefresh(); }, Qt::QueuedConnection);
      }) {
    m_catalogue.SetReadThreads(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    setObjectName(QStringLiteral("mainWindow"));
    setFont(MainDialogFont());
    const BuiltDialog built = BuildDialogTemplate(this, kMainWindowTemplate);
    m_initialClientSize = size();
    setMinimumSize(m_initialClientSize);
    for (const ResizeRule& rule : kMainWindowResizeRules) {
        if (QWidget* widget = built.Get<QWidget>(rule.id))
            m_placedControls.push_back(
                {widget, widget->geometry(), rule.moveX, rule.moveY, rule.growX, rule.growY});
    }
    m_certificateList = built.Get<QTableView>(IDC_CERTIFICATE_LIST);
    connect(built.Get<QPushButton>(IDC_NEW), &QPushButton::clicked, this,
            &CVarnokQuilletDlg::OnBnClickedNew);
    connect(built.Get<QPushButton>(IDC_GENERATE_CITATION), &QPushButton::clicked, this,
            &CVarnokQuilletDlg::OnBnClickedGenerateCitation);
    connect(built.Get<QPushButton>(IDC_DELETE), &QPushButton::clicked, this,
            &CVarnokQuilletDlg::OnBnClickedDelete);
    connect(built.Get<QPushButton>(IDC_SHOW_CERTIFICATE_FILE), &QPushButton::clicked, this,
            &CVarnokQuilletDlg::OnBnClickedShowCertificateFile);
    connect(built.Get<QPushButton>(IDC_HELP), &QPushButton::clicked, this,
            &CVarnokQuilletDlg::OnBnClickedHelp);
    m_informationList = built.Get<QTableView>(IDC_INFORMATION_LIST);
    setAcceptDrops(true);
    OnInitDialog();
}

CVarnokQuilletDlg::~CVarnokQuilletDlg() {
    // A refresh in flight stops after the file it reads; its outcome is dropped unseen.
    m_refresh.Stop();
}

void CVarnokQuilletDlg::OnInitDialog() {
    setWindowIcon(m_icon);
    SetUpLists();
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setObjectName(QStringLiteral("refreshTimer"));
    m_refreshTimer->setInterval(kRefreshIntervalMs);
    connect(m_refreshTimer, &QTimer::timeout, this, [this] { OnTimer(kRefreshTimerId); });
    m_refreshTimer->start();
}

void CVarnokQuilletDlg::SetUpLists() {
    m_certificateModel = std::make_unique<CertificateListModel>(m_catalogue);
    m_certificateList->setModel(m_certificateModel.get());
    m_certificateList->setSelectionMode(QAbstractItemView::SingleSelection);
    const int certificateWidths[] = {110, 110, 140, 140};
    int column = 0;
    for (const int width : certificateWidths)
        m_certificateList->horizontalHeader()->resizeSection(column++, width);
    connect(m_certificateList, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        OnClickCertificateList(index.isValid() ? index.row() : -1);
    });

    m_informationModel = new PropertyListModel(this);
    m_informationList->setModel(m_informationModel);
    m_informationList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_informationList->horizontalHeader()->resizeSection(0, 120);
    m_informationList->horizontalHeader()->resizeSection(1, 300);
    connect(m_informationList, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        OnClickInformationList(index.isValid() ? index.row() : -1);
    });
    SetUpListCommands();
}

QMenu* CVarnokQuilletDlg::CreateSystemMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("systemMenu"));
    QAction* close = menu->addAction(tr("&Close"));
    close->setData(SC_CLOSE);
    const QString aboutText = QString::fromUtf8(kAboutMenuText);
    if (!aboutText.isEmpty()) {
        menu->addSeparator();
        QAction* about = menu->addAction(aboutText);
        about->setData(IDM_ABOUTBOX);
    }
    connect(menu, &QMenu::triggered, this,
            [this](QAction* action) { OnSysCommand(action->data().toUInt()); });
    return menu;
}

void CVarnokQuilletDlg::OnSysCommand(unsigned id) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.exec();
    } else if ((id & 0xFFF0) == SC_CLOSE) {
        reject();
    }
}

void CVarnokQuilletDlg::contextMenuEvent(QContextMenuEvent* event) {
    PopUpMenu(CreateSystemMenu(), event->globalPos());
    event->accept();
}

void CVarnokQuilletDlg::dragEnterEvent(QDragEnterEvent* event) {
    AcceptFileDrag(event);
}

void CVarnokQuilletDlg::dragMoveEvent(QDragMoveEvent* event) {
    AcceptFileDrag(event);
}

void CVarnokQuilletDlg::dropEvent(QDropEvent* event) {
    ImportFileDrop(this, event);
}

void CVarnokQuilletDlg::OnTimer(int id) {
    if (id == kRefreshTimerId) {
        RefreshCertificateList();
        // A certificate may have expired since the last tick.
        m_certificateModel->UpdateExpiryStates();
    }
}

void CVarnokQuilletDlg::RefreshCertificateList() {
    AdoptFinishedRefresh();
    if (m_refresh.InFlight())
        return;
    try {
        m_refresh.Start(GetCertificateFolder());
    } catch (const std::exception& error) {
        Trace(u"Refresh failed: " + Utf8ToUtf16(error.what()) + u"\r\n");
    }
}

void CVarnokQuilletDlg::AdoptFinishedRefresh() {
    std::optional<BackgroundRefresh::Outcome> outcome = m_refresh.TakeOutcome();
    if (!outcome)
        return;
    // The new rows were built aside, complete; they replace the old ones in one step, between
    // two events of this thread, so no handler ever sees half of either.
    m_lastRefreshWorkTime = outcome->workTime;
    const bool rebuilt = outcome->update.has_value();
    if (rebuilt) {
        m_informationModel->Clear();
        m_certificateModel->Reset(
            [&]() noexcept { m_catalogue.Adopt(std::move(*outcome->update)); });
        m_certificateList->scrollToTop();
        // The update now holds the rows it replaced.
        m_refresh.Discard(std::move(*outcome->update));
    } else if (!outcome->failure.empty()) {
        try {
            Trace(u"Refresh skipped: " + Utf8ToUtf16(outcome->failure) + u"\r\n");
        } catch (const std::exception&) {
        }
    }
    emit refreshFinished(rebuilt);
}

void CVarnokQuilletDlg::OnClickCertificateList(int item) {
    const std::vector<CertPropertyList>& lists = m_catalogue.propertyLists();
    if (static_cast<unsigned>(item) >= lists.size())
        return;
    m_informationModel->SetProperties(lists[static_cast<std::size_t>(item)]);
}

void CVarnokQuilletDlg::OnClickInformationList(int) {}

void CVarnokQuilletDlg::OnBnClickedNew() {
    RunNewCommand(this);
}

void CVarnokQuilletDlg::OnBnClickedGenerateCitation() {
    RunGenerateCitationCommand(this, SelectedRowItem(propertyLists()));
}

void CVarnokQuilletDlg::OnBnClickedDelete() {
    if (const std::filesystem::path* path = SelectedRowItem(filePaths()))
        DeleteCertificateFile(this, *path);
}

void CVarnokQuilletDlg::OnBnClickedShowCertificateFile() {
    if (const std::filesystem::path* path = SelectedRowItem(filePaths()))
        ShowCertificateFile(*path);
}

void CVarnokQuilletDlg::OnBnClickedHelp() {
    OpenManual();
}

int CVarnokQuilletDlg::SelectedCertificateRow() const {
    const QModelIndexList rows = m_certificateList->selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows) {
        if (first < 0 || index.row() < first)
            first = index.row();
    }
    return first;
}

void CVarnokQuilletDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ApplyResizeRules();
}

void CVarnokQuilletDlg::ApplyResizeRules() {
    const int dx = width() - m_initialClientSize.width();
    const int dy = height() - m_initialClientSize.height();
    for (const PlacedControl& control : m_placedControls) {
        QRect rect = control.initial;
        rect.translate(dx * control.moveX / 100, dy * control.moveY / 100);
        rect.setSize(rect.size() + QSize(dx * control.growX / 100, dy * control.growY / 100));
        control.widget->setGeometry(rect);
    }
}
