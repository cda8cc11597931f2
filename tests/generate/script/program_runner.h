// Starts a program with an argument vector (never through a shell), with a chosen umask, working
// folder and environment, and collects its exit status and output.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

struct ProgramOptions {
    mode_t umask = 022;
    // Empty: the test's own working folder.
    std::filesystem::path workingFolder;
    // Variables set (or replaced) on top of the test's own environment.
    std::vector<std::pair<std::string, std::string>> environment;
};

struct ProgramResult {
    bool exited = false; // false when a signal ended the program
    int exitStatus = -1; // 0..255 when `exited`
    int signal = 0;      // the signal when not `exited`
    std::string out;     // standard output
    std::string err;     // standard error
};

// A started program whose output goes to files until it is waited for.
class RunningProgram {
public:
    RunningProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                   const ProgramOptions& options);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    pid_t pid() const { return m_pid; }

    // Waits for the end of the program (no time limit) and returns what it left.
    ProgramResult Wait();

private:
    pid_t m_pid = -1;
    std::filesystem::path m_outputFolder;
};

// Runs `program` with `args` (not including the program itself) to its end.
ProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const ProgramOptions& options = {});
