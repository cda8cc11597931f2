// Failed runs of the generator script: its exit codes, and that a failure leaves the output folder
// as it was.
#include "script_fixture.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

std::string Repeat(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += piece;
    return text;
}

// A failed run: the expected status, nothing on standard output, a reason on standard error.
void ExpectFailed(const ProgramResult& result, int code) {
    EXPECT_TRUE(result.exited) << "ended by signal " << result.signal;
    EXPECT_EQ(result.exitStatus, ScriptStatus(code)) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err, "");
}

// ---- Exit codes of the checks --------------------------------------------------------------

struct Folders {
    std::filesystem::path root;
    std::filesystem::path out;
};

struct ExitCase {
    const char* name;
    std::function<void(ScriptArgs&, const Folders&)> change;
    int code;
};

void PrintTo(const ExitCase& c, std::ostream* os) {
    *os << c.name;
}

ExitCase Bad(const char* name, const std::string& option, const std::string& value, int code) {
    return {name, [=](ScriptArgs& args, const Folders&) { args.Set(option, value); }, code};
}

ExitCase Missing(const char* name, const std::string& option, int code) {
    return {name, [=](ScriptArgs& args, const Folders&) { args.Remove(option); }, code};
}

ExitCase Trailing(const char* name, const std::vector<std::string>& raw, int code) {
    return {name, [=](ScriptArgs& args, const Folders&) { args.Append(raw); }, code};
}

class GeneratorScriptExitCode : public ScriptFixture, public ::testing::TestWithParam<ExitCase> {};

