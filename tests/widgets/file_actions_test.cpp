// Delete, Show Certificate File and HELP on the real main window. The file manager is a
// stand-in registered on a private session bus; opened documents and folders are captured
// through the desktop services' URL handler.
#include "app/varnok_quillet_dlg.h"
#include "catalogue/certificate_folder.h"
#include "fake_message_box.h"
#include "generate/cert_gen_form.h"
#include "platform/file_uri.h"
#include "refresh_wait.h"
#include "res/dialog_templates.h"
#include "support/cert_builder.h"
#include "support/temp_folder.h"
#include "ui/dialog_builder.h"
#include "ui/ip_address_edit.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <memory>

namespace fs = std::filesystem;

// What the desktop would do with a URL: here it is only written down.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

// A file manager that only remembers what it was asked to show.
class StandInFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

class FileActionsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void deleteAnsweredOkRemovesOnlyThatFile();
    void deleteAnsweredCancelKeepsTheFile();
    void deleteOfAVanishedFileShowsNothing();
    void withoutASelectionNothingHappens();
    void showCertificateFileAsksTheFileManager();
    void withoutAFileManagerTheFolderIsOpened();
    void helpOpensTheFirstManualOfTheCurrentDirectory();
    void deleteKeyAsksTheSameQuestion();
    void rowMenuRunsEachCommandOnThatRow();
    void menuBesideTheRowsIsTheWindowsMenu();

private:
    fs::path Folder() const { return GetCertificateFolder(); }
    void Click(int id) { m_dlg->findChild<QPushButton*>(ControlObjectName(id))->click(); }
    void SelectRowNamed(const std::string& name);

    QProcess m_bus;
    QString m_busAddress;
    std::unique_ptr<StandInFileManager> m_fileManager;
    UrlCatcher m_urls;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<FakeMessageBoxes> m_boxes;
    std::unique_ptr<CVarnokQuilletDlg> m_dlg;
};

void FileActionsTest::initTestCase() {
    // A private session bus for this test alone, set before anything connects to one.
    m_bus.start(QStringLiteral("dbus-daemon"),
                {"--session", "--nofork", "--nopidfile", "--print-address=1"});
    QVERIFY2(m_bus.waitForStarted(10000), "dbus-daemon (Debian package dbus) is needed");
    QVERIFY(m_bus.waitForReadyRead(10000));
    m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
    QVERIFY(!m_busAddress.isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_busAddress.toUtf8());
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_urls, "open");
}

void FileActionsTest::cleanupTestCase() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    m_bus.kill();
    m_bus.waitForFinished();
}

void FileActionsTest::init() {
    m_data = std::make_unique<QTemporaryDir>();
    QVERIFY(m_data->isValid());
    qputenv("XDG_DATA_HOME", m_data->path().toUtf8());
    std::error_code error;
    EnsureCertificateFolder(Folder(), error);
    m_boxes = std::make_unique<FakeMessageBoxes>();
    m_urls.urls.clear();
    m_dlg = std::make_unique<CVarnokQuilletDlg>();
    m_dlg->findChild<QTimer*>(QStringLiteral("refreshTimer"))->stop();
    m_dlg->show();
}

void FileActionsTest::cleanup() {
    m_dlg.reset();
    m_boxes.reset();
    m_data.reset();
}

void FileActionsTest::SelectRowNamed(const std::string& name) {
    QVERIFY(RefreshAndWait(*m_dlg));
    auto* view = m_dlg->findChild<QTableView*>(ControlObjectName(IDC_CERTIFICATE_LIST));
    for (std::size_t i = 0; i < m_dlg->filePaths().size(); ++i) {
        if (m_dlg->filePaths()[i].filename() == name) {
            view->selectRow(static_cast<int>(i));
            return;
        }
    }
    QFAIL(("no row named " + name).c_str());
}

