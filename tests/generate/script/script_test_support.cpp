#include "script_test_support.h"

#include "inspect/certificate_decoder.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <stdexcept>

ScriptArgs ScriptArgs::Valid(const std::filesystem::path& folder) {
    ScriptArgs args;
    args.m_switches = {
        {"-f", "web"},
        {"-d", "365"},
        {"-b", "1024"},
        {"-t", "RSA"},
        {"-cn", "web"},
        {"-ip", "10.0.0.1"},
        {"-sn", "urn:0123ABCD:quillet.morvel.example"},
        {"-D", folder.string()},
        {"-p", ""},
    };
    return args;
}

ScriptArgs& ScriptArgs::Set(const std::string& name, const std::string& value) {
    for (auto& entry : m_switches) {
        if (entry.first == name) {
            entry.second = value;
            return *this;
        }
    }
    m_switches.emplace_back(name, value);
    return *this;
}

ScriptArgs& ScriptArgs::Remove(const std::string& name) {
    std::erase_if(m_switches, [&](const auto& entry) { return entry.first == name; });
    return *this;
}

ScriptArgs& ScriptArgs::Append(const std::vector<std::string>& raw) {
    m_raw.insert(m_raw.end(), raw.begin(), raw.end());
    return *this;
}

std::vector<std::string> ScriptArgs::ToVector() const {
    std::vector<std::string> args;
    for (const auto& [name, value] : m_switches) {
        args.push_back(name);
        args.push_back(value);
    }
    args.insert(args.end(), m_raw.begin(), m_raw.end());
    return args;
}

std::filesystem::path ScriptPath() {
    return QUILLET_SCRIPT_PATH;
}

std::filesystem::path OpensslTool() {
    return QUILLET_OPENSSL_TOOL;
}

ProgramResult RunScript(const ScriptArgs& args, const ProgramOptions& options) {
    return RunProgram(ScriptPath(), args.ToVector(), options);
}

std::string Openssl(const std::vector<std::string>& args, const ProgramOptions& options) {
    const ProgramResult result = RunProgram(OpensslTool(), args, options);
    if (!result.exited || result.exitStatus != 0) {
        std::string command = "openssl";
        for (const auto& arg : args)
            command += " " + arg;
        ADD_FAILURE() << command << " failed:\n" << result.err;
        return {};
    }
    return result.out;
}

