#include "program_runner.h"

#include "support/temp_folder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <system_error>

extern char** environ;

namespace {

std::vector<std::string>
MergedEnvironment(const std::vector<std::pair<std::string, std::string>>& overrides) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        bool replaced = false;
        for (const auto& [name, value] : overrides) {
            if (text.size() > name.size() && text.substr(0, name.size()) == name &&
                text[name.size()] == '=') {
                replaced = true;
                break;
            }
        }
        if (!replaced)
            merged.emplace_back(text);
    }
    for (const auto& [name, value] : overrides)
        merged.push_back(name + "=" + value);
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

[[noreturn]] void ChildFailed(const char* what) {
    // Only async-signal-safe calls between fork and exec.
    const char prefix[] = "program runner: ";
    ssize_t ignored = ::write(STDERR_FILENO, prefix, sizeof prefix - 1);
    ignored = ::write(STDERR_FILENO, what, std::strlen(what));
    ignored = ::write(STDERR_FILENO, "\n", 1);
    (void)ignored;
    ::_exit(127);
}

} // namespace

RunningProgram::RunningProgram(const std::filesystem::path& program,
                               const std::vector<std::string>& args,
                               const ProgramOptions& options) {
    std::string folderPattern =
        (std::filesystem::temp_directory_path() / "quillet-run-XXXXXX").string();
    if (::mkdtemp(folderPattern.data()) == nullptr)
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    m_outputFolder = folderPattern;

    // Everything the child needs is prepared before fork.
    std::string programPath = program.string();
    std::string outPath = (m_outputFolder / "out").string();
    std::string errPath = (m_outputFolder / "err").string();
    std::string workingFolder = options.workingFolder.string();
    std::vector<std::string> argStrings;
    argStrings.push_back(programPath);
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings = MergedEnvironment(options.environment);
    std::vector<char*> argv = Pointers(argStrings);
    std::vector<char*> envp = Pointers(envStrings);
    const mode_t mask = options.umask;

    m_pid = ::fork();
    if (m_pid < 0)
        throw std::system_error(errno, std::generic_category(), "fork");
    if (m_pid == 0) {
        // Whatever the test runner inherited, the program starts with default signal handling.
        for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGCHLD}) {
            struct sigaction action = {};
            action.sa_handler = SIG_DFL;
            ::sigaction(sig, &action, nullptr);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::umask(mask);
        if (!workingFolder.empty() && ::chdir(workingFolder.c_str()) != 0)
            ChildFailed("chdir");
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (in < 0 || out < 0 || err < 0)
            ChildFailed("open");
        if (::dup2(in, STDIN_FILENO) < 0 || ::dup2(out, STDOUT_FILENO) < 0 ||
            ::dup2(err, STDERR_FILENO) < 0)
            ChildFailed("dup2");
        ::execve(programPath.c_str(), argv.data(), envp.data());
        ChildFailed("execve");
    }
}

RunningProgram::~RunningProgram() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(m_outputFolder, ec);
}

ProgramResult RunningProgram::Wait() {
    if (m_pid <= 0)
        throw std::logic_error("the program was already waited for");
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(m_pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    if (done < 0)
        throw std::system_error(errno, std::generic_category(), "waitpid");
    m_pid = -1;

    ProgramResult result;
    result.exited = WIFEXITED(status);
    if (result.exited)
        result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.out = ReadFileBytes(m_outputFolder / "out");
    result.err = ReadFileBytes(m_outputFolder / "err");
    return result;
}

ProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const ProgramOptions& options) {
    RunningProgram running(program, args, options);
    return running.Wait();
}
