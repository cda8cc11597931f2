// The generator script and folders that someone else could write to: an output folder open to
// other users or owned by one is refused before anything is written, another user racing for
// the working folder gets nowhere, and a working folder that is not private is never used.
#include "script_fixture.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The user and group another local user has in these tests: nobody/nogroup.
constexpr uid_t kOtherUser = 65534;
constexpr gid_t kOtherGroup = 65534;

class GeneratorScriptFolderSafety : public ScriptFixture, public ::testing::Test {
protected:
    // A refused folder: status -8, nothing on standard output, one line on standard error that
    // names the folder and says how to make it private.
    void ExpectRefused(const ProgramResult& result, const fs::path& folder) {
        EXPECT_TRUE(result.exited) << "ended by signal " << result.signal;
        EXPECT_EQ(result.exitStatus, ScriptStatus(-8)) << result.err;
        EXPECT_EQ(result.out, "");
        ASSERT_FALSE(result.err.empty());
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
        EXPECT_NE(result.err.find("chmod 700 " + fs::canonical(folder).string()), std::string::npos)
            << result.err;
    }
};

class GeneratorScriptOpenFolder : public GeneratorScriptFolderSafety,
                                  public ::testing::WithParamInterface<unsigned> {};

TEST_P(GeneratorScriptOpenFolder, IsRefusedAndLeftAsItWas) {
    WriteFileBytes(Output("web.key"), "old key\n");
    fs::permissions(m_out, fs::perms(GetParam()));
    ExpectRefused(RunGenerator(Valid()), m_out);
    EXPECT_EQ(FolderEntries(m_out), std::vector<std::string>{"web.key"});
    EXPECT_EQ(ReadFileBytes(Output("web.key")), "old key\n");
    EXPECT_EQ(PermissionBits(m_out), GetParam());
}

// Group- or world-writable, with or without the sticky bit.
INSTANTIATE_TEST_SUITE_P(Modes, GeneratorScriptOpenFolder,
                         ::testing::Values(0777u, 0775u, 0770u, 0730u, 0757u, 0703u, 01777u,
                                           01770u),
                         [](const ::testing::TestParamInfo<unsigned>& info) {
                             char name[16];
                             std::snprintf(name, sizeof name, "mode_%04o", info.param);
                             return std::string(name);
                         });

TEST_F(GeneratorScriptFolderSafety, RefusesOpenFolderBehindALink) {
    const fs::path open = m_root.path() / "open";
    fs::create_directory(open);
    fs::permissions(open, fs::perms(0777));
    const fs::path link = m_root.path() / "link";
    fs::create_directory_symlink(open, link);
    ExpectRefused(RunGenerator(ScriptArgs::Valid(link)), open);
    EXPECT_TRUE(FolderEntries(open).empty());
}

TEST_F(GeneratorScriptFolderSafety, RefusesFolderOfAnotherUser) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a folder to another user";
    ASSERT_EQ(::chown(m_out.c_str(), kOtherUser, kOtherGroup), 0);
    ExpectRefused(RunGenerator(Valid()), m_out);
    EXPECT_TRUE(FolderEntries(m_out).empty());
}

// ---- Another user racing for the working folder --------------------------------------------

// The attacker, started as another user with setpriv; it watches the folder until it is
// killed.
class Attacker {
public:
    explicit Attacker(const fs::path& folder) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0)
            throw std::system_error(errno, std::generic_category(), "pipe");
        const std::string program = QUILLET_SETPRIV_TOOL;
        const std::string attacker = QUILLET_SWAP_ATTACKER;
        const std::string target = folder.string();
        const std::string reuid = "--reuid=" + std::to_string(kOtherUser);
        const std::string regid = "--regid=" + std::to_string(kOtherGroup);
        std::vector<const char*> argv = {program.c_str(),  reuid.c_str(),    regid.c_str(),
                                         "--clear-groups", attacker.c_str(), target.c_str(),
                                         nullptr};
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(pipeFds[1], STDOUT_FILENO);
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
            ::execv(program.c_str(), const_cast<char* const*>(argv.data()));
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        m_output = ::fdopen(pipeFds[0], "r");
    }

    ~Attacker() {
        Stop();
        if (m_output != nullptr)
            std::fclose(m_output);
    }

    // Blocks until the attacker watches the folder; false when it could not.
    bool WaitUntilReady() { return ReadLine() == "ready"; }

    // Ends the attacker and returns what it reported after "ready".
    std::string Stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
            m_pid = -1;
            std::string line;
            while (!(line = ReadLine()).empty())
                m_report += line + "\n";
        }
        return m_report;
    }

