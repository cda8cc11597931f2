// One whole refresh of the real main window: the tick starts it on the refresh's own thread, and
// it ends when the window has adopted its outcome. A tick's cost is the work on that thread; the
// time until adoption adds two thread wake-ups, which on a busy machine take what the scheduler
// makes them take.
#pragma once

#include "app/varnok_quillet_dlg.h"

#include <QEventLoop>
#include <QObject>

#include <chrono>

// Returns the seconds the refresh's work took on its thread.
inline double RefreshAndWait(CVarnokQuilletDlg& window) {
    QEventLoop loop;
    QObject::connect(&window, &CVarnokQuilletDlg::refreshFinished, &loop, &QEventLoop::quit);
    // A refresh started by the window's own timer ends first.
    while (window.RefreshInFlight())
        loop.exec();
    window.RefreshCertificateList();
    while (window.RefreshInFlight())
        loop.exec();
    return std::chrono::duration<double>(window.LastRefreshWorkTime()).count();
}
