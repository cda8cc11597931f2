#include "app/about_dlg.h"

#include "res/app_icon.h"
#include "ui/dialog_builder.h"

#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("aboutDialog"));
    setFont(MainDialogFont());
    const BuiltDialog built = BuildDialogTemplate(this, kAboutTemplate);
    setFixedSize(size());
    setWindowIcon(QuilletIcon());
    if (auto* ok = built.Get<QPushButton>(IDOK)) {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        ok->setFocus();
    }
}

CAboutDlg::~CAboutDlg() = default;
