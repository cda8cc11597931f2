// The main window's refresh, which lists and reads the folder on a thread of its own: the rows
// come from the window's own timer, change in one step on the window's thread, and never mix two
// states; a command during a refresh acts on what it saw; closing during a refresh is clean.
#include "app/varnok_quillet_dlg.h"
#include "catalogue/certificate_folder.h"
#include "catalogue/certificate_rows.h"
#include "platform/message_box.h"
#include "platform/text_codec.h"
#include "refresh_wait.h"
#include "res/dialog_templates.h"
#include "support/cert_builder.h"
#include "support/temp_folder.h"
#include "support/time_zone_override.h"
#include "ui/dialog_builder.h"

#include <QAbstractItemModel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Answers a message box only once the window's refresh in flight has been adopted, as a box
// open while the timer ticks would; records the rows' first path it saw then.
class BoxWaitingForTheRefresh final : public MessageBoxService {
public:
    explicit BoxWaitingForTheRefresh(CVarnokQuilletDlg& window) : m_window(window) {
        SetMessageBoxService(this);
    }
    ~BoxWaitingForTheRefresh() override { SetMessageBoxService(nullptr); }

    int Show(QWidget*, const QString&, const QString&, unsigned) override {
        ++shown;
        inFlightWhenShown = m_window.RefreshInFlight();
        adopted = WaitForRefreshToEnd(m_window);
        if (!m_window.filePaths().empty())
            firstRowWhenAnswered = m_window.filePaths().front();
        return kAnswerOk;
    }

    int shown = 0;
    bool inFlightWhenShown = false;
    bool adopted = false;
    fs::path firstRowWhenAnswered;

private:
    CVarnokQuilletDlg& m_window;
};

std::string Certificate(const std::string& commonName) {
    return CertBuilder()
        .Subject({{"2.5.4.3", V_ASN1_UTF8STRING, commonName}})
        .San({SanEntry::Uri("urn:" + commonName)})
        .BuildDer();
}

// Seconds since the file's last status change.
double SecondsSinceChange(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return 0;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec - st.st_ctim.tv_sec) +
           static_cast<double>(now.tv_nsec - st.st_ctim.tv_nsec) / 1e9;
}

} // namespace

class BackgroundRefreshTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rowsAppearFromTheWindowsOwnTimer();
    void theStateChangesInOneStepOnTheWindowsThread();
    void aTickDuringARefreshStartsNoOther();
    void aCommandDuringARefreshActsOnTheStateItSaw();
    void aTimeZoneChangeMakesTheNextRebuildReadEveryCertificate();
    void closingDuringARefreshIsClean();

private:
    fs::path Folder() const { return GetCertificateFolder(); }
    QTableView* Certificates() const {
        return m_dlg->findChild<QTableView*>(ControlObjectName(IDC_CERTIFICATE_LIST));
    }
    QTableView* Information() const {
        return m_dlg->findChild<QTableView*>(ControlObjectName(IDC_INFORMATION_LIST));
    }
    QTimer* Timer() const { return m_dlg->findChild<QTimer*>(QStringLiteral("refreshTimer")); }
    void OpenWindow(bool ownTimer);
    // Empty when the rows show filePaths() and propertyLists(), each of them as long as the other.
    QString Disagreement() const;
    void ClickRow(int row);

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<CVarnokQuilletDlg> m_dlg;
};

void BackgroundRefreshTest::init() {
    m_data = std::make_unique<QTemporaryDir>();
    QVERIFY(m_data->isValid());
    qputenv("XDG_DATA_HOME", m_data->path().toUtf8());
    std::error_code error;
    QCOMPARE(EnsureCertificateFolder(Folder(), error), FolderCreation::Created);
}

void BackgroundRefreshTest::cleanup() {
    m_dlg.reset();
    m_data.reset();
}

void BackgroundRefreshTest::OpenWindow(bool ownTimer) {
    m_dlg = std::make_unique<CVarnokQuilletDlg>();
    if (!ownTimer)
        Timer()->stop();
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
}

QString BackgroundRefreshTest::Disagreement() const {
    const QAbstractItemModel* model = Certificates()->model();
    const auto rows = static_cast<std::size_t>(model->rowCount());
    if (m_dlg->filePaths().size() != rows || m_dlg->propertyLists().size() != rows)
        return QStringLiteral("%1 rows, %2 paths, %3 property lists")
            .arg(rows)
            .arg(m_dlg->filePaths().size())
            .arg(m_dlg->propertyLists().size());
    for (std::size_t i = 0; i < rows; ++i) {
        const CertificateRowCells cells =
            CellsOfRow(m_dlg->filePaths()[i], m_dlg->propertyLists()[i]);
        const std::u16string* texts[] = {&cells.fileName, &cells.commonName, &cells.validFrom,
                                         &cells.validTo};
        for (int column = 0; column < 4; ++column) {
            if (model->index(static_cast<int>(i), column).data().toString() !=
                QString::fromStdU16String(*texts[column]))
                return QStringLiteral("row %1 column %2 differs").arg(i).arg(column);
        }
    }
    return {};
}