private:
    std::string ReadLine() {
        std::string line;
        for (int c; m_output != nullptr && (c = std::fgetc(m_output)) != EOF && c != '\n';)
            line += static_cast<char>(c);
        return line;
    }

    pid_t m_pid = -1;
    FILE* m_output = nullptr;
    std::string m_report;
};

struct OpenFolder {
    const char* name;
    unsigned mode;
    gid_t group; // the folder's group; kOtherGroup lets the attacker in through the group bits
};

void PrintTo(const OpenFolder& folder, std::ostream* os) {
    *os << folder.name;
}

class GeneratorScriptSwapAttack : public GeneratorScriptFolderSafety,
                                  public ::testing::WithParamInterface<OpenFolder> {};

TEST_P(GeneratorScriptSwapAttack, FailsOnEveryTry) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two users";
    if (std::string(QUILLET_SETPRIV_TOOL).empty())
        GTEST_SKIP() << "needs setpriv (util-linux) to start the attacker as another user";
    // The attacker can reach the output folder and write into it.
    fs::permissions(m_root.path(), fs::perms(0755));
    fs::permissions(m_root.path() / "Morvel", fs::perms(0755));
    ASSERT_EQ(::chown(m_out.c_str(), 0, GetParam().group), 0);
    fs::permissions(m_out, fs::perms(GetParam().mode));

    for (int attempt = 1; attempt <= 5; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        Attacker attacker(m_out);
        ASSERT_TRUE(attacker.WaitUntilReady()) << "the attacker could not watch the folder";
        const ProgramResult result = RunGenerator(Valid());
        const std::string report = attacker.Stop();
        ExpectRefused(result, m_out);
        EXPECT_EQ(report, "") << "the attacker replaced the working folder";
        EXPECT_TRUE(FolderEntries(m_out).empty());
        for (const auto& name : FolderEntries(m_out))
            fs::remove_all(m_out / name);
    }
}

INSTANTIATE_TEST_SUITE_P(Folders, GeneratorScriptSwapAttack,
                         ::testing::Values(OpenFolder{"world_writable", 0777, 0},
                                           OpenFolder{"group_writable", 0770, kOtherGroup}),
                         [](const ::testing::TestParamInfo<OpenFolder>& info) {
                             return std::string(info.param.name);
                         });

// ---- The working folder itself ---------------------------------------------------------------

// mktemp as a careless or subverted system could give it: a working folder open to others, or a
// link to a folder elsewhere. The script checks what it got and uses neither.
class GeneratorScriptWorkingFolder
    : public GeneratorScriptFolderSafety,
      public ::testing::WithParamInterface<std::pair<const char*, std::string>> {};

TEST_P(GeneratorScriptWorkingFolder, IsUsedOnlyWhenPrivate) {
    const ToolWrappers wrappers(m_root.path() / "bin");
    const fs::path elsewhere = m_root.path() / "elsewhere";
    fs::create_directory(elsewhere);
    wrappers.Write("mktemp", "made=$(" + ShellQuote(QUILLET_MKTEMP_TOOL) + " \"$@\") || exit\n" +
                                 GetParam().second + "printf '%s\\n' \"$made\"\n");
    ProgramOptions options;
    options.environment = {wrappers.PathVariable(), {"QUILLET_TEST_ELSEWHERE", elsewhere.string()}};
    const ProgramResult result = RunGenerator(Valid(), options);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitStatus, ScriptStatus(-8)) << result.err;
    EXPECT_TRUE(FolderEntries(elsewhere).empty());
    for (const auto& name : FolderEntries(m_out)) {
        EXPECT_EQ(name.rfind(".quillet-", 0), 0u) << name;
        EXPECT_TRUE(fs::is_symlink(m_out / name) || FolderEntries(m_out / name).empty())
            << "something was written into " << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Made, GeneratorScriptWorkingFolder,
    ::testing::Values(std::pair<const char*, std::string>{"open_to_others",
                                                          "chmod 0777 \"$made\"\n"},
                      std::pair<const char*, std::string>{
                          "link_to_elsewhere",
                          "rmdir \"$made\" && ln -s \"$QUILLET_TEST_ELSEWHERE\" \"$made\"\n"}),
    [](const auto& info) { return std::string(info.param.first); });

} // namespace
