#include "ui/ip_address_edit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace {

// Digits only, and at most 255.
class OctetValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        if (input.isEmpty())
            return Acceptable;
        if (input.size() > 3)
            return Invalid;
        for (const QChar c : input)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
        return input.toInt() <= 255 ? Acceptable : Invalid;
    }
};

} // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(0);
    auto* validator = new OctetValidator(this);
    for (int i = 0; i < 4; ++i) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("ipField%1").arg(i));
        edit->setFrame(false);
        edit->setAlignment(Qt::AlignCenter);
        edit->setValidator(validator);
        edit->setMaxLength(3);
        edit->installEventFilter(this);
        // One tab stop for the whole control: the later fields are reached with the dot.
        if (i > 0)
            edit->setFocusPolicy(Qt::ClickFocus);
        m_fields[static_cast<std::size_t>(i)] = edit;
        layout->addWidget(edit, 1);
        if (i < 3) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setTextFormat(Qt::PlainText);
            layout->addWidget(dot, 0);
        }
        // Three digits typed: go on to the next field, as the dot would.
        connect(edit, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.size() == 3 && i < 3 && field(i)->cursorPosition() == 3)
                FocusField(i + 1, true);
        });
    }
    setFocusProxy(m_fields[0]);
}

std::uint32_t IpAddressEdit::address() const {
    std::uint32_t value = 0;
    for (const QLineEdit* edit : m_fields)
        value = (value << 8) | static_cast<std::uint32_t>(edit->text().toUInt() & 0xFF);
    return value;
}

QString IpAddressEdit::text() const {
    if (isBlank())
        return {};
    QStringList parts;
    for (const QLineEdit* edit : m_fields)
        parts << QString::number(edit->text().toUInt());
    return parts.join(QLatin1Char('.'));
}

void IpAddressEdit::setText(const QString& dotted) {
    clear();
    const QStringList parts = dotted.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return;
    std::array<QString, 4> values;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const uint number = parts[i].toUInt(&ok);
        if (!ok || number > 255 || parts[i].size() > 3)
            return;
        values[static_cast<std::size_t>(i)] = QString::number(number);
    }
    for (int i = 0; i < 4; ++i)
        m_fields[static_cast<std::size_t>(i)]->setText(values[static_cast<std::size_t>(i)]);
}

void IpAddressEdit::clear() {
    for (QLineEdit* edit : m_fields)
        edit->clear();
}

bool IpAddressEdit::isBlank() const {
    for (const QLineEdit* edit : m_fields)
        if (!edit->text().isEmpty())
            return false;
    return true;
}

int IpAddressEdit::IndexOf(QObject* object) const {
    for (int i = 0; i < 4; ++i)
        if (m_fields[static_cast<std::size_t>(i)] == object)
            return i;
    return -1;
}

void IpAddressEdit::FocusField(int index, bool selectAll) {
    QLineEdit* edit = field(index);
    edit->setFocus(Qt::OtherFocusReason);
    if (selectAll)
        edit->selectAll();
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    const int index = IndexOf(watched);
    if (index < 0 || event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* edit = field(index);
    switch (key->key()) {
    case Qt::Key_Period:
    case Qt::Key_Comma:
        // A dot moves on to the next field (and is never typed into a field).
        if (index < 3 && !edit->text().isEmpty())
            FocusField(index + 1, true);
        return true;
    case Qt::Key_Backspace:
        if (index > 0 && edit->cursorPosition() == 0 && !edit->hasSelectedText()) {
            QLineEdit* previous = field(index - 1);
            FocusField(index - 1, false);
            previous->end(false);
            return true;
        }
        break;
    case Qt::Key_Left:
        if (index > 0 && edit->cursorPosition() == 0) {
            FocusField(index - 1, false);
            field(index - 1)->end(false);
            return true;
        }
        break;
    case Qt::Key_Right:
        if (index < 3 && edit->cursorPosition() == edit->text().size()) {
            FocusField(index + 1, false);
            field(index + 1)->home(false);
            return true;
        }
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}
