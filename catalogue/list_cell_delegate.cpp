#include "catalogue/list_cell_delegate.h"

#include "catalogue/certificate_list_model.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPalette>
#include <QStyle>
#include <QTextDocument>
#include <QToolTip>

#include <cmath>

namespace {

double RelativeLuminance(const QColor& color) {
    const auto channel = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
           0.0722 * channel(color.blueF());
}

QColor Mix(const QColor& base, const QColor& hue, double share) {
    return QColor::fromRgbF(static_cast<float>(base.redF() * (1 - share) + hue.redF() * share),
                            static_cast<float>(base.greenF() * (1 - share) + hue.greenF() * share),
                            static_cast<float>(base.blueF() * (1 - share) + hue.blueF() * share));
}

constexpr double kMinimumContrast = 4.5;

// A tooltip is shown as rich text when it looks like markup; a certificate's texts never are.
QString PlainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre'>") +
           text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")) +
           QStringLiteral("</p>");
}

} // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ExpiryTint(ExpiryState state, const QPalette& palette) {
    QColor hue;
    switch (state) {
    case ExpiryState::Expired:
        hue = QColor(0xE0, 0x30, 0x30);
        break;
    case ExpiryState::ExpiringSoon:
        hue = QColor(0xF0, 0xA0, 0x00);
        break;
    case ExpiryState::NotYetValid:
        hue = QColor(0x30, 0x80, 0xE0);
        break;
    case ExpiryState::Valid:
        return {};
    }
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    // As much of the hue as the text's contrast allows, from a clear tint down to a faint one.
    for (double share = 0.40; share > 0.09; share -= 0.05) {
        const QColor tint = Mix(base, hue, share);
        if (ContrastRatio(tint, text) >= kMinimumContrast)
            return tint;
    }
    return Mix(base, hue, 0.10);
}

void ListCellDelegate::initStyleOption(QStyleOptionViewItem* option,
                                       const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant state = index.data(kExpiryStateRole);
    if (!state.isValid())
        return;
    const QColor tint = ExpiryTint(static_cast<ExpiryState>(state.toInt()), option->palette);
    if (tint.isValid())
        option->backgroundBrush = tint;
}

bool ListCellDelegate::IsTextCut(const QStyleOptionViewItem& option, const QWidget* widget) {
    if (option.text.isEmpty())
        return false;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    // As the style lays the text out: inside the text rectangle, less a margin on either side.
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &option, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    return option.fontMetrics.horizontalAdvance(option.text) > textRect.width() - 2 * margin;
}

QString ListCellDelegate::ToolTipText(const QModelIndex& index,
                                      const QAbstractItemView* view) const {
    if (!index.isValid())
        return {};
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualRect(index);
    option.font = view->font();
    option.fontMetrics = view->fontMetrics();
    option.textElideMode = view->textElideMode();
    option.features |= QStyleOptionViewItem::HasDisplay;
    initStyleOption(&option, index);
    const QString rowTip = index.data(Qt::ToolTipRole).toString();
    if (!IsTextCut(option, view))
        return rowTip;
    return rowTip.isEmpty() ? option.text : option.text + QLatin1Char('\n') + rowTip;
}

bool ListCellDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                 const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString text = ToolTipText(index, view);
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(event->globalPos(), PlainToolTip(text), view->viewport(),
                       view->visualRect(index));
    return true;
}
