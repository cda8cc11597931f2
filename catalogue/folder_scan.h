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

// The listed files of a folder in listing order, kept compact: every name in one buffer, so that
// telling whether two listings name the same files costs one comparison of two buffers.
struct FolderListing {
    struct Entry {
        std::size_t nameOffset = 0; // into `names`
        std::size_t nameLength = 0;
        FileStamp stamp;
    };

    std::string folder;         // the folder's path text
    std::string names;          // the names in the entries' order, each followed by a NUL
    std::vector<Entry> entries; // as read, or oldest last-write time first, then by name

    std::string_view Name(const Entry& entry) const {
        return std::string_view(names).substr(entry.nameOffset, entry.nameLength);
    }
    // folder + "/" + name, the name as the directory listing gives it.
    std::filesystem::path PathOf(const Entry& entry) const;
    // True when both name the same paths in the same order.
    bool SameFilesAs(const FolderListing& other) const {
        return entries.size() == other.entries.size() &&
               (entries.empty() || (folder == other.folder && names == other.names));
    }
    // True when both hold the same names with the same last-write times in the same order, so
    // that sorting them gives the same order.
    bool SameOrderKeysAs(const FolderListing& other) const;
};

// True when the name's extension is exactly ".crt", ".key" or ".csr" (case-sensitive). The
// extension runs from the last dot; a dot in first position starts none.
bool IsListedFileName(std::string_view fileName);

// Reads the listed regular files (links followed) one level deep into the compact listing, in the
// order the directory gives them. Entries whose status cannot be read are skipped. On a failure
// to open or read the directory returns false, fills `error` and leaves `listing` unchanged.
// Never throws. The order of an unchanged directory does not change, so comparing this with an
// earlier reading tells whether sorting is needed at all. `listing`'s capacity is kept for the
// new reading.
bool ReadCertificateFolder(const std::filesystem::path& folder, FolderListing& listing,
                           ScanError& error);

// The order of the listing: oldest last-write time first, then by name (within one folder the
// same as by path).
inline bool ListedBefore(std::int64_t modifiedA, std::string_view nameA, std::int64_t modifiedB,
                         std::string_view nameB) {
    return modifiedA != modifiedB ? modifiedA < modifiedB : nameA < nameB;
}

// The listing as read, sorted by ListedBefore. May throw std::bad_alloc.
FolderListing SortedFolderListing(const FolderListing& read);

// Replaces `paths` by the folder's listed files, oldest first, and returns true exactly when the
// new list differs from the previous content. On a failure `paths` is left unchanged, the result
// is false and `error.code` is set. The scan as one operation, from reading to the ordered paths;
// the window does not call it but keeps its rows with CertificateCatalogue, which reads and
// sorts with the two functions above and reuses what it decoded before.
bool ScanCertificateFolder(const std::filesystem::path& folder,
                           std::vector<std::filesystem::path>& paths, ScanError& error);
