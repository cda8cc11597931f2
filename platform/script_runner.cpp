#include "platform/script_runner.h"

#include <QEventLoop>
#include <QProcess>

namespace {

class QProcessScriptRunner final : public ScriptRunner {
public:
    bool Start(const QString& program, const QStringList& arguments) override {
        m_process.setProgram(program);
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.setStandardInputFile(QProcess::nullDevice());
        m_process.start();
        return m_process.waitForStarted(-1);
    }

    ScriptOutcome WaitForFinished() override {
        if (m_process.state() != QProcess::NotRunning) {
            QEventLoop loop;
            QObject::connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
            QObject::connect(
                &m_process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
                    if (error == QProcess::Crashed || m_process.state() == QProcess::NotRunning)
                        loop.quit();
                });
            if (m_process.state() != QProcess::NotRunning)
                loop.exec();
        }
        ScriptOutcome outcome;
        outcome.crashed = m_process.exitStatus() == QProcess::CrashExit;
        // After a crash QProcess reports the signal number as the exit code.
        outcome.status = m_process.exitCode();
        return outcome;
    }

private:
    QProcess m_process;
};

ScriptRunnerFactory& Factory() {
    static ScriptRunnerFactory factory;
    return factory;
}

} // namespace

std::unique_ptr<ScriptRunner> MakeScriptRunner() {
    if (Factory())
        return Factory()();
    return std::make_unique<QProcessScriptRunner>();
}

void SetScriptRunnerFactory(ScriptRunnerFactory factory) {
    Factory() = std::move(factory);
}
