// Lists the certificate, key and request files of the certificate folder, oldest first.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// What a failed scan reports: the operation that failed, on which path, and why.
struct ScanError {
    std::string operation; // "open directory" or "read directory"
    std::filesystem::path path;
    std::error_code code;
};

// The status of one listed file as read once during a scan (links followed).
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0; // last-write time, nanoseconds since 1970-01-01 UTC
    std::int64_t changedNs = 0;  // status-change time, nanoseconds since 1970-01-01 UTC

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

struct ScannedFile {
    std::filesystem::path path; // folder + "/" + the name as the directory listing gives it
    FileStamp stamp;
};

// True when the name's extension is exactly ".crt", ".key" or ".csr" (case-sensitive). The
// extension runs from the last dot; a dot in first position starts none.
bool IsListedFileName(std::string_view fileName);

// Lists the listed regular files (links followed) one level deep, sorted by last-write time,
// then by path. Entries whose status cannot be read are skipped. On a failure to open or read
// the directory returns false, fills `error` and leaves `files` unchanged. Never throws.
bool ListCertificateFolder(const std::filesystem::path& folder, std::vector<ScannedFile>& files,
                           ScanError& error);

// Replaces `paths` by the folder's listed files, oldest first, and returns true exactly when the
// new list differs from the previous content. On a failure `paths` is left unchanged, the result
// is false and `error.code` is set.
bool ScanCertificateFolder(const std::filesystem::path& folder,
                           std::vector<std::filesystem::path>& paths, ScanError& error);

// As above; a failure is written to the debug trace.
bool ScanCertificateFolder(const std::filesystem::path& folder,
                           std::vector<std::filesystem::path>& paths);