void FileActionsTest::deleteAnsweredOkRemovesOnlyThatFile() {
    for (const char* name : {"web.key", "web.csr", "web.crt"})
        WriteFileBytes(Folder() / name, name);
    SelectRowNamed("web.crt");
    const int rows =
        m_dlg->findChild<QTableView*>(ControlObjectName(IDC_CERTIFICATE_LIST))->model()->rowCount();
    m_boxes->answers = {kAnswerOk};
    Click(IDC_DELETE);

    QCOMPARE(m_boxes->calls.size(), 1);
    QCOMPARE(m_boxes->calls[0].text,
             QStringLiteral("This action deletes a file.Deleted files cannot be undone.Are you "
                            "sure you want to continue ?"));
    QCOMPARE(m_boxes->calls[0].caption, QStringLiteral("Message"));
    QCOMPARE(m_boxes->calls[0].type, 0x31u);
    QVERIFY(!fs::exists(Folder() / "web.crt"));
    QVERIFY(fs::exists(Folder() / "web.key"));
    QVERIFY(fs::exists(Folder() / "web.csr"));
    // The lists wait for the next tick.
    QCOMPARE(m_dlg->filePaths().size(), static_cast<std::size_t>(rows));
    QVERIFY(RefreshAndWait(*m_dlg));
    QCOMPARE(m_dlg->filePaths().size(), static_cast<std::size_t>(rows - 1));
}

void FileActionsTest::deleteAnsweredCancelKeepsTheFile() {
    WriteFileBytes(Folder() / "web.key", "key");
    SelectRowNamed("web.key");
    m_boxes->answers = {kAnswerCancel};
    Click(IDC_DELETE);
    QCOMPARE(m_boxes->calls.size(), 1);
    QVERIFY(fs::exists(Folder() / "web.key"));
}

void FileActionsTest::deleteOfAVanishedFileShowsNothing() {
    WriteFileBytes(Folder() / "gone.csr", "csr");
    SelectRowNamed("gone.csr");
    fs::remove(Folder() / "gone.csr");
    // A folder that took the file's name is not removed either.
    fs::create_directory(Folder() / "gone.csr");
    m_boxes->answers = {kAnswerOk};
    Click(IDC_DELETE);
    QCOMPARE(m_boxes->calls.size(), 1); // the question only, no report
    QVERIFY(fs::is_directory(Folder() / "gone.csr"));
}

void FileActionsTest::withoutASelectionNothingHappens() {
    WriteFileBytes(Folder() / "web.key", "key");
    QVERIFY(RefreshAndWait(*m_dlg));
    QCOMPARE(m_dlg->SelectedCertificateRow(), -1);
    Click(IDC_DELETE);
    Click(IDC_SHOW_CERTIFICATE_FILE);
    QTest::qWait(100);
    QVERIFY(m_boxes->calls.isEmpty());
    QVERIFY(m_urls.urls.isEmpty());
    QVERIFY(fs::exists(Folder() / "web.key"));
}

