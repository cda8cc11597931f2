#include "platform/message_box.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {
MessageBoxService* g_override = nullptr;
}

MessageBoxService& MessageBoxes() {
    static QtMessageBoxService real;
    return g_override != nullptr ? *g_override : real;
}

void SetMessageBoxService(MessageBoxService* service) {
    g_override = service;
}

int QtMessageBoxService::Show(QWidget* owner, const QString& text, const QString& caption,
                              unsigned type) {
    QMessageBox box(owner);
    box.setTextFormat(Qt::PlainText);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setText(shown);
    box.setWindowTitle(caption.isEmpty() ? QCoreApplication::applicationName() : caption);
    switch (type & 0xF0) {
    case MessageBoxType::kIconError:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageBoxType::kIconQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageBoxType::kIconExclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    if ((type & 0x0F) == MessageBoxType::kOkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    // Closing the box any other way than with OK counts as Cancel (or as OK for a box with
    // only OK, which offers no other answer).
    const int result = box.exec();
    if (result == QMessageBox::Ok)
        return kAnswerOk;
    return (type & 0x0F) == MessageBoxType::kOkCancel ? kAnswerCancel : kAnswerOk;
}