void BackgroundRefreshTest::ClickRow(int row) {
    QTableView* view = Certificates();
    const QRect rect = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

void BackgroundRefreshTest::rowsAppearFromTheWindowsOwnTimer() {
    WriteFileBytes(Folder() / "a.crt", Certificate("alpha"));
    SetModifiedTime(Folder() / "a.crt", 1000);
    WriteFileBytes(Folder() / "a.key", "key");
    SetModifiedTime(Folder() / "a.key", 2000);
    OpenWindow(true);
    QVERIFY(Timer()->isActive());
    QCOMPARE(Timer()->interval(), CVarnokQuilletDlg::kRefreshIntervalMs);

    QTRY_COMPARE_WITH_TIMEOUT(m_dlg->filePaths().size(), 2u, kRefreshWaitMs);
    QVERIFY2(Disagreement().isEmpty(), qPrintable(Disagreement()));
    QCOMPARE(m_dlg->propertyLists()[0], ReadCertificateProperties(Folder() / "a.crt"));
    QCOMPARE(Certificates()->model()->index(0, 1).data().toString(), QStringLiteral("alpha"));

    // A file added later shows up at a later tick, last.
    WriteFileBytes(Folder() / "b.csr", "csr");
    QTRY_COMPARE_WITH_TIMEOUT(m_dlg->filePaths().size(), 3u, kRefreshWaitMs);
    QCOMPARE(m_dlg->filePaths().back(), Folder() / "b.csr");
    QVERIFY2(Disagreement().isEmpty(), qPrintable(Disagreement()));
}

void BackgroundRefreshTest::theStateChangesInOneStepOnTheWindowsThread() {
    for (int i = 0; i < 40; ++i) {
        const fs::path path = Folder() / ("c" + std::to_string(i) + ".crt");
        WriteFileBytes(path, Certificate("c" + std::to_string(i)));
        SetModifiedTime(path, 1000 + i);
    }
    OpenWindow(false);
    QVERIFY(RefreshAndWait(*m_dlg));
    QCOMPARE(m_dlg->filePaths().size(), 40u);
    ClickRow(3);
    QCOMPARE(m_dlg->SelectedCertificateRow(), 3);
    QVERIFY(Information()->model()->rowCount() > 0);

    // Every reset of the list shows a complete state, and it happens on the window's thread.
    QStringList failures;
    int resets = 0;
    QObject::connect(Certificates()->model(), &QAbstractItemModel::modelReset, m_dlg.get(), [&] {
        ++resets;
        if (QThread::currentThread() != m_dlg->thread())
            failures << QStringLiteral("reset off the window's thread");
        if (const QString d = Disagreement(); !d.isEmpty())
            failures << d;
    });

    fs::remove(Folder() / "c0.crt");
    WriteFileBytes(Folder() / "z.key", "key");
    const std::vector<fs::path> before = m_dlg->filePaths();
    m_dlg->RefreshCertificateList();
    QVERIFY(m_dlg->RefreshInFlight());
    // Until the outcome is adopted, the old state stands, selection and Information included.
    QCOMPARE(m_dlg->filePaths(), before);
    QVERIFY2(Disagreement().isEmpty(), qPrintable(Disagreement()));
    ClickRow(5);
    QCOMPARE(m_dlg->SelectedCertificateRow(), 5);
    QCOMPARE(Information()->model()->rowCount(),
             static_cast<int>(m_dlg->propertyLists()[5].size()));

    QVERIFY(WaitForRefreshToEnd(*m_dlg));
    QCOMPARE(resets, 1);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    QCOMPARE(m_dlg->filePaths().size(), 40u);
    QCOMPARE(m_dlg->filePaths().front(), Folder() / "c1.crt");
    QCOMPARE(m_dlg->filePaths().back(), Folder() / "z.key");
    QCOMPARE(m_dlg->SelectedCertificateRow(), -1);
    QCOMPARE(Information()->model()->rowCount(), 0);
    QVERIFY2(Disagreement().isEmpty(), qPrintable(Disagreement()));
}

void BackgroundRefreshTest::aTickDuringARefreshStartsNoOther() {
    for (int i = 0; i < 60; ++i)
        WriteFileBytes(Folder() / ("c" + std::to_string(i) + ".crt"), Certificate("many"));
    OpenWindow(false);
    QSignalSpy finished(m_dlg.get(), &CVarnokQuilletDlg::refreshFinished);
    m_dlg->RefreshCertificateList();
    QVERIFY(m_dlg->RefreshInFlight());
    for (int tick = 0; tick < 5; ++tick)
        m_dlg->OnTimer(CVarnokQuilletDlg::kRefreshTimerId);
    QVERIFY(WaitForRefreshToEnd(*m_dlg));
    // The ticks met the refresh in flight or its outcome, which they adopted: one refresh ran.
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.front().front().toBool(), true);
    QVERIFY(!m_dlg->RefreshInFlight());
    QCOMPARE(m_dlg->filePaths().size(), 60u);
}

