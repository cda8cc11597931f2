#include "platform/script_runner.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace {

// A descriptor that becomes readable when `pid` ends, or -1 (a kernel older than 5.3).
int OpenPidFd(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

// Waits for `pid` without taking its status: true once it has ended.
bool HasEnded(pid_t pid) {
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        if (errno != EINTR)
            return true; // no such child: nothing left to wait for
    }
    return info.si_pid == pid;
}

} // namespace

ScriptRunner::~ScriptRunner() {
    if (m_pid > 0) {
        // Only when the window goes away mid-run: the program is not left as a zombie.
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (m_pidFd >= 0)
        ::close(m_pidFd);
}

bool ScriptRunner::Start(const std::filesystem::path& program,
                         const std::vector<std::string>& arguments) {
    if (m_pid > 0)
        return false;
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0)
        return false;
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    // glibc reports a failed exec (missing file, no right to run it) as the call's result.
    const int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return false;
    m_pid = pid;
    m_pidFd = OpenPidFd(pid);
    return true;
}

ScriptOutcome ScriptRunner::WaitForFinished() {
    ScriptOutcome outcome;
    if (m_pid <= 0)
        return outcome;
    if (!HasEnded(m_pid)) {
        QEventLoop loop;
        if (m_pidFd >= 0) {
            // The descriptor becomes readable when the program ends.
            QSocketNotifier notifier(m_pidFd, QSocketNotifier::Read);
            QObject::connect(&notifier, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
            loop.exec();
        } else {
            // A kernel without pidfd_open: look again a few times a second.
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
                if (HasEnded(m_pid))
                    loop.quit();
            });
            poll.start(50);
            loop.exec();
        }
    }
    int status = 0;
    pid_t waited = -1;
    while ((waited = ::waitpid(m_pid, &status, 0)) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    if (m_pidFd >= 0) {
        ::close(m_pidFd);
        m_pidFd = -1;
    }
    // A status that cannot be read counts as an end by no known signal.
    if (waited >= 0 && WIFEXITED(status)) {
        outcome.exited = true;
        outcome.exitStatus = WEXITSTATUS(status);
    } else if (waited >= 0 && WIFSIGNALED(status)) {
        outcome.signal = WTERMSIG(status);
    }
    return outcome;
}