TEST_P(GeneratorScriptExitCode, RejectsBeforeWritingAnything) {
    WriteFileBytes(m_work / "aaa", "");
    ScriptArgs args = Valid();
    GetParam().change(args, Folders{m_root.path(), m_out});
    ExpectFailed(RunGenerator(args), GetParam().code);
    EXPECT_TRUE(FolderEntries(m_out).empty());
    EXPECT_EQ(FolderEntries(m_work), std::vector<std::string>{"aaa"});
    EXPECT_FALSE(ExistsBelow(m_root.path(), "PWNED"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, GeneratorScriptExitCode,
    ::testing::Values(
        // -1: file name
        Missing("file_name_missing", "-f", -1), Bad("file_name_empty", "-f", "", -1),
        Bad("file_name_dot", "-f", ".", -1), Bad("file_name_dot_dot", "-f", "..", -1),
        Bad("file_name_hidden", "-f", ".web", -1), Bad("file_name_slash", "-f", "a/b", -1),
        Bad("file_name_path", "-f", "../web", -1),
        Bad("file_name_too_long", "-f", Repeat("n", 252), -1),
        Trailing("file_name_value_missing", {"-f"}, -1),
        // -2: days
        Missing("days_missing", "-d", -2), Bad("days_empty", "-d", "", -2),
        Bad("days_zero", "-d", "0", -2), Bad("days_zeros", "-d", "0000", -2),
        Bad("days_over", "-d", "7301", -2), Bad("days_huge", "-d", "99999999999999999999", -2),
        Bad("days_negative", "-d", "-5", -2), Bad("days_plus", "-d", "+5", -2),
        Bad("days_blank", "-d", " 5", -2), Bad("days_trailing", "-d", "5x", -2),
        Bad("days_hex", "-d", "0x10", -2), Bad("days_exponent", "-d", "1e3", -2),
        Bad("days_command", "-d", "$(touch PWNED)", -2), Trailing("days_value_missing", {"-d"}, -2),
        // -3: key size
        Missing("bits_missing", "-b", -3), Bad("bits_empty", "-b", "", -3),
        Bad("bits_512", "-b", "512", -3), Bad("bits_8192", "-b", "8192", -3),
        Bad("bits_zero_padded", "-b", "02048", -3), Bad("bits_blank", "-b", "2048 ", -3),
        Trailing("bits_value_missing", {"-b"}, -3),
        // -4: key algorithm
        Missing("type_missing", "-t", -4), Bad("type_empty", "-t", "", -4),
        Bad("type_lower", "-t", "rsa", -4), Bad("type_ec", "-t", "EC", -4),
        Trailing("type_value_missing", {"-t"}, -4),
        // -5: common name
        Missing("cn_missing", "-cn", -5), Bad("cn_empty", "-cn", "", -5),
        Bad("cn_65_units", "-cn", Repeat("x", 65), -5),
        Bad("cn_33_surrogate_pairs", "-cn", Repeat("😀", 33), -5),
        Bad("cn_65_two_byte_letters", "-cn", Repeat("ü", 65), -5),
        Bad("cn_not_utf8", "-cn", "caf\xe9", -5), Bad("cn_surrogate", "-cn", "\xed\xa0\x80", -5),
        Bad("cn_overlong", "-cn", "\xc0\xaf", -5),
        Bad("cn_beyond_unicode", "-cn", "\xf4\x90\x80\x80", -5),
        Trailing("cn_value_missing", {"-cn"}, -5),
        // -6: IP address
        Missing("ip_missing", "-ip", -6), Bad("ip_empty", "-ip", "", -6),
        Bad("ip_zero", "-ip", "0.0.0.0", -6), Bad("ip_zero_padded", "-ip", "000.000.000.000", -6),
        Bad("ip_part_over", "-ip", "256.1.1.1", -6), Bad("ip_three_parts", "-ip", "1.2.3", -6),
        Bad("ip_five_parts", "-ip", "1.2.3.4.5", -6), Bad("ip_empty_part", "-ip", "1..2.3", -6),
        Bad("ip_trailing_dot", "-ip", "1.2.3.4.", -6),
        Bad("ip_four_digits", "-ip", "0001.2.3.4", -6), Bad("ip_blank", "-ip", "1.2.3.4 ", -6),
        Bad("ip_letters", "-ip", "a.b.c.d", -6), Bad("ip_negative", "-ip", "-1.2.3.4", -6),
        Bad("ip_v6", "-ip", "::1", -6), Bad("ip_injection", "-ip", "1.2.3.4,URI:x", -6),
        Trailing("ip_value_missing", {"-ip"}, -6),
        // -7: passphrase
        Missing("passphrase_missing", "-p", -7),
        Bad("passphrase_too_long", "-p", Repeat("p", 1025), -7),
        Trailing("passphrase_value_missing", {"-p"}, -7),
        // -8: output folder
        Missing("folder_missing", "-D", -8), Bad("folder_empty", "-D", "", -8),
        ExitCase{"folder_absent",
                 [](ScriptArgs& args, const Folders& f) {
                     args.Set("-D", (f.root / "absent").string());
                 },
                 -8},
        ExitCase{"folder_is_a_file",
                 [](ScriptArgs& args, const Folders& f) {
                     WriteFileBytes(f.root / "file", "");
                     args.Set("-D", (f.root / "file").string());
                 },
                 -8},
        // Nobody, not even root, can make a folder there.
        Bad("folder_takes_no_entries", "-D", "/proc", -8),
        Trailing("folder_value_missing", {"-D"}, -8),
        // -9: optional values
        Bad("country_lower", "-c", "jp", -9), Bad("country_one", "-c", "J", -9),
        Bad("country_three", "-c", "JPN", -9), Bad("country_digit", "-c", "J1", -9),
        Bad("country_non_ascii", "-c", "ÄÖ", -9), Bad("state_129", "-st", Repeat("s", 129), -9),
        Bad("locality_129", "-l", Repeat("日", 129), -9),
        Bad("organization_65", "-o", Repeat("o", 65), -9),
        Bad("unit_65", "-ou", Repeat("😀", 32) + "x", -9),
        Bad("email_129", "-m", Repeat("m", 119) + "@x.example", -9),
        Bad("email_non_ascii", "-m", "ü@x.example", -9), Bad("state_not_utf8", "-st", "\xff", -9),
        Bad("unit_not_utf8", "-ou", "a\x80", -9), Trailing("country_value_missing", {"-c"}, -9),
        Trailing("state_value_missing", {"-st"}, -9),
        Trailing("locality_value_missing", {"-l"}, -9),
        Trailing("organization_value_missing", {"-o"}, -9),
        Trailing("unit_value_missing", {"-ou"}, -9), Trailing("email_value_missing", {"-m"}, -9),
        // -10: unknown switches and stray arguments
        Trailing("unknown_switch", {"-x", "1"}, -10),
        Trailing("switch_other_case", {"-F", "web"}, -10),
        Trailing("long_switch", {"--f", "web"}, -10),
        Trailing("switch_with_equals", {"-cn=web"}, -10), Trailing("stray_word", {"web"}, -10),
        Trailing("stray_empty", {""}, -10), Trailing("stray_command", {"$(touch PWNED)"}, -10),
        ExitCase{"unknown_switch_first",
                 [](ScriptArgs& args, const Folders& f) {
                     args = ScriptArgs();
                     args.Append({"-y", "1"});
                     const auto valid = ScriptArgs::Valid(f.out).ToVector();
                     args.Append(valid);
                 },
                 -10},
        // -15: serial number
        Missing("serial_missing", "-sn", -15), Bad("serial_empty", "-sn", "", -15),
        Bad("serial_no_urn", "-sn", "0123ABCD", -15),
        Bad("serial_upper_urn", "-sn", "URN:0123ABCD:h", -15),
        Bad("serial_seven", "-sn", "urn:0123ABC:h", -15),
        Bad("serial_nine", "-sn", "urn:0123ABCDE:h", -15),
        Bad("serial_not_hex", "-sn", "urn:0123ABCG:h", -15),
        Bad("serial_prefix_five", "-sn", "urn:0x12345:h", -15),
        Bad("serial_prefix_seven", "-sn", "urn:0x1234567:h", -15),
        Bad("serial_sign", "-sn", "urn:-123ABCD:h", -15),
        Bad("serial_no_host", "-sn", "urn:0123ABCD:", -15),
        Bad("serial_no_host_part", "-sn", "urn:0123ABCD", -15),
        Bad("serial_zero", "-sn", "urn:00000000:h", -15),
        Bad("serial_prefixed_zero", "-sn", "urn:0x000000:h", -15),
        Bad("serial_host_underscore", "-sn", "urn:0123ABCD:bad_host", -15),
        Bad("serial_host_colon", "-sn", "urn:0123ABCD:h:x", -15),
        Bad("serial_host_comma", "-sn", "urn:0123ABCD:h,IP:1.2.3.4", -15),
        Bad("serial_host_dollar", "-sn", "urn:0123ABCD:h$(touch PWNED)", -15),
        Trailing("serial_value_missing", {"-sn"}, -15)),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return info.param.name; });

class GeneratorScriptFailureTest : public ScriptFixture, public ::testing::Test {};

TEST_F(GeneratorScriptFailureTest, RefusesFolderItCannotWriteTo) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write into any folder";
    std::filesystem::permissions(m_out, std::filesystem::perms(0500));
    ExpectFailed(RunGenerator(Valid()), -8);
    std::filesystem::permissions(m_out, std::filesystem::perms(0700));
    EXPECT_TRUE(FolderEntries(m_out).empty());
}

