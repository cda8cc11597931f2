// The generation form on the offscreen platform: filling, checks, the overwrite question and the
// run of a script, with message boxes answered by the test.
#include "fake_message_box.h"
#include "generate/cert_gen_form.h"
#include "res/dialog_templates.h"
#include "support/temp_folder.h"
#include "ui/dialog_builder.h"
#include "ui/ip_address_edit.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

#include <memory>

namespace fs = std::filesystem;

class CertGenFormTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensWithTheRecordsValues();
    void keySizeOutsideTheListSelectsNothing();
    void ipAddressControlBehaves();
    void ipAddressPartOver255Becomes255WithANotice_data();
    void ipAddressPartOver255Becomes255WithANotice();
    void ipAddressTakesAPastedAddress_data();
    void ipAddressTakesAPastedAddress();
    void everyControlOfTheFormHasAName();
    void newFormGivesTheSixLineErrorBox();
    void overwriteQuestionComesFirst();
    void serialNumberIsWrittenBackUpperCased();
    void runningLookWhileTheScriptRunsAndItsExitMessage();
    void successClosesTheForm();
    void scriptThatCannotStartFailsSilently();
    void crashedScriptIsAnUnknownCode();

private:
    template <class T> T* Control(int id) const {
        return m_form->findChild<T*>(ControlObjectName(id));
    }
    void OpenForm(const CertGenParams& params);
    void FillValid();
    void WriteScript(const QByteArray& body);

    std::unique_ptr<QTemporaryDir> m_cwd;
    QString m_previousCwd;
    std::unique_ptr<FakeMessageBoxes> m_boxes;
    std::unique_ptr<CCertGenForm> m_form;
};

void CertGenFormTest::init() {
    m_cwd = std::make_unique<QTemporaryDir>();
    QVERIFY(m_cwd->isValid());
    m_previousCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_cwd->path()));
    m_boxes = std::make_unique<FakeMessageBoxes>();
}

void CertGenFormTest::cleanup() {
    m_form.reset();
    m_boxes.reset();
    QDir::setCurrent(m_previousCwd);
    m_cwd.reset();
}

