#include "platform/qt_trace.h"

#include "platform/trace.h"
#include "ui/qt_text.h"

Q_LOGGING_CATEGORY(lcQuilletTrace, "quillet.trace", QtWarningMsg)

void InstallQtTraceSink() {
    if (!lcQuilletTrace().isDebugEnabled()) {
        SetTraceSink({});
        return;
    }
    // The trace arrives in pieces; a log line is written at each line end.
    SetTraceSink([pending = QString()](std::u16string_view piece) mutable {
        pending += ToQString(piece);
        qsizetype end;
        while ((end = pending.indexOf(QLatin1Char('\n'))) >= 0) {
            QString line = pending.left(end);
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            qCDebug(lcQuilletTrace).noquote() << line;
            pending.remove(0, end + 1);
        }
    });
}