TEST_F(GeneratorScriptFailureTest, RefusesNameOfExistingFolder) {
    WriteFileBytes(Output("web.key"), "old key\n");
    std::filesystem::create_directory(Output("web.crt"));
    ExpectFailed(RunGenerator(Valid()), -1);
    EXPECT_EQ(ReadFileBytes(Output("web.key")), "old key\n");
    EXPECT_EQ(FolderEntries(m_out), (std::vector<std::string>{"web.crt", "web.key"}));
    EXPECT_TRUE(FolderEntries(Output("web.crt")).empty());
}

// ---- Failing steps ---------------------------------------------------------------------------

class FailingStepFixture : public ScriptFixture {
protected:
    FailingStepFixture() : m_wrappers(m_root.path() / "bin") {}

    void WriteOldFiles() {
        WriteFileBytes(Output("web.key"), "old key\n");
        WriteFileBytes(Output("web.csr"), "old request\n");
        WriteFileBytes(Output("web.crt"), "old certificate\n");
        std::filesystem::permissions(Output("web.key"), std::filesystem::perms(0644));
    }

    // After a failure: the old files as they were, or none; no private folder left behind.
    void ExpectOutputUntouched(bool hadOldFiles) {
        if (!hadOldFiles) {
            EXPECT_TRUE(FolderEntries(m_out).empty());
            return;
        }
        EXPECT_EQ(FolderEntries(m_out), Generated("web"));
        EXPECT_EQ(ReadFileBytes(Output("web.key")), "old key\n");
        EXPECT_EQ(ReadFileBytes(Output("web.csr")), "old request\n");
        EXPECT_EQ(ReadFileBytes(Output("web.crt")), "old certificate\n");
        EXPECT_EQ(PermissionBits(Output("web.key")), 0644u);
    }

    ProgramOptions WithWrappers() const {
        ProgramOptions options;
        options.environment = {m_wrappers.PathVariable()};
        return options;
    }

    ToolWrappers m_wrappers;
};

class GeneratorScriptFailingStep
    : public FailingStepFixture,
      public ::testing::TestWithParam<std::tuple<std::pair<std::string, int>, bool>> {};