void CertGenFormTest::OpenForm(const CertGenParams& params) {
    m_form = std::make_unique<CCertGenForm>();
    m_form->m_params = params;
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void CertGenFormTest::FillValid() {
    Control<QLineEdit>(IDC_FILE_NAME)->setText("web");
    Control<QLineEdit>(IDC_VALID_DAYS)->setText("365");
    Control<QLineEdit>(IDC_COMMON_NAME)->setText("web.example");
    Control<IpAddressEdit>(IDC_IP_ADDRESS)->setText("10.0.0.1");
    Control<QLineEdit>(IDC_SERIAL_NUMBER)->setText("0123abcd");
}

void CertGenFormTest::WriteScript(const QByteArray& body) {
    QVERIFY(QDir(m_cwd->path()).mkpath("tool"));
    const QString path = m_cwd->filePath("tool/Quillet.sh");
    QFile script(path);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n" + body + "\n");
    script.close();
    QVERIFY(::chmod(path.toLocal8Bit().constData(), 0755) == 0);
}

void CertGenFormTest::opensWithTheRecordsValues() {
    CertGenParams params;
    params.fileName = u"never shown";
    params.validDays = u"0365";
    params.commonName = u"web.example";
    params.organizationalUnit = u"Ops & Co";
    params.ipAddress = u"10.0.0.1";
    params.serialNumber = u"0123ABCD";
    OpenForm(params);

    QCOMPARE(m_form->windowTitle(), QStringLiteral("Quillet"));
    QVERIFY(Control<QLineEdit>(IDC_FILE_NAME)->text().isEmpty());
    QCOMPARE(QApplication::focusWidget(), Control<QLineEdit>(IDC_FILE_NAME));
    QCOMPARE(Control<QLineEdit>(IDC_VALID_DAYS)->text(), QStringLiteral("0365"));
    QCOMPARE(Control<QLineEdit>(IDC_COMMON_NAME)->text(), QStringLiteral("web.example"));
    QCOMPARE(Control<QLineEdit>(IDC_ORGANIZATIONAL_UNIT)->text(), QStringLiteral("Ops & Co"));
    QCOMPARE(Control<IpAddressEdit>(IDC_IP_ADDRESS)->text(), QStringLiteral("10.0.0.1"));
    QCOMPARE(Control<QLineEdit>(IDC_SERIAL_NUMBER)->text(), QStringLiteral("0123ABCD"));

    auto* keySize = Control<QComboBox>(IDC_KEY_SIZE);
    QCOMPARE(keySize->count(), 3);
    QCOMPARE(keySize->itemText(0), QStringLiteral("1024"));
    QCOMPARE(keySize->itemData(2).toInt(), 4096);
    QCOMPARE(keySize->currentText(), QStringLiteral("2048"));
    auto* algorithm = Control<QComboBox>(IDC_KEY_ALGORITHM);
    QCOMPARE(algorithm->count(), 3);
    QCOMPARE(algorithm->currentText(), QStringLiteral("RSA"));
    QVERIFY(!algorithm->isEnabled());

    QVERIFY(!Control<QProgressBar>(IDC_PROGRESS)->isVisible());
    QVERIFY(!Control<QLabel>(IDC_GENERATING_LABEL)->isVisible());
    QCOMPARE(Control<QLabel>(IDC_REQUIRED_LEGEND)->text(), QStringLiteral("(*)Require field"));
    QVERIFY(Control<QPushButton>(IDOK)->isDefault());

    // Tab order: File Name, Valid Days, Key Size, Key Algorithm, IP, Serial, then the right
    // column, OK and Cancel.
    const int order[] = {IDC_FILE_NAME,
                         IDC_VALID_DAYS,
                         IDC_KEY_SIZE,
                         IDC_KEY_ALGORITHM,
                         IDC_IP_ADDRESS,
                         IDC_SERIAL_NUMBER,
                         IDC_COUNTRY_NAME,
                         IDC_STATE_OR_PROVINCE,
                         IDC_LOCALITY,
                         IDC_ORGANIZATION_NAME,
                         IDC_ORGANIZATIONAL_UNIT,
                         IDC_COMMON_NAME,
                         IDC_EMAIL_ADDRESS,
                         IDOK,
                         IDCANCEL};
    QWidget* widget = m_form->findChild<QWidget*>(ControlObjectName(order[0]));
    for (std::size_t i = 1; i < std::size(order); ++i) {
        do
            widget = widget->nextInFocusChain();
        while (widget->focusPolicy() == Qt::NoFocus || widget->property("controlId").isNull());
        QCOMPARE(widget->property("controlId").toInt(), order[i]);
    }
}

void CertGenFormTest::keySizeOutsideTheListSelectsNothing() {
    CertGenParams params;
    params.keySize = 4096;
    OpenForm(params);
    QCOMPARE(Control<QComboBox>(IDC_KEY_SIZE)->currentText(), QStringLiteral("4096"));
    m_form.reset();

    params.keySize = 3072;
    OpenForm(params);
    QCOMPARE(Control<QComboBox>(IDC_KEY_SIZE)->currentIndex(), -1);
}

void CertGenFormTest::ipAddressControlBehaves() {
    OpenForm({});
    auto* ip = Control<IpAddressEdit>(IDC_IP_ADDRESS);
    QVERIFY(ip->isBlank());
    QCOMPARE(ip->address(), 0u);
    QVERIFY(ip->text().isEmpty());

    ip->setFocus();
    QCOMPARE(QApplication::focusWidget(), ip->field(0));
    // Each key goes where the focus is: digits only, a dot moves on, 256 becomes 255 and moves
    // on as three digits do.
    for (const QChar c : QStringLiteral("1x0.256.0.7"))
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    QCOMPARE(ip->field(0)->text(), QStringLiteral("10"));
    QCOMPARE(ip->field(1)->text(), QStringLiteral("255"));
    QCOMPARE(ip->text(), QStringLiteral("10.255.0.7"));
    QCOMPARE(ip->address(), (10u << 24) | (255u << 16) | 7u);

    // Three digits move on by themselves.
    ip->clear();
    ip->setFocus();
    for (const QChar c : QStringLiteral("1921681"))
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    QCOMPARE(ip->text(), QStringLiteral("192.168.1.0"));

    ip->setText("192.168.001.010");
    QCOMPARE(ip->text(), QStringLiteral("192.168.1.10"));
    ip->setText("1.2.3");
    QVERIFY(ip->isBlank());
    ip->field(3)->setText("1");
    QCOMPARE(ip->text(), QStringLiteral("0.0.0.1"));
    QCOMPARE(ip->address(), 1u);
}

void CertGenFormTest::ipAddressPartOver255Becomes255WithANotice_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("noticeNames"); // empty: no notice
    QTest::newRow("300") << "300"
                         << "255.0.0.0"
                         << "300";
    QTest::newRow("256") << "256"
                         << "255.0.0.0"
                         << "256";
    QTest::newRow("255") << "255"
                         << "255.0.0.0"
                         << "";
    QTest::newRow("300.1.2.3") << "300.1.2.3"
                               << "255.1.2.3"
                               << "300";
    QTest::newRow("999 in the last part") << "1.2.3.999"
                                          << "1.2.3.255"
                                          << "999";
    QTest::newRow("a fourth digit") << "1.2.3.2554"
                                    << "1.2.3.255"
                                    << "2554";
    QTest::newRow("letters are not taken") << "1a.b2.3.4"
                                           << "1.2.3.4"
                                           << "";
}

