// Waiting for the main window's refresh, which runs on its own thread and is adopted on the
// window's thread: the tests serve events until the refreshFinished signal, never sleep.
#pragma once

#include "app/varnok_quillet_dlg.h"

#include <QDeadlineTimer>
#include <QSignalSpy>

// Long enough for a loaded machine under a sanitizer; a refresh that takes longer has hung.
inline constexpr int kRefreshWaitMs = 60000;

// Serves events until no refresh is in flight; false when that takes too long.
[[nodiscard]] inline bool WaitForRefreshToEnd(CVarnokQuilletDlg& window) {
    QSignalSpy finished(&window, &CVarnokQuilletDlg::refreshFinished);
    const QDeadlineTimer deadline(kRefreshWaitMs);
    while (window.RefreshInFlight()) {
        if (deadline.hasExpired() || !finished.wait(static_cast<int>(deadline.remainingTime())))
            return !window.RefreshInFlight();
    }
    return true;
}

// One whole refresh that starts now: waits for one in flight to end, starts the next tick's
// refresh and waits until its outcome is on screen.
[[nodiscard]] inline bool RefreshAndWait(CVarnokQuilletDlg& window) {
    if (!WaitForRefreshToEnd(window))
        return false;
    window.RefreshCertificateList();
    return window.RefreshInFlight() && WaitForRefreshToEnd(window);
}
