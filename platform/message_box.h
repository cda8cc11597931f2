// Message boxes go through this interface, so that tests can answer them.
#pragma once

#include <QString>

class QWidget;

// Box types and answers, with the values the rest of the code is written against.
namespace MessageBoxType {
inline constexpr unsigned kOk = 0x0;
inline constexpr unsigned kOkCancel = 0x1;
inline constexpr unsigned kIconError = 0x10;
inline constexpr unsigned kIconQuestion = 0x20;
inline constexpr unsigned kIconExclamation = 0x30;
} // namespace MessageBoxType

inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // Shows a modal box owned by `owner` and returns kAnswerOk or kAnswerCancel. An empty
    // caption shows the application's name.
    virtual int Show(QWidget* owner, const QString& text, const QString& caption,
                     unsigned type) = 0;
};

// The service in use: the real boxes unless a test installed another one.
MessageBoxService& MessageBoxes();

// Installs `service` (not owned); nullptr goes back to the real boxes.
void SetMessageBoxService(MessageBoxService* service);

// The real boxes (QMessageBox, text always plain).
class QtMessageBoxService final : public MessageBoxService {
public:
    int Show(QWidget* owner, const QString& text, const QString& caption, unsigned type) override;
};
