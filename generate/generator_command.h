// The generator script's command line, built from one CertGenParams, and its exit codes.
#pragma once

#include "generate/cert_gen_params.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The script, relative to the current directory.
inline constexpr std::string_view kGeneratorScriptPath = "./tool/Quillet.sh";

// The maker's host name that ends the -sn value "urn:<serial number>:<host name>".
inline constexpr std::u16string_view kGeneratorHostName = u"quillet.morvel.example";

// How a switch's value is written into the command-line text: as it stands, or in double quotes.
// Values are never escaped.
enum class SwitchValueForm { Bare, Quoted };

// The form of the value that follows switch `name` ("-f", "-d", ... "-p"); none for a name that
// is not one of the script's switches. Every switch is followed by exactly one value.
std::optional<SwitchValueForm> GeneratorSwitchValueForm(std::u16string_view name);

// The command line as text: the script path, then " <switch> <value>" for each switch present,
// e.g. `./tool/Quillet.sh -f "web" -d 365 -b 2048 -t RSA -cn "web" -ip 10.0.0.1
// -sn "urn:0123ABCD:quillet.morvel.example" -D "/x" -p ""`. It is the text of
// BuildGeneratorArguments' bytes (read as UTF-8, bad bytes as U+FFFD), so it serves the trace and
// tests. None when `keyAlgorithm` is not 2 (RSA).
std::optional<std::u16string> BuildGeneratorCommandLine(const CertGenParams& params);

// The arguments that start the script, without the program itself (kGeneratorScriptPath): for
// each switch present, the switch and then its value as one element, unquoted and unescaped.
// Text values are UTF-8, -D is the output directory's own bytes, -p an empty element. None when
// `keyAlgorithm` is not 2 (RSA).
std::optional<std::vector<std::string>> BuildGeneratorArguments(const CertGenParams& params);

// "" for 0, the message of a known failure code (-1 to -15), else "Unknown Error Code = <code>".
std::u16string GeneratorExitMessage(int exitCode);

// The exit code for a POSIX exit status 0..255, read as a signed 8-bit value (255 -> -1,
// 241 -> -15, 128 -> -128). A value outside 0..255 is no 8-bit status and is returned unchanged.
int ExitCodeFromStatus(int status8);

// The exit code for a run that a signal ended: the status a shell reports for it, 128 + the
// signal, read as above. It is never 0 and never one of the script's own codes for the signals
// a program can receive (1..64), so the operator sees "Unknown Error Code = <code>".
int ExitCodeFromSignal(int signal);
