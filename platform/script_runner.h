// Starting the generator script and waiting for it while the windows keep working.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

struct ScriptOutcome {
    bool crashed = false; // ended by a signal instead of exiting
    int status = 0;       // the 8-bit exit status, or the signal number after a crash
};

class ScriptRunner {
public:
    virtual ~ScriptRunner() = default;
    // Starts `program` (no shell) with `arguments` in the current directory; false when it
    // cannot be started.
    virtual bool Start(const QString& program, const QStringList& arguments) = 0;
    // Waits in a nested event loop, so that windows repaint and timers keep running, until the
    // started process has ended. Keeps no processor busy.
    virtual ScriptOutcome WaitForFinished() = 0;
};

// A new runner: the real one, unless a test installed a factory of its own.
std::unique_ptr<ScriptRunner> MakeScriptRunner();
using ScriptRunnerFactory = std::function<std::unique_ptr<ScriptRunner>()>;
void SetScriptRunnerFactory(ScriptRunnerFactory factory);
