// Answers message boxes for a test and records what they said.
#pragma once

#include "platform/message_box.h"

#include <QList>
#include <QString>

class FakeMessageBoxes final : public MessageBoxService {
public:
    struct Call {
        QString text;
        QString caption;
        unsigned type;
    };

    FakeMessageBoxes() { SetMessageBoxService(this); }
    ~FakeMessageBoxes() override { SetMessageBoxService(nullptr); }

    int Show(QWidget*, const QString& text, const QString& caption, unsigned type) override {
        calls.push_back({text, caption, type});
        return answers.isEmpty() ? kAnswerOk : answers.takeFirst();
    }

    QList<Call> calls;
    QList<int> answers; // given in turn; OK once they run out
};