void CertGenFormTest::ipAddressPartOver255Becomes255WithANotice() {
    QFETCH(QString, typed);
    QFETCH(QString, address);
    QFETCH(QString, noticeNames);
    OpenForm({});
    auto* ip = Control<IpAddressEdit>(IDC_IP_ADDRESS);
    ip->setFocus();
    for (const QChar c : typed)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    QCOMPARE(ip->text(), address);
    if (noticeNames.isEmpty()) {
        QVERIFY(ip->notice() == nullptr || !ip->notice()->isVisible());
        return;
    }
    // The notice shows below the control, within the form, and says what was typed.
    QVERIFY(ip->notice() != nullptr);
    QVERIFY(ip->notice()->isVisible());
    QCOMPARE(ip->notice()->text(),
             QStringLiteral("Each part of an IP address is a number from 0 to 255: %1 was changed "
                            "to 255.")
                 .arg(noticeNames));
    const QRect notice = ip->notice()->geometry();
    QVERIFY(notice.top() >= ip->geometry().bottom());
    QVERIFY(m_form->rect().contains(notice));
}

void CertGenFormTest::ipAddressTakesAPastedAddress_data() {
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("notice"); // a part of the notice's text; empty: no notice
    QTest::newRow("into the first part") << "192.168.10.20" << 0 << "192.168.10.20"
                                         << "";
    QTest::newRow("into the third part") << "10.0.0.1" << 2 << "10.0.0.1"
                                         << "";
    QTest::newRow("with blanks and a part over 255") << " 172.16.0.300 " << 0 << "172.16.0.255"
                                                     << "300 was changed to 255";
    QTest::newRow("two parts fill from the field on") << "7.8" << 2 << "0.0.7.8"
                                                      << "";
    QTest::newRow("five parts are no address") << "1.2.3.4.5" << 0 << ""
                                               << "1.2.3.4.5 is not an IP address";
    QTest::newRow("text is not taken") << "web.example" << 0 << ""
                                       << "";
}

void CertGenFormTest::ipAddressTakesAPastedAddress() {
    QFETCH(QString, pasted);
    QFETCH(int, field);
    QFETCH(QString, address);
    QFETCH(QString, notice);
    OpenForm({});
    auto* ip = Control<IpAddressEdit>(IDC_IP_ADDRESS);
    QApplication::clipboard()->setText(pasted);
    ip->field(field)->setFocus();
    QTest::keySequence(ip->field(field), QKeySequence::Paste);
    QCOMPARE(ip->text(), address);
    if (notice.isEmpty()) {
        QVERIFY(ip->notice() == nullptr || !ip->notice()->isVisible());
    } else {
        QVERIFY(ip->notice() != nullptr && ip->notice()->isVisible());
        QVERIFY2(ip->notice()->text().contains(notice), qPrintable(ip->notice()->text()));
    }
}

