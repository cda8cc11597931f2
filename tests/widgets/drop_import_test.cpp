// Files dropped on the real main window, offscreen, with certificates and keys made by OpenSSL.
#include "app/varnok_quillet_dlg.h"
#include "catalogue/certificate_folder.h"
#include "fake_message_box.h"
#include "platform/file_uri.h"
#include "platform/text_codec.h"
#include "refresh_wait.h"
#include "res/dialog_templates.h"
#include "support/cert_builder.h"
#include "support/temp_folder.h"
#include "ui/dialog_builder.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace fs = std::filesystem;

namespace {

std::string CertDer(int serial) {
    return CertBuilder()
        .Subject({Attr("2.5.4.3", "drop " + std::to_string(serial))})
        .Serial(serial)
        .San({SanEntry::Ip(std::string("\x0a\x00\x00\x01", 4))})
        .BuildDer();
}

QUrl UrlOf(const fs::path& path) {
    return QUrl::fromEncoded(QByteArray::fromStdString(FileUriOfPath(path)));
}

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().native());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

class DropImportTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void takesOnlyLocalFilesAsACopy_data();
    void takesOnlyLocalFilesAsACopy();
    void bringsInABundleAndAKeyAndRefusesText();
    void asksBeforeReplacingAndNeverWritesThroughALink_data();
    void asksBeforeReplacingAndNeverWritesThroughALink();
    void aDroppedFifoDoesNotHang();

private:
    fs::path Folder() const { return GetCertificateFolder(); }
    fs::path Source(const std::string& name, std::string_view bytes) {
        const fs::path path = m_sources->path() / name;
        WriteFileBytes(path, bytes);
        return path;
    }
    // Sends a drag enter and, when it is taken, a drop. Returns whether both were taken as a copy.
    bool Drop(const QList<QUrl>& urls, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction);
    QTableView* Certificates() const {
        return m_dlg->findChild<QTableView*>(ControlObjectName(IDC_CERTIFICATE_LIST));
    }

    std::unique_ptr<TempFolder> m_data;
    std::unique_ptr<TempFolder> m_sources;
    std::unique_ptr<FakeMessageBoxes> m_boxes;
    std::unique_ptr<CVarnokQuilletDlg> m_dlg;
};

void DropImportTest::init() {
    // Folders removed by std::filesystem, which takes any name's bytes.
    m_data = std::make_unique<TempFolder>();
    m_sources = std::make_unique<TempFolder>();
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(m_data->path().native()));
    std::error_code error;
    QCOMPARE(EnsureCertificateFolder(Folder(), error), FolderCreation::Created);
    m_boxes = std::make_unique<FakeMessageBoxes>();
    m_dlg = std::make_unique<CVarnokQuilletDlg>();
    // The rows come from the refresh alone; the test runs it when it wants to see them.
    m_dlg->findChild<QTimer*>(QStringLiteral("refreshTimer"))->stop();
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
}

void DropImportTest::cleanup() {
    m_dlg.reset();
    m_boxes.reset();
    m_sources.reset();
    m_data.reset();
}