void FileActionsTest::showCertificateFileAsksTheFileManager() {
    m_fileManager = std::make_unique<StandInFileManager>();
    QDBusConnection standIn = QDBusConnection::connectToBus(m_busAddress, "standIn");
    QVERIFY(standIn.isConnected());
    QVERIFY(standIn.registerObject(QStringLiteral("/org/freedesktop/FileManager1"),
                                   m_fileManager.get(), QDBusConnection::ExportAllSlots));
    QVERIFY(standIn.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    const fs::path file = Folder() / "my cert \xC3\xA9t\xC3\xA9.crt";
    WriteFileBytes(file, "not decoded here");
    SelectRowNamed(file.filename().native());
    Click(IDC_SHOW_CERTIFICATE_FILE);
    QTRY_COMPARE_WITH_TIMEOUT(m_fileManager->shown.size(), 1, 5000);
    const QString uri = m_fileManager->shown[0];
    QCOMPARE(uri.toStdString(), FileUriOfPath(file));
    QVERIFY(uri.contains(QStringLiteral("my%20cert%20%C3%A9t%C3%A9.crt")));
    QCOMPARE(QUrl(uri).toLocalFile(), QString::fromStdString(file.native()));
    // Nothing was opened as a document: the file manager did the showing.
    QTest::qWait(100);
    QVERIFY(m_urls.urls.isEmpty());

    standIn.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    standIn.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    QDBusConnection::disconnectFromBus("standIn");
    m_fileManager.reset();
}

void FileActionsTest::withoutAFileManagerTheFolderIsOpened() {
    // A file named like a launcher is never opened or run itself.
    const fs::path file = Folder() / "evil.desktop.crt";
    WriteFileBytes(file, "[Desktop Entry]\nExec=touch /tmp/quillet-pwned\n");
    SelectRowNamed("evil.desktop.crt");
    Click(IDC_SHOW_CERTIFICATE_FILE);
    QTRY_COMPARE_WITH_TIMEOUT(m_urls.urls.size(), 1, 10000);
    QCOMPARE(m_urls.urls[0].toLocalFile(), QString::fromStdString(Folder().native()));
}

void FileActionsTest::helpOpensTheFirstManualOfTheCurrentDirectory() {
    // The current directory, not the executable's folder, is where the manuals are looked for.
    QTemporaryDir cwd;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(cwd.path()));
    const auto write = [&](const char* name) {
        WriteFileBytes(fs::path(cwd.path().toStdString()) / name, "%PDF-1.4\n");
    };

    Click(IDC_HELP);
    QVERIFY(m_urls.urls.isEmpty());

    write("QuilletManuals_en.pdf");
    Click(IDC_HELP);
    QCOMPARE(m_urls.urls.size(), 1);
    QCOMPARE(m_urls.urls[0].toLocalFile(), cwd.filePath("QuilletManuals_en.pdf"));

    write("QuilletManuals.pdf");
    Click(IDC_HELP);
    QCOMPARE(m_urls.urls.size(), 2);
    QCOMPARE(m_urls.urls[1].toLocalFile(), cwd.filePath("QuilletManuals.pdf"));
    QVERIFY(QDir::setCurrent(previous));
}

void FileActionsTest::deleteKeyAsksTheSameQuestion() {
    for (const char* name : {"a.key", "b.key"})
        WriteFileBytes(Folder() / name, name);
    SelectRowNamed("b.key");
    m_boxes->answers = {kAnswerCancel};
    Click(IDC_DELETE);
    QCOMPARE(m_boxes->calls.size(), 1);

    auto* view = m_dlg->findChild<QTableView*>(ControlObjectName(IDC_CERTIFICATE_LIST));
    m_dlg->activateWindow();
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());
    m_boxes->answers = {kAnswerCancel, kAnswerOk};
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(m_boxes->calls.size(), 2);
    QCOMPARE(m_boxes->calls[1].text, m_boxes->calls[0].text);
    QCOMPARE(m_boxes->calls[1].caption, m_boxes->calls[0].caption);
    QCOMPARE(m_boxes->calls[1].type, m_boxes->calls[0].type);
    QVERIFY(fs::exists(Folder() / "b.key"));
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(m_boxes->calls.size(), 3);
    QVERIFY(!fs::exists(Folder() / "b.key"));
    QVERIFY(fs::exists(Folder() / "a.key"));
}

// Opens the menu of the Certificates list at `row` (-1: below the rows) and returns its entries.
static QMenu* OpenCertificateMenu(CVarnokQuilletDlg* dlg, int row) {
    auto* view = dlg->findChild<QTableView*>(ControlObjectName(IDC_CERTIFICATE_LIST));
    const QPoint at = row >= 0 ? view->visualRect(view->model()->index(row, 1)).center()
                               : QPoint(5, view->viewport()->height() - 3);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
    for (QMenu* menu : dlg->findChildren<QMenu*>(QStringLiteral("systemMenu")))
        if (menu->isVisible())
            return menu;
    return nullptr;
}

