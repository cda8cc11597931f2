#include "generate/cert_gen_form.h"

#include "generate/generator_command.h"
#include "generate/input_validation.h"
#include "platform/message_box.h"
#include "platform/script_runner.h"
#include "platform/text_codec.h"
#include "platform/trace.h"
#include "res/app_icon.h"
#include "res/strings.h"
#include "ui/dialog_builder.h"
#include "ui/ip_address_edit.h"
#include "ui/qt_text.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

std::u16string TextOf(const QLineEdit* edit) {
    return ToU16String(edit->text());
}

} // namespace

CCertGenForm::CCertGenForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("certGenForm"));
    setFont(FormDialogFont());
    const BuiltDialog built = BuildDialogTemplate(this, kCertGenFormTemplate);
    setFixedSize(size());
    setWindowIcon(QuilletIcon());
    m_fileName = built.Get<QLineEdit>(IDC_FILE_NAME);
    m_validDays = built.Get<QLineEdit>(IDC_VALID_DAYS);
    m_keySize = built.Get<QComboBox>(IDC_KEY_SIZE);
    m_keyAlgorithm = built.Get<QComboBox>(IDC_KEY_ALGORITHM);
    m_countryName = built.Get<QLineEdit>(IDC_COUNTRY_NAME);
    m_stateOrProvince = built.Get<QLineEdit>(IDC_STATE_OR_PROVINCE);
    m_locality = built.Get<QLineEdit>(IDC_LOCALITY);
    m_organizationName = built.Get<QLineEdit>(IDC_ORGANIZATION_NAME);
    m_organizationalUnit = built.Get<QLineEdit>(IDC_ORGANIZATIONAL_UNIT);
    m_commonName = built.Get<QLineEdit>(IDC_COMMON_NAME);
    m_emailAddress = built.Get<QLineEdit>(IDC_EMAIL_ADDRESS);
    m_ipAddress = built.Get<IpAddressEdit>(IDC_IP_ADDRESS);
    m_progress = built.Get<QProgressBar>(IDC_PROGRESS);
    m_serialNumber = built.Get<QLineEdit>(IDC_SERIAL_NUMBER);
    m_generatingLabel = built.Get<QLabel>(IDC_GENERATING_LABEL);
    m_ok = built.Get<QPushButton>(IDOK);
    m_cancel = built.Get<QPushButton>(IDCANCEL);
    connect(m_ok, &QPushButton::clicked, this, &CCertGenForm::OnBnClickedOk);
    connect(m_cancel, &QPushButton::clicked, this, &CCertGenForm::reject);
}

CCertGenForm::~CCertGenForm() = default;

int CCertGenForm::DoModal() {
    return exec();
}

