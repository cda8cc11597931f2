// Replacing an existing key, request and certificate: whatever ends a run (a signal at any step,
// SIGKILL and a later run, a failing move on a folder without hard links, a full disk, a
// read-only folder, an output name taken meanwhile), the folder holds either the complete old
// set or a complete new set whose three files belong together, and no working folder (with a
// private key in it) stays behind.
#include "script_fixture.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The three files of one name.
struct FileSet {
    std::string key;
    std::string csr;
    std::string crt;
    bool operator==(const FileSet&) const = default;
};

FileSet ReadSet(const fs::path& folder, const std::string& base) {
    return {ReadFileBytes(folder / (base + ".key")), ReadFileBytes(folder / (base + ".csr")),
            ReadFileBytes(folder / (base + ".crt"))};
}

void WriteSet(const fs::path& folder, const std::string& base, const FileSet& set) {
    WriteFileBytes(folder / (base + ".key"), set.key);
    fs::permissions(folder / (base + ".key"), fs::perms(0600));
    WriteFileBytes(folder / (base + ".csr"), set.csr);
    WriteFileBytes(folder / (base + ".crt"), set.crt);
}

void Empty(const fs::path& folder) {
    for (const auto& name : FolderEntries(folder))
        fs::remove_all(folder / name);
}

// Key, request and certificate are there and hold the same public key.
void ExpectMatchingSet(const fs::path& folder, const std::string& base) {
    const fs::path key = folder / (base + ".key");
    const fs::path csr = folder / (base + ".csr");
    const fs::path crt = folder / (base + ".crt");
    ASSERT_TRUE(fs::is_regular_file(key) && fs::is_regular_file(csr) && fs::is_regular_file(crt))
        << "incomplete set " << base;
    const std::string publicKey = Openssl({"pkey", "-in", key.string(), "-pubout"});
    EXPECT_FALSE(publicKey.empty());
    EXPECT_EQ(Openssl({"req", "-in", csr.string(), "-noout", "-pubkey"}), publicKey)
        << "the request does not belong to the key";
    EXPECT_EQ(Openssl({"x509", "-inform", "DER", "-in", crt.string(), "-noout", "-pubkey"}),
              publicKey)
        << "the certificate does not belong to the key";
    EXPECT_EQ(PermissionBits(key), 0600u);
}

// Either the old set exactly as it was, or a complete new one.
void ExpectOldOrNewSet(const fs::path& folder, const std::string& base, const FileSet& old) {
    const FileSet now = ReadSet(folder, base);
    if (now == old) {
        EXPECT_EQ(PermissionBits(folder / (base + ".key")), 0600u);
        return;
    }
    EXPECT_TRUE(now.key != old.key) << "the old key with a new request or certificate";
    EXPECT_TRUE(now.csr != old.csr) << "the old request with a new key or certificate";
    EXPECT_TRUE(now.crt != old.crt) << "the old certificate with a new key or request";
    ExpectMatchingSet(folder, base);
}

int ExitCode(const ProgramResult& result) {
    return result.exitStatus == 0 ? 0 : result.exitStatus - 256;
}

const char* SignalName(int signal) {
    switch (signal) {
    case SIGTERM:
        return "TERM";
    case SIGINT:
        return "INT";
    case SIGHUP:
        return "HUP";
    case SIGKILL:
        return "KILL";
    }
    return "?";
}

// Wrappers around the tools the script runs for its steps. Each call is counted per tool; the
// call chosen by QUILLET_TEST_TOOL and QUILLET_TEST_AT either fails without doing anything
// (QUILLET_TEST_ACTION "fail") or sends the script the signal named by QUILLET_TEST_ACTION and
// then does its work, as a signal arriving during that step would. With QUILLET_TEST_NO_LINKS
// set, ln fails as on a file system without hard links.
class ReplacementFixture : public ScriptFixture {
protected:
    ReplacementFixture() : m_wrappers(m_root.path() / "bin"), m_steps(m_root.path() / "steps") {
        fs::create_directory(m_steps);
        WriteStepWrapper("openssl", OpensslTool().string(), "");
        WriteStepWrapper("mv", QUILLET_MV_TOOL, "");
        WriteStepWrapper("rm", QUILLET_RM_TOOL, "");
        WriteStepWrapper("ln", QUILLET_LN_TOOL,
                         "if [ -n \"$QUILLET_TEST_NO_LINKS\" ]; then\n"
                         "  echo 'ln: hard links are not supported here' >&2; exit 1\nfi\n");
    }