static QStringList EntriesOf(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

static QAction* EntryNamed(const QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

void FileActionsTest::rowMenuRunsEachCommandOnThatRow() {
    const fs::path certificate = Folder() / "web server.crt";
    WriteFileBytes(certificate, CertBuilder()
                                    .Subject({Attr("2.5.4.3", "menu.example")})
                                    .San({SanEntry::Ip(std::string("\x0A\x01\x02\x03", 4))})
                                    .BuildDer());
    SetModifiedTime(certificate, 2000);
    WriteFileBytes(Folder() / "web.key", "key");
    SetModifiedTime(Folder() / "web.key", 1000);
    QVERIFY(RefreshAndWait(*m_dlg));
    QCOMPARE(m_dlg->filePaths().size(), std::size_t{2});
    QCOMPARE(m_dlg->SelectedCertificateRow(), -1);

    // The row under the pointer is selected, and its commands come before the window's entries.
    QMenu* menu = OpenCertificateMenu(m_dlg.get(), 1);
    QVERIFY(menu != nullptr);
    QCOMPARE(m_dlg->SelectedCertificateRow(), 1);
    QCOMPARE(EntriesOf(menu),
             (QStringList{"Delete", "Generate Citation", "Show Certificate File", "-", "Copy Path",
                          "-", "&Close", "-", QString::fromUtf8("Quilletについて(&A)...")}));

    // Copy Path: the whole path, as text and as a URI that keeps its bytes.
    QApplication::clipboard()->clear();
    EntryNamed(menu, "Copy Path")->trigger();
    QTRY_COMPARE(QApplication::clipboard()->text(), QString::fromStdString(certificate.native()));
    QCOMPARE(QApplication::clipboard()->mimeData()->data("text/uri-list").toStdString(),
             FileUriOfPath(certificate) + "\r\n");

    // Show Certificate File: no file manager answers on this bus, so the folder is opened.
    menu = OpenCertificateMenu(m_dlg.get(), 1);
    EntryNamed(menu, "Show Certificate File")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_urls.urls.size(), 1, 10000);
    QCOMPARE(m_urls.urls[0].toLocalFile(), QString::fromStdString(Folder().native()));

    // Generate Citation: the form opens filled from that row.
    QString commonName, ipAddress;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* form = qobject_cast<CCertGenForm*>(QApplication::activeModalWidget());
        if (form == nullptr)
            return;
        commonName = form->findChild<QLineEdit*>(ControlObjectName(IDC_COMMON_NAME))->text();
        ipAddress = form->findChild<IpAddressEdit*>(ControlObjectName(IDC_IP_ADDRESS))->text();
        form->reject();
    });
    poll.start(10);
    menu = OpenCertificateMenu(m_dlg.get(), 1);
    EntryNamed(menu, "Generate Citation")->trigger();
    QTRY_COMPARE(commonName, QStringLiteral("menu.example"));
    poll.stop();
    QCOMPARE(ipAddress, QStringLiteral("10.1.2.3"));

    // Delete: the same question, for that row's file only.
    menu = OpenCertificateMenu(m_dlg.get(), 0);
    QCOMPARE(m_dlg->SelectedCertificateRow(), 0);
    m_boxes->answers = {kAnswerOk};
    EntryNamed(menu, "Delete")->trigger();
    QTRY_COMPARE(m_boxes->calls.size(), 1);
    QCOMPARE(m_boxes->calls[0].caption, QStringLiteral("Message"));
    QCOMPARE(m_boxes->calls[0].type, 0x31u);
    QVERIFY(!fs::exists(Folder() / "web.key"));
    QVERIFY(fs::exists(certificate));

    // A rebuild while the menu is open: the command finds no row of its own and does nothing.
    menu = OpenCertificateMenu(m_dlg.get(), 0);
    WriteFileBytes(Folder() / "later.csr", "csr");
    SetModifiedTime(Folder() / "later.csr", 3000);
    QVERIFY(RefreshAndWait(*m_dlg));
    EntryNamed(menu, "Delete")->trigger();
    // The command is queued behind the menu; running the posted events runs it.
    QCoreApplication::processEvents();
    QCOMPARE(m_boxes->calls.size(), 1);
    QVERIFY(fs::exists(certificate));
    menu->close();
}

void FileActionsTest::menuBesideTheRowsIsTheWindowsMenu() {
    WriteFileBytes(Folder() / "web.key", "key");
    QVERIFY(RefreshAndWait(*m_dlg));
    QMenu* menu = OpenCertificateMenu(m_dlg.get(), -1);
    QVERIFY(menu != nullptr);
    QCOMPARE(EntriesOf(menu),
             (QStringList{"&Close", "-", QString::fromUtf8("Quilletについて(&A)...")}));
    QCOMPARE(m_dlg->SelectedCertificateRow(), -1);
    menu->close();
}

QTEST_MAIN(FileActionsTest)
#include "file_actions_test.moc"