void CCertGenForm::showEvent(QShowEvent* event) {
    if (!m_initialized) {
        m_initialized = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CCertGenForm::OnInitDialog() {
    m_validDays->setText(ToQString(m_params.validDays));
    m_keySize->clear();
    for (int size : {1024, 2048, 4096}) {
        m_keySize->addItem(QString::number(size), size);
        if (size == m_params.keySize)
            m_keySize->setCurrentIndex(m_keySize->count() - 1);
    }
    if (m_params.keySize != 1024 && m_params.keySize != 2048 && m_params.keySize != 4096)
        m_keySize->setCurrentIndex(-1);
    m_keyAlgorithm->clear();
    m_keyAlgorithm->addItems({QStringLiteral("SHA"), QStringLiteral("DSA"), QStringLiteral("RSA")});
    m_keyAlgorithm->setCurrentIndex(
        m_params.keyAlgorithm >= 0 && m_params.keyAlgorithm < 3 ? m_params.keyAlgorithm : -1);
    m_countryName->setText(ToQString(m_params.countryName));
    m_stateOrProvince->setText(ToQString(m_params.stateOrProvince));
    m_locality->setText(ToQString(m_params.locality));
    m_organizationName->setText(ToQString(m_params.organizationName));
    m_organizationalUnit->setText(ToQString(m_params.organizationalUnit));
    m_commonName->setText(ToQString(m_params.commonName));
    m_emailAddress->setText(ToQString(m_params.emailAddress));
    m_ipAddress->setText(ToQString(m_params.ipAddress));
    m_serialNumber->setText(ToQString(m_params.serialNumber));
    // The file name always starts empty: every run needs a new base name.
    m_fileName->clear();
    m_fileName->setFocus(Qt::OtherFocusReason);
}

void CCertGenForm::OnBnClickedOk() {
    if (m_running)
        return;
    GenerationFormInput input;
    input.fileName = TextOf(m_fileName);
    input.validDays = TextOf(m_validDays);
    input.keySizeItemData = m_keySize->currentIndex() < 0 ? -1 : m_keySize->currentData().toInt();
    input.keyAlgorithmIndex = m_keyAlgorithm->currentIndex();
    input.countryName = TextOf(m_countryName);
    input.stateOrProvince = TextOf(m_stateOrProvince);
    input.locality = TextOf(m_locality);
    input.organizationName = TextOf(m_organizationName);
    input.organizationalUnit = TextOf(m_organizationalUnit);
    input.commonName = TextOf(m_commonName);
    input.emailAddress = TextOf(m_emailAddress);
    input.ipAddressText = ToU16String(m_ipAddress->text());
    input.ipAddressValue = m_ipAddress->address();
    input.serialNumber = TextOf(m_serialNumber);

    GenerationFormCheck check = CheckGenerationForm(input, m_params);
    m_params = std::move(check.params);
    if (check.serialNumberEditText)
        m_serialNumber->setText(ToQString(*check.serialNumberEditText));

    if (AnyGeneratorOutputExists(m_params) &&
        MessageBoxes().Show(
            this, QString::fromUtf8(kOverwriteQuestionText), QString::fromUtf8(kConfirmCaption),
            MessageBoxType::kOkCancel | MessageBoxType::kIconQuestion) == kAnswerCancel)
        return;

    if (!check.errors.empty()) {
        MessageBoxes().Show(this, ToQString(check.errors), QStringLiteral("Error"),
                            MessageBoxType::kOk | MessageBoxType::kIconError);
        return;
    }
    if (RunGeneratorScript())
        accept();
}

bool CCertGenForm::RunGeneratorScript() {
    const auto commandLine = BuildGeneratorCommandLine(m_params);
    const auto arguments = BuildGeneratorArguments(m_params);
    if (!commandLine || !arguments)
        return false;
    Trace(*commandLine);
    Trace(u"\r\n");

    // The arguments go to the program as the bytes they are: the output folder's path may hold
    // bytes that are no UTF-8, and must reach the script as the folder checked above.
    ScriptRunner runner;
    if (!runner.Start(std::filesystem::path(kGeneratorScriptPath), *arguments)) {
        Trace(u"The generator script could not be started.\r\n");
        return false;
    }

    SetRunningLook(true);
    const ScriptOutcome outcome = runner.WaitForFinished();
    SetRunningLook(false);

    const int code = outcome.exited ? ExitCodeFromStatus(outcome.exitStatus)
                                    : ExitCodeFromSignal(outcome.signal);
    if (code == 0)
        return true;
    MessageBoxes().Show(this, ToQString(GeneratorExitMessage(code)), QString(),
                        MessageBoxType::kOk);
    return false;
}

void CCertGenForm::SetRunningLook(bool running) {
    m_running = running;
    if (running)
        m_progress->setRange(0, 0); // a moving busy indicator
    else
        m_progress->setRange(0, 0x7FFF);
    m_progress->setVisible(running);
    m_generatingLabel->setVisible(running);
    m_ok->setEnabled(!running);
    m_cancel->setEnabled(!running);
}

void CCertGenForm::reject() {
    // While the script runs the form cannot be closed: its run belongs to the OK click.
    if (m_running)
        return;
    QDialog::reject();
}

void CCertGenForm::closeEvent(QCloseEvent* event) {
    if (m_running) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
