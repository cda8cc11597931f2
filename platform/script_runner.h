// Starting the generator script and waiting for it while the windows keep working.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

// How a started program ended.
struct ScriptOutcome {
    bool exited = false; // false when a signal ended it
    int exitStatus = 0;  // the 8-bit exit status when `exited`
    int signal = 0;      // the signal that ended it otherwise
};

// Runs one program with an argument vector of bytes: each argument reaches the program exactly as
// given, whatever its encoding, and no shell ever reads it.
class ScriptRunner {
public:
    ScriptRunner() = default;
    ~ScriptRunner();
    ScriptRunner(const ScriptRunner&) = delete;
    ScriptRunner& operator=(const ScriptRunner&) = delete;

    // Starts `program` with `arguments` (not including the program itself) in the current
    // directory, standard input from /dev/null, output to this process's own; false when it
    // cannot be started (missing, not executable) or one is already running.
    bool Start(const std::filesystem::path& program, const std::vector<std::string>& arguments);
    // Waits in a nested event loop, so that windows repaint and timers keep running, until the
    // started program has ended. Keeps no processor busy.
    ScriptOutcome WaitForFinished();

private:
    pid_t m_pid = -1;
    int m_pidFd = -1;
};