void CertGenFormTest::everyControlOfTheFormHasAName() {
    OpenForm({});
    const struct {
        int id;
        const char* name;
        bool required;
    } expected[] = {
        {IDC_FILE_NAME, "File Name", true},
        {IDC_VALID_DAYS, "Valid Days", true},
        {IDC_KEY_SIZE, "Key Size", false},
        {IDC_KEY_ALGORITHM, "Key Algorithm", false},
        {IDC_IP_ADDRESS, "IP Address", true},
        {IDC_SERIAL_NUMBER, "Serial Number", true},
        {IDC_COUNTRY_NAME, "Country Name(C)", false},
        {IDC_STATE_OR_PROVINCE, "State or Province(ST)", false},
        {IDC_LOCALITY, "Locality(L)", false},
        {IDC_ORGANIZATION_NAME, "Organization Name(O)", false},
        {IDC_ORGANIZATIONAL_UNIT, "Organizational Unit(OU)", false},
        {IDC_COMMON_NAME, "Common Name", true},
        {IDC_EMAIL_ADDRESS, "E-mail Address", false},
        {IDOK, "OK", false},
        {IDCANCEL, "Cancel", false},
    };
    for (const auto& e : expected) {
        QWidget* widget = m_form->findChild<QWidget*>(ControlObjectName(e.id));
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(accessible != nullptr);
        // On Linux a drop-down list's name is its current entry; its label is told through the
        // "labelled by" relation, which every input has.
        if (!qobject_cast<QComboBox*>(widget))
            QCOMPARE(accessible->text(QAccessible::Name), QString::fromLatin1(e.name));
        QCOMPARE(accessible->text(QAccessible::Description),
                 e.required ? QStringLiteral("Required") : QString());
        if (qobject_cast<QPushButton*>(widget))
            continue;
        const auto labels = accessible->relations(QAccessible::Label);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels[0].first->text(QAccessible::Name).remove(QStringLiteral("(*)")),
                 QString::fromLatin1(e.name));
    }
    // The label stands for its field: a click on it or its mnemonic goes there.
    for (QLabel* label : m_form->findChildren<QLabel*>())
        if (label->text() == QStringLiteral("(*)File Name"))
            QCOMPARE(label->buddy(), Control<QWidget>(IDC_FILE_NAME));
    // Each of the address's four fields is read as a part of that one address.
    auto* ip = Control<IpAddressEdit>(IDC_IP_ADDRESS);
    for (int i = 0; i < 4; ++i) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(ip->field(i));
        QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("IP Address"));
        QCOMPARE(accessible->text(QAccessible::Description),
                 QStringLiteral("Part %1 of 4").arg(i + 1));
    }
}

void CertGenFormTest::newFormGivesTheSixLineErrorBox() {
    CertGenParams params;
    params.outputDirectory = m_cwd->path().toStdString();
    OpenForm(params);
    Control<QPushButton>(IDOK)->click();
    QCOMPARE(m_boxes->calls.size(), 1);
    QCOMPARE(m_boxes->calls[0].caption, QStringLiteral("Error"));
    QCOMPARE(m_boxes->calls[0].type, 0x10u);
    QCOMPARE(m_boxes->calls[0].text,
             QStringLiteral("The File Name is required.\r\n"
                            "The Valid Days is required.\r\n"
                            "The Valid Days limited between 1 and 7300.\r\n"
                            "The Common Name is required.\r\n"
                            "The IP Address is invalid.\r\n"
                            "The Serial Number must be set by 8 length hexadecimal.\r\n"));
    QVERIFY(m_form->isVisible());
}

void CertGenFormTest::overwriteQuestionComesFirst() {
    CertGenParams params;
    params.outputDirectory = m_cwd->path().toStdString();
    WriteFileBytes(params.outputDirectory / "web.csr", "existing");
    OpenForm(params);
    Control<QLineEdit>(IDC_FILE_NAME)->setText("web");

    m_boxes->answers = {kAnswerCancel};
    Control<QPushButton>(IDOK)->click();
    QCOMPARE(m_boxes->calls.size(), 1);
    QCOMPARE(m_boxes->calls[0].caption, QStringLiteral("Confirm"));
    QCOMPARE(m_boxes->calls[0].text,
             QStringLiteral("This file already exists. Do you want to overwrite it?"));
    QCOMPARE(m_boxes->calls[0].type, 0x21u);

    m_boxes->calls.clear();
    m_boxes->answers = {kAnswerOk};
    Control<QPushButton>(IDOK)->click();
    QCOMPARE(m_boxes->calls.size(), 2);
    QCOMPARE(m_boxes->calls[0].caption, QStringLiteral("Confirm"));
    QCOMPARE(m_boxes->calls[1].caption, QStringLiteral("Error"));
    QCOMPARE(ReadFileBytes(params.outputDirectory / "web.csr"), "existing");
}

void CertGenFormTest::serialNumberIsWrittenBackUpperCased() {
    OpenForm({});
    Control<QLineEdit>(IDC_SERIAL_NUMBER)->setText("0123abcg");
    Control<QPushButton>(IDOK)->click();
    QCOMPARE(Control<QLineEdit>(IDC_SERIAL_NUMBER)->text(), QStringLiteral("0123ABCG"));
    QVERIFY(m_boxes->calls.last().text.contains(
        "The Serial Number has invalid character(s). It's not in hexadecimal format.\r\n"));

    Control<QLineEdit>(IDC_SERIAL_NUMBER)->setText("abc");
    Control<QPushButton>(IDOK)->click();
    QCOMPARE(Control<QLineEdit>(IDC_SERIAL_NUMBER)->text(), QStringLiteral("abc"));
    QCOMPARE(m_form->m_params.serialNumber, std::u16string(u"0123ABCG"));
}

