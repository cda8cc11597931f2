#include "app/varnok_quillet_app.h"
#include "res/app_icon.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // Boxes given no caption of their own show the executable's name.
    QApplication::setApplicationName(QStringLiteral("quillet"));
    QApplication::setDesktopFileName(QStringLiteral("quillet"));
    QApplication::setWindowIcon(QuilletIcon());
    CVarnokQuilletApp app;
    app.InitInstance();
    return 0;
}
