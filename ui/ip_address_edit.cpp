#include "ui/ip_address_edit.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QTimer>

#include <algorithm>

namespace {

bool AllDigits(QStringView text) {
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// The number of a field's digits, or -1 when it is over 255 (however many digits it has).
int OctetValue(QStringView digits) {
    while (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        digits = digits.mid(1);
    if (digits.size() > 3)
        return -1;
    const int value = digits.toInt();
    return value <= 255 ? value : -1;
}

const QRegularExpression& DottedText() {
    static const QRegularExpression dotted(QStringLiteral("^\\s*[0-9]*(\\.[0-9]*)+\\s*$"));
    return dotted;
}

// Digits; a number over 255 and a dotted address are let through for the control to deal with
// (it makes the first 255 and spreads the second over the fields). Anything else is not taken.
class OctetValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        if (input.isEmpty())
            return Acceptable;
        if (AllDigits(input))
            return input.size() <= 3 && OctetValue(input) >= 0 ? Acceptable : Intermediate;
        return DottedText().match(input).hasMatch() ? Intermediate : Invalid;
    }
};

QString NoticeOverRange(const QString& typed) {
    return IpAddressEdit::tr("Each part of an IP address is a number from 0 to 255: %1 was changed "
                             "to 255.")
        .arg(typed);
}

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
        connect(edit, &QLineEdit::textEdited, this,
                [this, i](const QString& text) { OnFieldEdited(i, text); });
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

void IpAddressEdit::OnFieldEdited(int index, const QString& text) {
    QLineEdit* edit = field(index);
    if (!AllDigits(text)) {
        FillFromDottedText(index, text);
        return;
    }
    if (text.size() > 3 || OctetValue(text) < 0) {
        const int value = OctetValue(text);
        edit->setText(QString::number(value < 0 ? 255 : value));
        if (value < 0)
            ShowNotice(NoticeOverRange(text));
    }
    // Three digits typed: go on to the next field, as the dot would.
    if (edit->text().size() == 3 && index < 3 && edit->cursorPosition() == 3)
        FocusField(index + 1, true);
}

void IpAddressEdit::FillFromDottedText(int index, const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    // A whole address fills the whole control; a shorter piece fills from this field on.
    const int first = parts.size() == 4 ? 0 : index;
    if (first + parts.size() > 4) {
        field(index)->undo();
        ShowNotice(
            tr("%1 is not an IP address: an IP address has four parts.").arg(text.trimmed()));
        return;
    }
    QStringList overRange;
    for (int k = 0; k < parts.size(); ++k) {
        const int value = parts[k].isEmpty() ? -2 : OctetValue(parts[k]);
        if (value == -1)
            overRange << parts[k];
        field(first + k)->setText(value == -2 ? QString()
                                              : QString::number(value < 0 ? 255 : value));
    }
    if (!overRange.isEmpty())
        ShowNotice(NoticeOverRange(overRange.join(QStringLiteral(", "))));
    const int last = first + static_cast<int>(parts.size()) - 1;
    FocusField(last, false);
    field(last)->end(false);
}

void IpAddressEdit::ShowNotice(const QString& text) {
    QWidget* host = window();
    if (m_notice == nullptr) {
        m_notice = new QLabel(host);
        m_notice->setObjectName(QStringLiteral("ipAddressNotice"));
        m_notice->setTextFormat(Qt::PlainText);
        m_notice->setWordWrap(true);
        m_notice->setFrameShape(QFrame::Box);
        m_notice->setMargin(3);
        m_notice->setAutoFillBackground(true);
        m_notice->setBackgroundRole(QPalette::ToolTipBase);
        m_notice->setForegroundRole(QPalette::ToolTipText);
        m_noticeTimer = new QTimer(this);
        m_noticeTimer->setSingleShot(true);
        m_noticeTimer->setInterval(6000);
        connect(m_noticeTimer, &QTimer::timeout, m_notice, &QWidget::hide);
    }
    m_notice->setText(text);
    const QPoint below = host == this ? QPoint(0, height()) : mapTo(host, QPoint(0, height() + 1));
    const int width = std::max(this->width(), host->width() - 2 * std::max(below.x(), 4));
    m_notice->setFixedWidth(width);
    m_notice->adjustSize();
    m_notice->move(std::clamp(below.x(), 0, std::max(0, host->width() - width)), below.y());
    m_notice->raise();
    m_notice->show();
    m_noticeTimer->start();
    QAccessibleEvent alert(m_notice, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void IpAddressEdit::SetAccessibleAddressName(const QString& name) {
    setAccessibleName(name);
    for (int i = 0; i < 4; ++i) {
        QLineEdit* edit = field(i);
        edit->setAccessibleName(name);
        edit->setAccessibleDescription(tr("Part %1 of 4").arg(i + 1));
    }
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