void CertGenFormTest::runningLookWhileTheScriptRunsAndItsExitMessage() {
    // Exits with -15 after a moment, having seen its arguments.
    WriteScript("printf '%s\\n' \"$@\" > args.txt\nsleep 0.4\nexit 241");
    CertGenParams params;
    params.outputDirectory = m_cwd->path().toStdString();
    OpenForm(params);
    FillValid();

    bool runningLook = false;
    QTimer::singleShot(150, m_form.get(), [&] {
        runningLook = m_form->isRunning() && Control<QProgressBar>(IDC_PROGRESS)->isVisible() &&
                      Control<QProgressBar>(IDC_PROGRESS)->maximum() == 0 &&
                      Control<QLabel>(IDC_GENERATING_LABEL)->isVisible() &&
                      !Control<QPushButton>(IDOK)->isEnabled() &&
                      !Control<QPushButton>(IDCANCEL)->isEnabled();
        // Escape and the close box are refused while the script runs.
        m_form->reject();
        m_form->close();
    });
    Control<QPushButton>(IDOK)->click();
    QVERIFY(runningLook);
    QVERIFY(m_form->isVisible());
    QVERIFY(!Control<QProgressBar>(IDC_PROGRESS)->isVisible());
    QVERIFY(!Control<QLabel>(IDC_GENERATING_LABEL)->isVisible());
    QVERIFY(Control<QPushButton>(IDOK)->isEnabled());
    QVERIFY(Control<QPushButton>(IDCANCEL)->isEnabled());
    QCOMPARE(m_boxes->calls.size(), 1);
    QCOMPARE(m_boxes->calls[0].text, QStringLiteral("The Serial Number is invalid or empty."));
    QVERIFY(m_boxes->calls[0].caption.isEmpty());
    QCOMPARE(m_boxes->calls[0].type, 0u);

    // The script got one argument per switch and per value, the serial upper-cased.
    QFile args(m_cwd->filePath("args.txt"));
    QVERIFY(args.open(QIODevice::ReadOnly));
    const QStringList received = QString::fromUtf8(args.readAll()).split('\n');
    const QStringList expected = {"-f",  "web",
                                  "-d",  "365",
                                  "-b",  "2048",
                                  "-t",  "RSA",
                                  "-cn", "web.example",
                                  "-ip", "10.0.0.1",
                                  "-sn", "urn:0123ABCD:quillet.morvel.example",
                                  "-D",  m_cwd->path(),
                                  "-p",  "",
                                  ""};
    QCOMPARE(received, expected);
}

void CertGenFormTest::successClosesTheForm() {
    WriteScript("exit 0");
    CertGenParams params;
    params.outputDirectory = m_cwd->path().toStdString();
    m_form = std::make_unique<CCertGenForm>();
    m_form->m_params = params;
    QTimer::singleShot(0, m_form.get(), [&] {
        FillValid();
        Control<QPushButton>(IDOK)->click();
    });
    QCOMPARE(m_form->DoModal(), int(QDialog::Accepted));
    QVERIFY(m_boxes->calls.isEmpty());
}

void CertGenFormTest::scriptThatCannotStartFailsSilently() {
    CertGenParams params;
    params.outputDirectory = m_cwd->path().toStdString();
    OpenForm(params);
    FillValid();
    Control<QPushButton>(IDOK)->click(); // no ./tool/Quillet.sh here
    QVERIFY(m_boxes->calls.isEmpty());
    QVERIFY(m_form->isVisible());
    QVERIFY(!m_form->isRunning());
    QVERIFY(Control<QPushButton>(IDOK)->isEnabled());
    QVERIFY(!Control<QProgressBar>(IDC_PROGRESS)->isVisible());

    // Nor does a script without the right to run it.
    WriteScript("exit 0");
    QVERIFY(::chmod(m_cwd->filePath("tool/Quillet.sh").toLocal8Bit().constData(), 0644) == 0);
    Control<QPushButton>(IDOK)->click();
    QVERIFY(m_boxes->calls.isEmpty());
    QVERIFY(m_form->isVisible());
}

void CertGenFormTest::crashedScriptIsAnUnknownCode() {
    WriteScript("kill -KILL $$");
    CertGenParams params;
    params.outputDirectory = m_cwd->path().toStdString();
    OpenForm(params);
    FillValid();
    Control<QPushButton>(IDOK)->click();
    QCOMPARE(m_boxes->calls.size(), 1);
    // 128 + 9 read as a signed 8-bit value.
    QCOMPARE(m_boxes->calls[0].text, QStringLiteral("Unknown Error Code = -119"));
    QVERIFY(m_form->isVisible());
}

QTEST_MAIN(CertGenFormTest)
#include "cert_gen_form_test.moc"
