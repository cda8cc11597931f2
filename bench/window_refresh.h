// One whole refresh of the real main window, as the benchmarks time it: the tick starts it on
// the refresh's own thread, and it ends when the window has adopted its outcome.
#pragma once

#include "app/varnok_quillet_dlg.h"

#include <QEventLoop>
#include <QObject>

inline void RefreshAndWait(CVarnokQuilletDlg& window) {
    QEventLoop loop;
    QObject::connect(&window, &CVarnokQuilletDlg::refreshFinished, &loop, &QEventLoop::quit);
    // A refresh started by the window's own timer ends first.
    while (window.RefreshInFlight())
        loop.exec();
    window.RefreshCertificateList();
    while (window.RefreshInFlight())
        loop.exec();
}
