// From NEW to Generate Citation on the real main window, with the real generator script.
#include "app/varnok_quillet_dlg.h"
#include "catalogue/certificate_folder.h"
#include "fake_message_box.h"
#include "generate/cert_gen_form.h"
#include "generate/citation_params.h"
#include "generate/date_time_text.h"
#include "refresh_wait.h"
#include "res/dialog_templates.h"
#include "support/temp_folder.h"
#include "ui/dialog_builder.h"
#include "ui/ip_address_edit.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

#include <memory>

namespace fs = std::filesystem;

class GenerationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void newThenGenerateCitation();
    void folderPathThatIsNoUtf8();

private:
    QString m_previousCwd;
    QTemporaryDir m_data;
};

void GenerationTest::initTestCase() {
    // The build folder holds ./tool/Quillet.sh, as the installed folder does.
    m_previousCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QStringLiteral(QUILLET_BUILD_DIR)));
    QVERIFY(QFileInfo::exists(QStringLiteral("tool/Quillet.sh")));
    QVERIFY(m_data.isValid());
    qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
}

void GenerationTest::cleanupTestCase() {
    QDir::setCurrent(m_previousCwd);
}

template <class T> T* Control(QWidget* dialog, int id) {
    return dialog->findChild<T*>(ControlObjectName(id));
}