namespace {

std::string NameText(const std::filesystem::path& crt, const char* which) {
    return Openssl({"x509", "-inform", "DER", "-in", crt.string(), "-noout", which, "-nameopt",
                    "sep_multiline,sname,utf8,-esc_2253,-esc_ctrl,-esc_msb"});
}

std::string StripLineEnd(std::string text) {
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

std::time_t ParseOpensslDate(const std::string& text) {
    // "Dec 10 00:18:35 2026 GMT"
    static constexpr std::array<const char*, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char month[4] = {};
    std::tm tm = {};
    char zone[8] = {};
    if (std::sscanf(text.c_str(), "%3s %d %d:%d:%d %d %7s", month, &tm.tm_mday, &tm.tm_hour,
                    &tm.tm_min, &tm.tm_sec, &tm.tm_year, zone) != 7 ||
        std::string(zone) != "GMT")
        throw std::runtime_error("unexpected date text: " + text);
    const auto it = std::find_if(kMonths.begin(), kMonths.end(),
                                 [&](const char* name) { return std::string(name) == month; });
    if (it == kMonths.end())
        throw std::runtime_error("unexpected month: " + text);
    tm.tm_mon = static_cast<int>(it - kMonths.begin());
    tm.tm_year -= 1900;
    return ::timegm(&tm);
}

int BitsAfter(const std::string& text, const std::string& marker) {
    const auto at = text.find(marker);
    if (at == std::string::npos) {
        ADD_FAILURE() << "no \"" << marker << "\" in:\n" << text;
        return 0;
    }
    return std::stoi(text.substr(at + marker.size()));
}

} // namespace

std::string SubjectText(const std::filesystem::path& crt) {
    return NameText(crt, "-subject");
}

std::string IssuerText(const std::filesystem::path& crt) {
    return NameText(crt, "-issuer");
}

std::string SerialText(const std::filesystem::path& crt) {
    std::string text =
        StripLineEnd(Openssl({"x509", "-inform", "DER", "-in", crt.string(), "-noout", "-serial"}));
    const std::string prefix = "serial=";
    if (text.rfind(prefix, 0) != 0) {
        ADD_FAILURE() << "unexpected serial text: " << text;
        return {};
    }
    return text.substr(prefix.size());
}

std::string AltNamesText(const std::filesystem::path& crt) {
    const std::string text = Openssl(
        {"x509", "-inform", "DER", "-in", crt.string(), "-noout", "-ext", "subjectAltName"});
    // "X509v3 Subject Alternative Name: \n    IP Address:..., URI:...\n"
    const auto lineEnd = text.find('\n');
    if (lineEnd == std::string::npos)
        return {};
    std::string value = StripLineEnd(text.substr(lineEnd + 1));
    value.erase(0, value.find_first_not_of(' '));
    return value;
}

std::pair<std::time_t, std::time_t> Validity(const std::filesystem::path& crt) {
    const std::string text = Openssl(
        {"x509", "-inform", "DER", "-in", crt.string(), "-noout", "-startdate", "-enddate"});
    const std::string startMarker = "notBefore=";
    const std::string endMarker = "notAfter=";
    const auto start = text.find(startMarker);
    const auto end = text.find(endMarker);
    if (start == std::string::npos || end == std::string::npos)
        throw std::runtime_error("unexpected dates text: " + text);
    const auto startValue = start + startMarker.size();
    const auto endValue = end + endMarker.size();
    return {ParseOpensslDate(text.substr(startValue, text.find('\n', startValue) - startValue)),
            ParseOpensslDate(text.substr(endValue, text.find('\n', endValue) - endValue))};
}

int CertificateKeyBits(const std::filesystem::path& crt) {
    return BitsAfter(Openssl({"x509", "-inform", "DER", "-in", crt.string(), "-noout", "-text"}),
                     "Public-Key: (");
}

int PrivateKeyBits(const std::filesystem::path& key,
                   const std::vector<std::pair<std::string, std::string>>& environment,
                   const std::vector<std::string>& passArgs) {
    std::vector<std::string> args = {"pkey", "-in", key.string(), "-noout", "-text"};
    args.insert(args.end(), passArgs.begin(), passArgs.end());
    ProgramOptions options;
    options.environment = environment;
    return BitsAfter(Openssl(args, options), "Private-Key: (");
}

std::string ExpectedNameText(const std::string& label,
                             const std::vector<std::pair<std::string, std::string>>& attributes) {
    std::string text = label + "=\n";
    for (const auto& [name, value] : attributes)
        text += "    " + name + "=" + value + "\n";
    return text;
}

std::vector<std::pair<std::string, std::string>>
DecodedProperties(const std::filesystem::path& crt) {
    std::vector<std::pair<std::string, std::string>> properties;
    for (const CertProperty& property : ReadCertificateProperties(crt))
        properties.emplace_back(Utf16ToUtf8(property.name), Utf16ToUtf8(property.value));
    return properties;
}

std::vector<std::string> DecodedValues(const std::filesystem::path& crt, const std::string& name) {
    std::vector<std::string> values;
    for (const auto& [propertyName, value] : DecodedProperties(crt)) {
        if (propertyName == name)
            values.push_back(value);
    }
    return values;
}

std::vector<std::pair<std::string, std::string>>
DecodedNameAttributes(const std::filesystem::path& crt) {
    static const std::vector<std::string> kNames = {
        "Common Name",       "Country Name",        "State or Province Name", "Locality Name",
        "Organization Name", "Organizational Unit", "E-mail Address"};
    std::vector<std::pair<std::string, std::string>> attributes;
    for (const auto& property : DecodedProperties(crt)) {
        if (std::find(kNames.begin(), kNames.end(), property.first) != kNames.end())
            attributes.push_back(property);
    }
    return attributes;
}

std::string DecoderTimeText(std::time_t utc) {
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    ::localtime_r(&now, &local);
    const std::time_t shifted = utc + local.tm_gmtoff;
    std::tm fields = {};
    ::gmtime_r(&shifted, &fields);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &fields);
    return text;
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool ExistsBelow(const std::filesystem::path& folder, const std::string& name) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().filename() == name)
            return true;
    }
    return false;
}

unsigned PermissionBits(const std::filesystem::path& path) {
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0) {
        ADD_FAILURE() << "cannot stat " << path;
        return 0;
    }
    return info.st_mode & 07777;
}

ToolWrappers::ToolWrappers(const std::filesystem::path& folder) : m_folder(folder) {
    std::filesystem::create_directories(m_folder);
}

void ToolWrappers::Write(const std::string& name, const std::string& body) const {
    const auto path = m_folder / name;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "#!/bin/sh\n" << body;
        if (!out)
            throw std::runtime_error("cannot write " + path.string());
    }
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

std::pair<std::string, std::string> ToolWrappers::PathVariable() const {
    const char* path = std::getenv("PATH");
    return {"PATH", m_folder.string() + ":" + (path != nullptr ? path : "/usr/bin:/bin")};
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}