void BackgroundRefreshTest::aCommandDuringARefreshActsOnTheStateItSaw() {
    WriteFileBytes(Folder() / "a.key", "key");
    SetModifiedTime(Folder() / "a.key", 2000);
    WriteFileBytes(Folder() / "b.key", "key");
    SetModifiedTime(Folder() / "b.key", 3000);
    OpenWindow(false);
    QVERIFY(RefreshAndWait(*m_dlg));
    Certificates()->selectRow(0);
    QCOMPARE(m_dlg->filePaths().front(), Folder() / "a.key");

    // An older file makes the refresh in flight put another file in row 0.
    WriteFileBytes(Folder() / "older.key", "key");
    SetModifiedTime(Folder() / "older.key", 1000);
    m_dlg->RefreshCertificateList();
    BoxWaitingForTheRefresh box(*m_dlg);
    m_dlg->findChild<QPushButton*>(ControlObjectName(IDC_DELETE))->click();

    QCOMPARE(box.shown, 1);
    QVERIFY(box.inFlightWhenShown);
    QVERIFY(box.adopted);
    QCOMPARE(box.firstRowWhenAnswered, Folder() / "older.key");
    // The file of the row selected when Delete was clicked is gone, and only that one.
    QVERIFY(!fs::exists(Folder() / "a.key"));
    QVERIFY(fs::exists(Folder() / "older.key"));
    QVERIFY(fs::exists(Folder() / "b.key"));
    QVERIFY(RefreshAndWait(*m_dlg));
    QCOMPARE(m_dlg->filePaths(),
             (std::vector<fs::path>{Folder() / "older.key", Folder() / "b.key"}));
}

void BackgroundRefreshTest::aTimeZoneChangeMakesTheNextRebuildReadEveryCertificate() {
    // Valid from 2024-01-01 00:00:00 UTC: shown as 00:00:00 in UTC and 09:00:00 at UTC+9.
    TimeZoneOverride utc("UTC0");
    for (const char* name : {"a", "b", "c"}) {
        const fs::path path = Folder() / (std::string(name) + ".crt");
        WriteFileBytes(path, Certificate(name));
        SetModifiedTime(path, 1000);
    }
    // Rows are handed on only for files whose time stamps had settled when they were read.
    QTRY_VERIFY_WITH_TIMEOUT(SecondsSinceChange(Folder() / "c.crt") >
                                 CertificateCatalogue::kDefaultSettleTime.count() / 1e9,
                             kRefreshWaitMs);
    OpenWindow(false);
    QVERIFY(RefreshAndWait(*m_dlg));
    QCOMPARE(Certificates()->model()->index(0, 2).data().toString(),
             QStringLiteral("2024-01-01 00:00:00"));

    {
        TimeZoneOverride tokyo("JST-9");
        // A new file makes the next tick rebuild the rows.
        WriteFileBytes(Folder() / "d.key", "key");
        QVERIFY(RefreshAndWait(*m_dlg));
        QCOMPARE(m_dlg->filePaths().size(), 4u);
        for (std::size_t i = 0; i < m_dlg->filePaths().size(); ++i)
            QCOMPARE(m_dlg->propertyLists()[i], PropertiesOfListedFile(m_dlg->filePaths()[i]));
        for (int row = 0; row < 3; ++row)
            QCOMPARE(Certificates()->model()->index(row, 2).data().toString(),
                     QStringLiteral("2024-01-01 09:00:00"));
    }
}

void BackgroundRefreshTest::closingDuringARefreshIsClean() {
    // Enough certificates that the refresh is still reading when the window closes.
    const std::string der = Certificate("closing");
    for (int i = 0; i < 400; ++i)
        WriteFileBytes(Folder() / ("c" + std::to_string(i) + ".crt"), der);
    for (int round = 0; round < 3; ++round) {
        OpenWindow(round == 2);
        m_dlg->RefreshCertificateList();
        QVERIFY(m_dlg->RefreshInFlight());
        m_dlg->reject();
        m_dlg.reset();
    }
    // A window opened afterwards works as usual.
    OpenWindow(false);
    QVERIFY(RefreshAndWait(*m_dlg));
    QCOMPARE(m_dlg->filePaths().size(), 400u);
}

QTEST_MAIN(BackgroundRefreshTest)
#include "background_refresh_test.moc"