void GenerationTest::newThenGenerateCitation() {
    FakeMessageBoxes boxes;
    const fs::path folder = GetCertificateFolder();
    std::error_code error;
    EnsureCertificateFolder(folder, error);
    WriteFileBytes(folder / "older.key", "key");
    SetModifiedTime(folder / "older.key", 1000);

    CVarnokQuilletDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(RefreshAndWait(dlg));
    QCOMPARE(dlg.filePaths().size(), 1u);

    // NEW: type into the form, OK, the script runs and the form closes.
    bool formClosed = false;
    QTimer::singleShot(0, &dlg, [&] {
        auto* form = qobject_cast<CCertGenForm*>(QApplication::activeModalWidget());
        QVERIFY(form != nullptr);
        QVERIFY(QTest::qWaitForWindowActive(form));
        QTest::keyClicks(Control<QLineEdit>(form, IDC_FILE_NAME), "web");
        QTest::keyClicks(Control<QLineEdit>(form, IDC_VALID_DAYS), "365");
        Control<QComboBox>(form, IDC_KEY_SIZE)->setCurrentIndex(0); // 1024, quick to make
        auto* ip = Control<IpAddressEdit>(form, IDC_IP_ADDRESS);
        const char* octets[] = {"10", "0", "0", "1"};
        for (int i = 0; i < 4; ++i)
            QTest::keyClicks(ip->field(i), octets[i]);
        QTest::keyClicks(Control<QLineEdit>(form, IDC_SERIAL_NUMBER), "0123abcd");
        QTest::keyClicks(Control<QLineEdit>(form, IDC_COUNTRY_NAME), "JP");
        QTest::keyClicks(Control<QLineEdit>(form, IDC_ORGANIZATION_NAME), "Morvel & Co");
        QTest::keyClicks(Control<QLineEdit>(form, IDC_COMMON_NAME), "web.example");
        Control<QPushButton>(form, IDOK)->click();
        formClosed = !form->isVisible();
        if (!formClosed)
            form->reject();
    });
    Control<QPushButton>(&dlg, IDC_NEW)->click();
    QVERIFY2(boxes.calls.isEmpty(), qPrintable(boxes.calls.value(0).text));
    QVERIFY(formClosed);

    // At a later tick the three files stand last, the certificate newest.
    QTRY_COMPARE_WITH_TIMEOUT(dlg.filePaths().size(), 4u, 5000);
    const auto& paths = dlg.filePaths();
    QCOMPARE(paths[0].filename().native(), std::string("older.key"));
    QCOMPARE(paths[1].filename().native(), std::string("web.key"));
    QCOMPARE(paths[2].filename().native(), std::string("web.csr"));
    QCOMPARE(paths[3].filename().native(), std::string("web.crt"));
    struct stat st {};
    QCOMPARE(::stat(paths[1].c_str(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);

    auto* list = Control<QTableView>(&dlg, IDC_CERTIFICATE_LIST);
    QCOMPARE(list->model()->index(3, 1).data().toString(), QStringLiteral("web.example"));
    const auto from =
        ParseDateTimeText(list->model()->index(3, 2).data().toString().toStdU16String());
    const auto to =
        ParseDateTimeText(list->model()->index(3, 3).data().toString().toStdU16String());
    QVERIFY(from > 0);
    QCOMPARE(to - from, 365 * 864000000000LL);

    // Generate Citation on the new certificate: the form opens with what was typed.
    list->selectRow(3);
    QMap<int, QString> shown;
    QString keySize;
    QTimer::singleShot(0, &dlg, [&] {
        auto* form = qobject_cast<CCertGenForm*>(QApplication::activeModalWidget());
        QVERIFY(form != nullptr);
        for (int id : {IDC_FILE_NAME, IDC_VALID_DAYS, IDC_SERIAL_NUMBER, IDC_COUNTRY_NAME,
                       IDC_ORGANIZATION_NAME, IDC_COMMON_NAME, IDC_STATE_OR_PROVINCE})
            shown[id] = Control<QLineEdit>(form, id)->text();
        shown[IDC_IP_ADDRESS] = Control<IpAddressEdit>(form, IDC_IP_ADDRESS)->text();
        keySize = Control<QComboBox>(form, IDC_KEY_SIZE)->currentText();
        form->reject();
    });
    Control<QPushButton>(&dlg, IDC_GENERATE_CITATION)->click();
    QCOMPARE(shown[IDC_FILE_NAME], QString());
    QCOMPARE(shown[IDC_SERIAL_NUMBER], QString());
    QCOMPARE(shown[IDC_VALID_DAYS], QStringLiteral("365"));
    QCOMPARE(shown[IDC_COUNTRY_NAME], QStringLiteral("JP"));
    QCOMPARE(shown[IDC_ORGANIZATION_NAME], QStringLiteral("Morvel & Co"));
    QCOMPARE(shown[IDC_COMMON_NAME], QStringLiteral("web.example"));
    QCOMPARE(shown[IDC_STATE_OR_PROVINCE], QString());
    QCOMPARE(shown[IDC_IP_ADDRESS], QStringLiteral("10.0.0.1"));
    QCOMPARE(keySize, QStringLiteral("1024"));
    QVERIFY(boxes.calls.isEmpty());
}

// The certificate folder's path holds bytes that are no UTF-8 (a home folder named in another
// encoding). The overwrite question and the script must both see that very folder; a twin whose
// name is the same path read as UTF-8 (bad bytes as U+FFFD) must stay untouched.
void GenerationTest::folderPathThatIsNoUtf8() {
    const QByteArray previousDataHome = qgetenv("XDG_DATA_HOME");
    TempFolder temp; // removed by path bytes, which QTemporaryDir cannot do for such names
    const fs::path dataHome = temp.path() / "home\xff\xfe";
    const fs::path twinDataHome = temp.path() / "home\xef\xbf\xbd\xef\xbf\xbd";
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dataHome.native()));
    const fs::path folder = GetCertificateFolder();
    QCOMPARE(folder, dataHome / "Morvel" / "Certificates");
    const fs::path twin = twinDataHome / "Morvel" / "Certificates";
    std::error_code error;
    EnsureCertificateFolder(folder, error);
    QVERIFY(!error);
    EnsureCertificateFolder(twin, error);
    QVERIFY(!error);
    WriteFileBytes(folder / "web.csr", "existing");

    FakeMessageBoxes boxes;
    CCertGenForm form;
    form.m_params = MakeNewParams(folder);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Control<QLineEdit>(&form, IDC_FILE_NAME)->setText("web");
    Control<QLineEdit>(&form, IDC_VALID_DAYS)->setText("30");
    Control<QComboBox>(&form, IDC_KEY_SIZE)->setCurrentIndex(0); // 1024, quick to make
    Control<QLineEdit>(&form, IDC_COMMON_NAME)->setText("web.example");
    Control<IpAddressEdit>(&form, IDC_IP_ADDRESS)->setText("10.0.0.1");
    Control<QLineEdit>(&form, IDC_SERIAL_NUMBER)->setText("0123abcd");
    Control<QPushButton>(&form, IDOK)->click();
    qputenv("XDG_DATA_HOME", previousDataHome);

    // One box: the question about the existing file, answered OK; the run then succeeded.
    QCOMPARE(boxes.calls.size(), 1);
    QCOMPARE(boxes.calls[0].caption, QStringLiteral("Confirm"));
    QVERIFY(!form.isVisible());
    for (const char* name : {"web.key", "web.csr", "web.crt"})
        QVERIFY2(fs::exists(folder / name), name);
    QVERIFY(ReadFileBytes(folder / "web.csr") != "existing");
    QVERIFY(fs::is_empty(twin));
}

QTEST_MAIN(GenerationTest)
#include "generation_test.moc"
