// How the cells of the two lists are drawn and explained: a certificate row is tinted by where it
// stands in its validity period, and a cell whose text is cut shows the whole text as its tooltip.
#pragma once

#include "catalogue/certificate_expiry.h"

#include <QColor>
#include <QStyledItemDelegate>

class QPalette;

// The background of a row in `state`, made from the palette's base colour and a hue (red for
// expired, amber for expiring soon, blue for not yet valid), kept light or dark enough that the
// palette's text colour on it has a contrast ratio of at least 4.5. Invalid for a valid row,
// which keeps the list's own background.
QColor ExpiryTint(ExpiryState state, const QPalette& palette);

// The WCAG contrast ratio of two colours, from 1 to 21.
double ContrastRatio(const QColor& a, const QColor& b);

class ListCellDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // True when the cell's text does not fit and is drawn cut with "…".
    static bool IsTextCut(const QStyleOptionViewItem& option, const QWidget* widget);

    // The tooltip of a cell: its whole text when it is cut, then the row's own tooltip.
    QString ToolTipText(const QModelIndex& index, const QAbstractItemView* view) const;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
