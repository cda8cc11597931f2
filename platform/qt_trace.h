// Routes the core's debug trace into the Qt logging category "quillet.trace", which is off by
// default (enable it with QT_LOGGING_RULES="quillet.trace.debug=true").
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcQuilletTrace)

// Installs the sink when the category is enabled; otherwise the core skips its trace entirely.
void InstallQtTraceSink();
