#include "ui/dialog_builder.h"

#include "res/app_icon.h"
#include "ui/accessible_names.h"
#include "ui/ip_address_edit.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>

#include <limits>

QString ControlObjectName(int id) {
    return id >= 0 ? QStringLiteral("control%1").arg(id) : QStringLiteral("static%1").arg(-id);
}

namespace {

QTableView* MakeReportList(QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setShowGrid(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setTabKeyNavigation(false);
    view->setWordWrap(false);
    view->setCornerButtonEnabled(false);
    view->setTextElideMode(Qt::ElideRight);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->horizontalHeader()->setStretchLastSection(false);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->setFocusPolicy(Qt::StrongFocus);
    return view;
}

} // namespace

BuiltDialog BuildDialogTemplate(QDialog* dialog, const DialogTemplate& dialogTemplate) {
    BuiltDialog built;
    built.units = DialogUnitsOf(dialog->font());
    dialog->setWindowTitle(QString::fromUtf8(dialogTemplate.title));
    dialog->resize(built.units.ToPixels(dialogTemplate.width, dialogTemplate.height));

    QWidget* previousFocusable = nullptr;
    for (const TemplateControl& control : dialogTemplate.controls) {
        const QString text = QString::fromUtf8(control.text);
        QWidget* widget = nullptr;
        switch (control.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton: {
            auto* button = new QPushButton(text, dialog);
            const bool isDefault = control.kind == ControlKind::DefaultPushButton;
            button->setAutoDefault(isDefault);
            button->setDefault(isDefault);
            widget = button;
            break;
        }
        case ControlKind::Label:
        case ControlKind::HiddenLabel: {
            auto* label = new QLabel(dialog);
            label->setTextFormat(Qt::PlainText);
            label->setText(text);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            if (control.kind == ControlKind::HiddenLabel)
                label->hide();
            widget = label;
            break;
        }
        case ControlKind::Edit:
        case ControlKind::DigitsEdit: {
            auto* edit = new QLineEdit(dialog);
            // No length limit: lengths are checked when the form is confirmed.
            edit->setMaxLength(std::numeric_limits<int>::max());
            if (control.kind == ControlKind::DigitsEdit)
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9]*")), edit));
            widget = edit;
            break;
        }
        case ControlKind::DropDownList:
        case ControlKind::DisabledDropDownList: {
            auto* combo = new QComboBox(dialog);
            combo->setEditable(false);
            combo->setEnabled(control.kind == ControlKind::DropDownList);
            widget = combo;
            break;
        }
        case ControlKind::IpAddress:
            widget = new IpAddressEdit(dialog);
            break;
        case ControlKind::HiddenProgressBar: {
            auto* bar = new QProgressBar(dialog);
            bar->setTextVisible(false);
            bar->setRange(0, 0x7FFF);
            bar->hide();
            widget = bar;
            break;
        }
        case ControlKind::ListView:
            widget = MakeReportList(dialog);
            break;
        case ControlKind::Icon: {
            auto* label = new QLabel(dialog);
            label->setPixmap(QuilletIcon().pixmap(32, 32));
            widget = label;
            break;
        }
        }
        widget->setObjectName(ControlObjectName(control.id));
        widget->setProperty("controlId", control.id);
        QRect rect = built.units.ToPixels(control.x, control.y, control.width, control.height);
        if (control.kind == ControlKind::Icon)
            rect.setSize(QSize(32, 32));
        widget->setGeometry(rect);
        if (widget->focusPolicy() != Qt::NoFocus) {
            if (previousFocusable != nullptr)
                QWidget::setTabOrder(previousFocusable, widget);
            previousFocusable = widget;
        }
        built.controls.emplace(control.id, widget);
    }
    NameControlsByLabels(built, dialogTemplate);
    return built;
}
