#include "platform/qt_trace.h"

#include "platform/trace.h"
#include "ui/qt_text.h"

Q_LOGGING_CATEGORY(lcQuilletTrace, "quillet.trace", QtWarningMsg)

namespace {

// The trace arrives in pieces; a log line is written at each line end.
class QtTraceSink final : public TraceSink {
public:
    void Write(std::u16string_view piece) override {
        m_pending += ToQString(piece);
        qsizetype end;
        while ((end = m_pending.indexOf(QLatin1Char('\n'))) >= 0) {
            QString line = m_pending.left(end);
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            qCDebug(lcQuilletTrace).noquote() << line;
            m_pending.remove(0, end + 1);
        }
    }

private:
    QString m_pending;
};

} // namespace

void InstallQtTraceSink() {
    static QtTraceSink sink;
    SetTraceSink(lcQuilletTrace().isDebugEnabled() ? &sink : nullptr);
}