    // A set made by the script itself, for the common name "old".
    FileSet MakeOldSet() {
        const fs::path folder = m_root.path() / "old";
        fs::create_directory(folder);
        EXPECT_SCRIPT_SUCCEEDED(RunGenerator(ScriptArgs::Valid(folder).Set("-cn", "old")));
        return ReadSet(folder, "web");
    }

    // Options that run the script with the wrappers; `action` at call `at` of `tool`.
    ProgramOptions Steps(const std::string& tool = "", int at = 0, const std::string& action = "",
                         bool noLinks = false) {
        for (const auto& name : FolderEntries(m_steps))
            fs::remove(m_steps / name);
        ProgramOptions options;
        options.environment = {
            m_wrappers.PathVariable(),       {"QUILLET_TEST_STEPS", m_steps.string()},
            {"QUILLET_TEST_TOOL", tool},     {"QUILLET_TEST_AT", std::to_string(at)},
            {"QUILLET_TEST_ACTION", action}, {"QUILLET_TEST_NO_LINKS", noLinks ? "1" : ""}};
        return options;
    }

    // How often the last run called `tool`.
    int Calls(const std::string& tool) const {
        const std::string count = ReadFileBytes(m_steps / tool);
        return count.empty() ? 0 : std::stoi(count);
    }

    ToolWrappers m_wrappers;
    fs::path m_steps;

private:
    void WriteStepWrapper(const std::string& tool, const std::string& real,
                          const std::string& before) {
        m_wrappers.Write(tool, before + "counter=\"$QUILLET_TEST_STEPS/" + tool +
                                   "\"\n"
                                   "n=$(( $(cat \"$counter\" 2>/dev/null || echo 0) + 1 ))\n"
                                   "echo \"$n\" >\"$counter\"\n"
                                   "if [ \"$QUILLET_TEST_TOOL\" = " +
                                   tool +
                                   " ] && [ \"$QUILLET_TEST_AT\" = \"$n\" ]; then\n"
                                   "  case $QUILLET_TEST_ACTION in\n"
                                   "  fail) echo 'injected failure' >&2; exit 1 ;;\n"
                                   "  *) kill -s \"$QUILLET_TEST_ACTION\" \"$PPID\" ;;\n"
                                   "  esac\n"
                                   "fi\n"
                                   "exec " +
                                   ShellQuote(real) + " \"$@\"\n");
    }
};

// ---- Signals ---------------------------------------------------------------------------------

class GeneratorScriptInterruptedReplacement
    : public ReplacementFixture,
      public ::testing::TestWithParam<std::tuple<int, std::string>> {};

