// Running the generator script from the build tree and reading what it made with the `openssl`
// command-line tool.
#pragma once

#include "program_runner.h"

#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// The exit status that the script gives for one of its negative codes (255 for -1, ...).
constexpr int ScriptStatus(int code) {
    return code < 0 ? 256 + code : code;
}

// The script's command line as switch/value pairs, in order, plus raw arguments at the end.
class ScriptArgs {
public:
    // A run that succeeds: RSA-1024 (fast), 365 days, CN "web", 10.0.0.1, serial 0123ABCD, into
    // `folder` with an unencrypted key.
    static ScriptArgs Valid(const std::filesystem::path& folder);

    // Replaces the value of `name`, or appends the switch when it is not there yet.
    ScriptArgs& Set(const std::string& name, const std::string& value);
    // Leaves the switch out.
    ScriptArgs& Remove(const std::string& name);
    // Appends arguments as they are (a stray word, an unknown switch, a switch without value).
    ScriptArgs& Append(const std::vector<std::string>& raw);

    std::vector<std::string> ToVector() const;

private:
    std::vector<std::pair<std::string, std::string>> m_switches;
    std::vector<std::string> m_raw;
};

std::filesystem::path ScriptPath();
std::filesystem::path OpensslTool();

ProgramResult RunScript(const ScriptArgs& args, const ProgramOptions& options = {});

// Runs the openssl tool; a failure of the tool fails the calling test and gives "".
std::string Openssl(const std::vector<std::string>& args, const ProgramOptions& options = {});

// Texts of a DER certificate as the openssl tool prints them.
// "subject=\n" then one "    SN=value\n" line per attribute, values unescaped.
std::string SubjectText(const std::filesystem::path& crt);
std::string IssuerText(const std::filesystem::path& crt);
// What `-serial` prints after "serial=", e.g. "0123ABCD".
std::string SerialText(const std::filesystem::path& crt);
// The value line of the subjectAltName extension, e.g. "IP Address:10.0.0.1, URI:urn:...".
std::string AltNamesText(const std::filesystem::path& crt);
// notBefore and notAfter as seconds since 1970 (UTC).
std::pair<std::time_t, std::time_t> Validity(const std::filesystem::path& crt);
// The modulus length of the certificate's public key and of the private key file.
int CertificateKeyBits(const std::filesystem::path& crt);
int PrivateKeyBits(const std::filesystem::path& key,
                   const std::vector<std::pair<std::string, std::string>>& environment = {},
                   const std::vector<std::string>& passArgs = {});

// The expected SubjectText for attributes given as (short name, value) pairs.
std::string ExpectedNameText(const std::string& label,
                             const std::vector<std::pair<std::string, std::string>>& attributes);

// The certificate as the application's own decoder reads it: name/value pairs in UTF-8.
std::vector<std::pair<std::string, std::string>>
DecodedProperties(const std::filesystem::path& crt);
// The values of the decoded entries named `name`, in order.
std::vector<std::string> DecodedValues(const std::filesystem::path& crt, const std::string& name);
// The decoder's name attributes ("Common Name", ...) as (name, value) pairs, in order.
std::vector<std::pair<std::string, std::string>>
DecodedNameAttributes(const std::filesystem::path& crt);
// A UTC time as the decoder shows it: shifted by the local time zone's offset now, formatted
// "YYYY-MM-DD hh:mm:ss".
std::string DecoderTimeText(std::time_t utc);

// The names of the entries of `folder` (not recursive), sorted.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);

// True when a file or folder named `name` exists anywhere under `folder`.
bool ExistsBelow(const std::filesystem::path& folder, const std::string& name);

// File permission bits (the lower 12 bits of the mode).
unsigned PermissionBits(const std::filesystem::path& path);

// A folder of small executables placed before the real ones on PATH, to make one step of the
// script fail or to watch what it runs.
class ToolWrappers {
public:
    explicit ToolWrappers(const std::filesystem::path& folder);

    // Writes an executable sh script `name` with `body` (after the "#!/bin/sh" line).
    void Write(const std::string& name, const std::string& body) const;

    // PATH with the wrappers first.
    std::pair<std::string, std::string> PathVariable() const;

private:
    std::filesystem::path m_folder;
};

// `text` quoted for the wrappers' sh scripts.
std::string ShellQuote(const std::string& text);
