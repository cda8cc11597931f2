// The generation form: collects one CertGenParams, checks it and runs the generator script.
#pragma once

#include "generate/cert_gen_params.h"

#include <QDialog>

class IpAddressEdit;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class CCertGenForm : public QDialog {
    Q_OBJECT
public:
    explicit CCertGenForm(QWidget* parent = nullptr);
    ~CCertGenForm() override;

    // Shows the form modally; QDialog::Accepted only after a successful run of the script.
    int DoModal();

    // Reads every control, checks it, asks before overwriting, then shows the errors or runs the
    // script; closes the form after a successful run.
    void OnBnClickedOk();
    // Runs the script with m_params; true when it ended with exit code 0.
    bool RunGeneratorScript();

    // True between the start of the script and its end.
    bool isRunning() const { return m_running; }

    CertGenParams m_params;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnInitDialog();
    void SetRunningLook(bool running);

    bool m_initialized = false;
    bool m_running = false;

    QLineEdit* m_fileName = nullptr;
    QLineEdit* m_validDays = nullptr;
    QComboBox* m_keySize = nullptr;
    QComboBox* m_keyAlgorithm = nullptr;
    QLineEdit* m_countryName = nullptr;
    QLineEdit* m_stateOrProvince = nullptr;
    QLineEdit* m_locality = nullptr;
    QLineEdit* m_organizationName = nullptr;
    QLineEdit* m_organizationalUnit = nullptr;
    QLineEdit* m_commonName = nullptr;
    QLineEdit* m_emailAddress = nullptr;
    IpAddressEdit* m_ipAddress = nullptr;
    QProgressBar* m_progress = nullptr;
    QLineEdit* m_serialNumber = nullptr;
    QLabel* m_generatingLabel = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