bool DropImportTest::Drop(const QList<QUrl>& urls, Qt::DropActions actions) {
    QMimeData data;
    if (urls.isEmpty())
        data.setText(QStringLiteral("just text"));
    else
        data.setUrls(urls);
    const QPoint position = m_dlg->rect().center();
    QDragEnterEvent enter(position, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_dlg.get(), &enter);
    if (!enter.isAccepted())
        return false;
    if (enter.dropAction() != Qt::CopyAction)
        return false;
    QDropEvent drop(QPointF(position), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_dlg.get(), &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

void DropImportTest::takesOnlyLocalFilesAsACopy_data() {
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<Qt::DropActions>("actions");
    QTest::addColumn<bool>("taken");
    const QUrl local = QUrl::fromLocalFile(QStringLiteral("/tmp/web.pem"));
    const Qt::DropActions copyOrMove = Qt::CopyAction | Qt::MoveAction;
    QTest::newRow("local file") << QList<QUrl>{local} << copyOrMove << true;
    QTest::newRow("localhost") << QList<QUrl>{QUrl(QStringLiteral("file://localhost/tmp/a.pem"))}
                               << Qt::DropActions(Qt::CopyAction) << true;
    // A source that offers only a move would delete its file once the drop is taken.
    QTest::newRow("move only") << QList<QUrl>{local} << Qt::DropActions(Qt::MoveAction) << false;
    QTest::newRow("web address") << QList<QUrl>{QUrl(QStringLiteral("https://example.org/a.pem"))}
                                 << copyOrMove << false;
    QTest::newRow("local and web")
        << QList<QUrl>{local, QUrl(QStringLiteral("https://e.org/b"))} << copyOrMove << false;
    QTest::newRow("other host") << QList<QUrl>{QUrl(QStringLiteral("file://server/tmp/a.pem"))}
                                << copyOrMove << false;
    QTest::newRow("text") << QList<QUrl>{} << copyOrMove << false;
    QTest::newRow("relative") << QList<QUrl>{QUrl(QStringLiteral("file:web.pem"))} << copyOrMove
                              << false;
}

void DropImportTest::takesOnlyLocalFilesAsACopy() {
    QFETCH(QList<QUrl>, urls);
    QFETCH(Qt::DropActions, actions);
    QFETCH(bool, taken);
    QCOMPARE(Drop(urls, actions), taken);
    // The window receives a drop anywhere on it only while none of its controls takes drops.
    for (const QWidget* child : m_dlg->findChildren<QWidget*>())
        QVERIFY2(!child->acceptDrops(), qPrintable(child->objectName()));
}

// A bundle of three certificates, a key whose name is not UTF-8, and a text file: three DER
// certificates, one key at 0600, one box that names the text file alone. The rows come at the
// next tick, not from the drop.
void DropImportTest::bringsInABundleAndAKeyAndRefusesText() {
    const std::string key = PrivateKeyPem(KeyParams::Rsa(2048));
    const fs::path bundle =
        Source("bundle.pem", DerToPem(CertDer(1)) + DerToPem(CertDer(2)) + DerToPem(CertDer(3)));
    const fs::path keyFile = Source("srv\xff.pem", key);
    const fs::path text = Source("notes.txt", "not a certificate\n");
    QVERIFY(Drop({UrlOf(bundle), UrlOf(keyFile), UrlOf(text)}));

    QTRY_COMPARE(m_boxes->calls.size(), 1);
    const FakeMessageBoxes::Call& box = m_boxes->calls[0];
    QVERIFY2(box.text.contains(QString::fromStdU16String(PathToDisplayText(text))),
             qPrintable(box.text));
    QVERIFY(!box.text.contains(QStringLiteral("bundle")));
    QVERIFY(!box.text.contains(QStringLiteral("srv")));
    QCOMPARE(box.caption, QStringLiteral("Import"));
    QCOMPARE(box.type, MessageBoxType::kOk | MessageBoxType::kIconExclamation);

    QCOMPARE(Entries(Folder()), (std::vector<std::string>{"bundle-2.crt", "bundle-3.crt",
                                                          "bundle.crt", "srv\xff.key"}));
    QCOMPARE(ReadFileBytes(Folder() / "bundle.crt"), CertDer(1));
    QCOMPARE(ReadFileBytes(Folder() / "bundle-2.crt"), CertDer(2));
    QCOMPARE(ReadFileBytes(Folder() / "bundle-3.crt"), CertDer(3));
    QCOMPARE(ReadFileBytes(Folder() / "srv\xff.key"), key);
    struct stat status {};
    QCOMPARE(::lstat((Folder() / "srv\xff.key").c_str(), &status), 0);
    QCOMPARE(status.st_mode & 07777, 0600u);

    QCOMPARE(Certificates()->model()->rowCount(), 0);
    QVERIFY(RefreshAndWait(*m_dlg));
    QCOMPARE(Certificates()->model()->rowCount(), 4);
    for (std::size_t i = 0; i < m_dlg->filePaths().size(); ++i) {
        if (m_dlg->filePaths()[i].extension() == ".crt")
            QCOMPARE(m_dlg->propertyLists()[i].back().name, std::u16string(u"Valid Date To"));
    }
}

void DropImportTest::asksBeforeReplacingAndNeverWritesThroughALink_data() {
    QTest::addColumn<bool>("link");
    QTest::addColumn<int>("answer");
    QTest::newRow("file, OK") << false << kAnswerOk;
    QTest::newRow("file, Cancel") << false << kAnswerCancel;
    QTest::newRow("link outside, OK") << true << kAnswerOk;
    QTest::newRow("link outside, Cancel") << true << kAnswerCancel;
}

// The name web.crt is taken, by a file or by a link to a file outside the folder. The question
// comes first; OK puts the new certificate in the folder under that name (replacing the link
// itself), Cancel keeps what was there. Nothing outside the folder is ever written.
void DropImportTest::asksBeforeReplacingAndNeverWritesThroughALink() {
    QFETCH(bool, link);
    QFETCH(int, answer);
    TempFolder outside;
    const fs::path victim = outside.path() / "victim.crt";
    WriteFileBytes(victim, "outside");
    const fs::path target = Folder() / "web.crt";
    if (link)
        fs::create_symlink(victim, target);
    else
        WriteFileBytes(target, "old");
    m_boxes->answers = {answer};
    QVERIFY(Drop({UrlOf(Source("web.pem", DerToPem(CertDer(7))))}));

    QTRY_COMPARE(m_boxes->calls.size(), 1);
    QCOMPARE(m_boxes->calls[0].text,
             QStringLiteral("This file already exists. Do you want to overwrite it?"));
    QCOMPARE(m_boxes->calls[0].caption, QStringLiteral("Confirm"));
    QCOMPARE(m_boxes->calls[0].type, MessageBoxType::kOkCancel | MessageBoxType::kIconQuestion);
    // Handled within the same event as the question: no further box comes.
    QCoreApplication::processEvents();
    QCOMPARE(m_boxes->calls.size(), 1);

    QCOMPARE(ReadFileBytes(victim), std::string("outside"));
    QCOMPARE(Entries(outside.path()), std::vector<std::string>{"victim.crt"});
    QCOMPARE(Entries(Folder()), std::vector<std::string>{"web.crt"});
    if (answer == kAnswerOk) {
        QVERIFY(fs::is_regular_file(fs::symlink_status(target)));
        QCOMPARE(ReadFileBytes(target), CertDer(7));
    } else if (link) {
        QCOMPARE(fs::read_symlink(target), victim);
    } else {
        QCOMPARE(ReadFileBytes(target), std::string("old"));
    }
}

// A FIFO with no writer is refused at once, and the rest of the drop goes on.
void DropImportTest::aDroppedFifoDoesNotHang() {
    const fs::path fifo = m_sources->path() / "pipe.pem";
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    QVERIFY(Drop({UrlOf(fifo), UrlOf(Source("web.der", CertDer(8)))}));
    QTRY_COMPARE_WITH_TIMEOUT(m_boxes->calls.size(), 1, 30000);
    QVERIFY2(m_boxes->calls[0].text.contains(QStringLiteral("pipe.pem: is not a regular file")),
             qPrintable(m_boxes->calls[0].text));
    QCOMPARE(ReadFileBytes(Folder() / "web.crt"), CertDer(8));
}

QTEST_MAIN(DropImportTest)
#include "drop_import_test.moc"