TEST_P(GeneratorScriptInterruptedReplacement, LeavesOneCompleteSet) {
    const auto& [signal, tool] = GetParam();
    const FileSet old = MakeOldSet();
    WriteSet(m_out, "web", old);
    EXPECT_SCRIPT_SUCCEEDED(RunGenerator(Valid(), Steps()));
    const int calls = Calls(tool);
    ASSERT_GT(calls, 0) << "the script never runs " << tool;

    for (int at = 1; at <= calls; ++at) {
        SCOPED_TRACE(std::string(SignalName(signal)) + " at call " + std::to_string(at) + " of " +
                     tool);
        Empty(m_out);
        WriteSet(m_out, "web", old);
        const ProgramResult result = RunGenerator(Valid(), Steps(tool, at, SignalName(signal)));
        EXPECT_FALSE(result.exited) << "exit status " << result.exitStatus << "\n" << result.err;
        EXPECT_EQ(result.signal, signal);
        EXPECT_EQ(FolderEntries(m_out), Generated("web"));
        ExpectOldOrNewSet(m_out, "web", old);
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, GeneratorScriptInterruptedReplacement,
                         ::testing::Combine(::testing::Values(SIGTERM, SIGINT, SIGHUP),
                                            ::testing::Values("openssl", "mv", "rm")),
                         [](const auto& info) {
                             return std::string(SignalName(std::get<0>(info.param))) + "_" +
                                    std::get<1>(info.param);
                         });

// ---- SIGKILL, then a later run -----------------------------------------------------------------

class GeneratorScriptKilledReplacement : public ReplacementFixture,
                                         public ::testing::TestWithParam<std::string> {};

TEST_P(GeneratorScriptKilledReplacement, LaterRunLeavesNoKeyBehind) {
    const std::string& tool = GetParam();
    const FileSet old = MakeOldSet();
    WriteSet(m_out, "web", old);
    EXPECT_SCRIPT_SUCCEEDED(RunGenerator(Valid(), Steps()));
    const int calls = Calls(tool);
    ASSERT_GT(calls, 0) << "the script never runs " << tool;

    for (int at = 1; at <= calls; ++at) {
        SCOPED_TRACE("KILL at call " + std::to_string(at) + " of " + tool);
        Empty(m_out);
        WriteSet(m_out, "web", old);
        // The step goes on after the script died, as an orphan; the later run waits for it.
        const ProgramResult killed = RunGenerator(Valid(), Steps(tool, at, "KILL"));
        EXPECT_FALSE(killed.exited) << "exit status " << killed.exitStatus << "\n" << killed.err;
        EXPECT_EQ(killed.signal, SIGKILL);

        EXPECT_SCRIPT_SUCCEEDED(RunGenerator(Valid().Set("-f", "other").Set("-cn", "other")));
        EXPECT_EQ(FolderEntries(m_out),
                  (std::vector<std::string>{"other.crt", "other.csr", "other.key", "web.crt",
                                            "web.csr", "web.key"}));
        ExpectOldOrNewSet(m_out, "web", old);
        ExpectMatchingSet(m_out, "other");
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, GeneratorScriptKilledReplacement,
                         ::testing::Values("openssl", "mv", "rm"),
                         [](const auto& info) { return info.param; });

// ---- Failing moves on a file system without hard links ---------------------------------------

class GeneratorScriptReplacement : public ReplacementFixture, public ::testing::Test {};

TEST_F(GeneratorScriptReplacement, FailingMoveWithoutHardLinksKeepsOldSet) {
    const FileSet old = MakeOldSet();
    WriteSet(m_out, "web", old);
    EXPECT_SCRIPT_SUCCEEDED(RunGenerator(Valid(), Steps("", 0, "", true)));
    ExpectMatchingSet(m_out, "web");
    const int calls = Calls("mv");
    ASSERT_GT(calls, 0);

    for (int at = 1; at <= calls; ++at) {
        SCOPED_TRACE("failure of call " + std::to_string(at) + " of mv");
        Empty(m_out);
        WriteSet(m_out, "web", old);
        const ProgramResult result = RunGenerator(Valid(), Steps("mv", at, "fail", true));
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(result.exitStatus, ScriptStatus(-8)) << result.err;
        EXPECT_EQ(FolderEntries(m_out), Generated("web"));
        EXPECT_TRUE(ReadSet(m_out, "web") == old) << "the old set was not kept";
    }
}

// ---- An output name taken meanwhile ----------------------------------------------------------

// Just before the certificate is made, a folder (or a link to one) takes the name web.crt.
class GeneratorScriptNameTaken : public ScriptFixture,
                                 public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(GeneratorScriptNameTaken, MoveNeverLandsInside) {
    const bool link = GetParam().second;
    const fs::path elsewhere = m_root.path() / "elsewhere";
    fs::create_directory(elsewhere);
    const ToolWrappers wrappers(m_root.path() / "bin");
    wrappers.Write(
        "openssl",
        "if [ \"$1\" = x509 ] && [ \"$2\" = -req ] && [ ! -e \"$QUILLET_TEST_TAKE\" ]; "
        "then\n" +
            std::string(link ? "  ln -s \"$QUILLET_TEST_ELSEWHERE\" \"$QUILLET_TEST_TAKE\"\n"
                             : "  mkdir \"$QUILLET_TEST_TAKE\"\n") +
            "fi\nexec " + ShellQuote(OpensslTool().string()) + " \"$@\"\n");
    ProgramOptions options;
    options.environment = {wrappers.PathVariable(),
                           {"QUILLET_TEST_TAKE", Output("web.crt").string()},
                           {"QUILLET_TEST_ELSEWHERE", elsewhere.string()}};
    const ProgramResult result = RunGenerator(Valid(), options);
    EXPECT_TRUE(result.exited);
    EXPECT_TRUE(FolderEntries(elsewhere).empty()) << "the certificate went through the link";
    if (link) {
        // The link itself is replaced; nothing is written where it pointed.
        EXPECT_SCRIPT_SUCCEEDED(result);
        EXPECT_FALSE(fs::is_symlink(Output("web.crt")));
        ExpectMatchingSet(m_out, "web");
    } else {
        EXPECT_EQ(result.exitStatus, ScriptStatus(-1)) << result.err;
        EXPECT_EQ(FolderEntries(m_out), std::vector<std::string>{"web.crt"});
        EXPECT_TRUE(fs::is_directory(Output("web.crt")));
        EXPECT_TRUE(FolderEntries(Output("web.crt")).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Takers, GeneratorScriptNameTaken,
                         ::testing::Values(std::pair<const char*, bool>{"folder", false},
                                           std::pair<const char*, bool>{"link_to_folder", true}),
                         [](const auto& info) { return std::string(info.param.first); });

// ---- A step that ends well but leaves a short file (as openssl does on a full disk) -----------

struct ShortOutput {
    const char* name;
    const char* step; // the command's first two arguments
    int bytes;        // what is left of its output
    int code;
};

void PrintTo(const ShortOutput& c, std::ostream* os) {
    *os << c.name;
}

class GeneratorScriptShortOutput : public ScriptFixture,
                                   public ::testing::TestWithParam<ShortOutput> {};

TEST_P(GeneratorScriptShortOutput, IsReportedAsThatStep) {
    WriteFileBytes(Output("web.key"), "old key\n");
    WriteFileBytes(Output("web.csr"), "old request\n");
    WriteFileBytes(Output("web.crt"), "old certificate\n");
    const ToolWrappers wrappers(m_root.path() / "bin");
    const std::string real = ShellQuote(OpensslTool().string());
    const std::string cut = ShellQuote((m_root.path() / "cut").string());
    const std::string bytes = std::to_string(GetParam().bytes);
    // The output goes to -out FILE or to standard output; either is cut short.
    wrappers.Write("openssl", "if [ \"$1 $2\" = " + ShellQuote(GetParam().step) +
                                  " ]; then\n"
                                  "  out= previous=\n"
                                  "  for arg do [ \"$previous\" = -out ] && out=$arg; "
                                  "previous=$arg; done\n"
                                  "  if [ -n \"$out\" ]; then\n"
                                  "    " +
                                  real + " \"$@\" || exit\n    head -c " + bytes + " \"$out\" >" +
                                  cut + "; cat " + cut +
                                  " >\"$out\"\n"
                                  "  else\n"
                                  "    " +
                                  real + " \"$@\" >" + cut + " || exit\n    head -c " + bytes +
                                  " " + cut +
                                  "\n"
                                  "  fi\n"
                                  "  exit 0\n"
                                  "fi\n"
                                  "exec " +
                                  real + " \"$@\"\n");
    ProgramOptions options;
    options.environment = {wrappers.PathVariable()};
    const ProgramResult result = RunGenerator(Valid(), options);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitStatus, ScriptStatus(GetParam().code)) << result.err;
    EXPECT_EQ(FolderEntries(m_out), Generated("web"));
    EXPECT_EQ(ReadFileBytes(Output("web.key")), "old key\n");
    EXPECT_EQ(ReadFileBytes(Output("web.csr")), "old request\n");
    EXPECT_EQ(ReadFileBytes(Output("web.crt")), "old certificate\n");
}

INSTANTIATE_TEST_SUITE_P(Steps, GeneratorScriptShortOutput,
                         ::testing::Values(ShortOutput{"empty_key", "genpkey -algorithm", 0, -11},
                                           ShortOutput{"cut_key", "genpkey -algorithm", 200, -11},
                                           ShortOutput{"empty_request", "req -new", 0, -13},
                                           ShortOutput{"cut_request", "req -new", 200, -13},
                                           ShortOutput{"empty_certificate", "x509 -req", 0, -14},
                                           ShortOutput{"cut_certificate", "x509 -req", 200, -14}),
                         [](const ::testing::TestParamInfo<ShortOutput>& info) {
                             return std::string(info.param.name);
                         });

// ---- A small file system: full, read-only ----------------------------------------------------

// A tmpfs of its own for the output folder, mounted in a mount namespace of the test's own, so
// that it vanishes with the test process whatever happens.
class GeneratorScriptSmallFolder : public ReplacementFixture, public ::testing::Test {
protected:
    void SetUp() override {
        m_small = m_root.path() / "small";
        fs::create_directory(m_small);
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("quillet-test", m_small.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                    "size=1m,mode=0700") != 0) {
            GTEST_SKIP() << "mounting a small tmpfs is not permitted here (" << std::strerror(errno)
                         << "); the full and read-only folder cases "
                         << "need root with CAP_SYS_ADMIN";
        }
        m_mounted = true;
    }

    void TearDown() override {
        if (m_mounted)
            ::umount2(m_small.c_str(), MNT_DETACH);
    }

    // Fills the file system so that exactly `blocks` blocks stay free.
    void LeaveFree(unsigned long blocks) {
        struct statvfs info = {};
        ASSERT_EQ(::statvfs(m_small.c_str(), &info), 0);
        ASSERT_GE(info.f_bavail, blocks);
        WriteFileBytes(m_small / "filler",
                       std::string((info.f_bavail - blocks) * info.f_frsize, 'x'));
        ASSERT_EQ(::statvfs(m_small.c_str(), &info), 0);
        ASSERT_EQ(info.f_bavail, blocks);
    }

    fs::path m_small;
    bool m_mounted = false;
};

TEST_F(GeneratorScriptSmallFolder, FullDiskAtEachStepIsReportedAndKeepsOldSet) {
    const FileSet old = MakeOldSet();
    std::vector<int> failures;
    bool succeeded = false;
    // Each step writes one small file; one more free block lets one more step through.
    for (unsigned long blocks = 0; blocks <= 12 && !succeeded; ++blocks) {
        SCOPED_TRACE(std::to_string(blocks) + " blocks free");
        Empty(m_small);
        WriteSet(m_small, "web", old);
        LeaveFree(blocks);
        const ProgramResult result = RunGenerator(ScriptArgs::Valid(m_small));
        fs::remove(m_small / "filler");
        ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
        EXPECT_EQ(FolderEntries(m_small), Generated("web"));
        if (result.exitStatus == 0) {
            succeeded = true;
            ExpectOldOrNewSet(m_small, "web", old);
            EXPECT_FALSE(ReadSet(m_small, "web") == old);
        } else {
            failures.push_back(ExitCode(result));
            EXPECT_TRUE(ReadSet(m_small, "web") == old) << "the old set was not kept";
        }
    }
    EXPECT_TRUE(succeeded) << "no run succeeded";
    // Each step that ran out of space is the one reported, in the order of the steps.
    const auto first = [&](int code) {
        return std::find(failures.begin(), failures.end(), code) - failures.begin();
    };
    std::string seen;
    for (int code : failures)
        seen += " " + std::to_string(code);
    const auto count = static_cast<std::ptrdiff_t>(failures.size());
    EXPECT_LT(first(-11), count) << "no key step failure among:" << seen;
    EXPECT_LT(first(-13), count) << "no request step failure among:" << seen;
    EXPECT_LT(first(-14), count) << "no certificate step failure among:" << seen;
    EXPECT_LT(first(-11), first(-13)) << seen;
    EXPECT_LT(first(-13), first(-14)) << seen;
}

TEST_F(GeneratorScriptSmallFolder, ReadOnlyFolderKeepsOldSet) {
    const FileSet old = MakeOldSet();
    WriteSet(m_small, "web", old);
    ASSERT_EQ(::mount(nullptr, m_small.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0)
        << std::strerror(errno);
    const ProgramResult result = RunGenerator(ScriptArgs::Valid(m_small));
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitStatus, ScriptStatus(-8)) << result.err;
    EXPECT_EQ(FolderEntries(m_small), Generated("web"));
    EXPECT_TRUE(ReadSet(m_small, "web") == old);
}

} // namespace
