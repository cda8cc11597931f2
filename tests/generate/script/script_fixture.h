// A fixture that gives each test an empty output folder and an empty working folder for the
// generator script.
#pragma once

#include "script_test_support.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

class ScriptFixture {
protected:
    ScriptFixture()
        : m_work(m_root.path() / "work"), m_out(m_root.path() / "Morvel" / "Certificates") {
        std::filesystem::create_directories(m_work);
        std::filesystem::create_directories(m_out);
        // The script refuses a folder that others can write to, whatever the umask made.
        std::filesystem::permissions(m_out, std::filesystem::perms(0755));
    }

    ScriptArgs Valid() const { return ScriptArgs::Valid(m_out); }

    // Runs the script in the working folder.
    ProgramResult RunGenerator(const ScriptArgs& args, ProgramOptions options = {}) const {
        if (options.workingFolder.empty())
            options.workingFolder = m_work;
        return RunScript(args, options);
    }

    std::filesystem::path Output(const std::string& name) const { return m_out / name; }

    static std::vector<std::string> Generated(const std::string& base) {
        return {base + ".crt", base + ".csr", base + ".key"};
    }

    TempFolder m_root;
    std::filesystem::path m_work;
    std::filesystem::path m_out;
};

// A successful run: status 0, nothing on standard output or standard error.
#define EXPECT_SCRIPT_SUCCEEDED(result)                                                            \
    do {                                                                                           \
        const ProgramResult& r_ = (result);                                                        \
        EXPECT_TRUE(r_.exited) << "ended by signal " << r_.signal;                                 \
        EXPECT_EQ(r_.exitStatus, 0) << r_.err;                                                     \
        EXPECT_EQ(r_.out, "");                                                                     \
        EXPECT_EQ(r_.err, "");                                                                     \
    } while (false)