TEST_P(GeneratorScriptFailingStep, LeavesFolderAsItWas) {
    const auto& [step, hadOldFiles] = GetParam();
    const auto& [command, code] = step;
    if (hadOldFiles)
        WriteOldFiles();
    // openssl itself, except that the chosen sub-command fails.
    m_wrappers.Write("openssl", "if [ \"$1\" = " + command +
                                    " ]; then echo 'injected failure' >&2; exit 1; fi\nexec " +
                                    ShellQuote(OpensslTool().string()) + " \"$@\"\n");
    const ProgramResult result = RunGenerator(Valid(), WithWrappers());
    ExpectFailed(result, code);
    // openssl's messages are shown when its step fails.
    EXPECT_NE(result.err.find("injected failure"), std::string::npos) << result.err;
    ExpectOutputUntouched(hadOldFiles);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, GeneratorScriptFailingStep,
    ::testing::Combine(::testing::Values(std::pair<std::string, int>{"genpkey", -11},
                                         std::pair<std::string, int>{"req", -13},
                                         std::pair<std::string, int>{"x509", -14}),
                       ::testing::Bool()),
    [](const auto& info) {
        return std::get<0>(info.param).first +
               (std::get<1>(info.param) ? "_with_old_files" : "_into_empty_folder");
    });

class GeneratorScriptFailingMove : public FailingStepFixture,
                                   public ::testing::TestWithParam<std::tuple<std::string, bool>> {
};

TEST_P(GeneratorScriptFailingMove, PutsBackWhatWasReplaced) {
    const auto& [extension, hadOldFiles] = GetParam();
    if (hadOldFiles)
        WriteOldFiles();
    // mv itself, except that moving onto a file of the chosen extension fails.
    m_wrappers.Write("mv", "for last do :; done\ncase $last in *." + extension +
                               ") echo 'injected failure' >&2; exit 1 ;; esac\nexec " +
                               ShellQuote(QUILLET_MV_TOOL) + " \"$@\"\n");
    ExpectFailed(RunGenerator(Valid(), WithWrappers()), -8);
    ExpectOutputUntouched(hadOldFiles);
}

INSTANTIATE_TEST_SUITE_P(Moves, GeneratorScriptFailingMove,
                         ::testing::Combine(::testing::Values("key", "csr", "crt"),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             return std::get<0>(info.param) + (std::get<1>(info.param)
                                                                   ? "_with_old_files"
                                                                   : "_into_empty_folder");
                         });

// ---- Signals -------------------------------------------------------------------------------

class GeneratorScriptSignal : public FailingStepFixture, public ::testing::TestWithParam<int> {};

TEST_P(GeneratorScriptSignal, EndsStepAndRemovesPrivateFolder) {
    WriteOldFiles();
    const auto mark = m_root.path() / "key-step-started";
    // The key step announces its process id and then never finishes by itself.
    m_wrappers.Write("openssl", "if [ \"$1\" = genpkey ]; then\n"
                                "  echo $$ >\"$QUILLET_TEST_MARK.part\"\n"
                                "  " +
                                    ShellQuote(QUILLET_MV_TOOL) +
                                    " \"$QUILLET_TEST_MARK.part\" \"$QUILLET_TEST_MARK\"\n"
                                    "  exec " +
                                    ShellQuote(QUILLET_SLEEP_TOOL) + " 600\nfi\nexec " +
                                    ShellQuote(OpensslTool().string()) + " \"$@\"\n");
    ProgramOptions options = WithWrappers();
    options.environment.emplace_back("QUILLET_TEST_MARK", mark.string());
    options.workingFolder = m_work;
    RunningProgram script(ScriptPath(), Valid().ToVector(), options);

    // Wait for the key step to be under way (bounded, in case the script never gets there).
    for (int i = 0; i < 6000 && !std::filesystem::exists(mark); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(std::filesystem::exists(mark)) << "the key step did not start";
    const pid_t step = static_cast<pid_t>(std::stol(ReadFileBytes(mark)));

    ASSERT_EQ(::kill(script.pid(), GetParam()), 0);
    const ProgramResult result = script.Wait();
    EXPECT_FALSE(result.exited) << "exit status " << result.exitStatus << "\n" << result.err;
    EXPECT_EQ(result.signal, GetParam());
    EXPECT_EQ(result.out, "");
    ExpectOutputUntouched(true);
    // The step was ended too, not left running.
    EXPECT_EQ(::kill(step, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

INSTANTIATE_TEST_SUITE_P(Signals, GeneratorScriptSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM  ? "TERM"
                                                : info.param == SIGINT ? "INT"
                                                                       : "HUP");
                         });

} // namespace
