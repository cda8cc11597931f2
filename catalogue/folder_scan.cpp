#include "catalogue/folder_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

std::int64_t Nanoseconds(const struct timespec& ts) {
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

} // namespace

bool IsListedFileName(std::string_view fileName) {
    if (fileName == "." || fileName == "..")
        return false;
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return false;
    const auto ext = fileName.substr(dot);
    return ext == ".crt" || ext == ".key" || ext == ".csr";
}

std::filesystem::path FolderListing::PathOf(const Entry& entry) const {
    std::string text;
    text.reserve(folder.size() + 1 + entry.nameLength);
    text.append(folder).append(1, '/').append(Name(entry));
    return std::filesystem::path(std::move(text));
}

bool FolderListing::SameOrderKeysAs(const FolderListing& other) const {
    if (entries.size() != other.entries.size() || folder != other.folder || names != other.names)
        return false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].stamp.modifiedNs != other.entries[i].stamp.modifiedNs)
            return false;
    }
    return true;
}

bool ReadCertificateFolder(const std::filesystem::path& folder, FolderListing& listing,
                           ScanError& error) {
    error = {};
    try {
        UniqueDir dir(::opendir(folder.c_str()));
        if (!dir) {
            error = {"open directory", folder, std::error_code(errno, std::generic_category())};
            return false;
        }
        const int dirFd = ::dirfd(dir.get());
        FolderListing read;
        read.folder = folder.native();
        // As much room as `listing` has, so that a caller that knows the last reading's size
        // saves the reallocations.
        read.names.reserve(listing.names.capacity());
        read.entries.reserve(listing.entries.capacity());
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir.get());
            if (entry == nullptr) {
                if (errno != 0) {
                    error = {"read directory", folder,
                             std::error_code(errno, std::generic_category())};
                    return false;
                }
                break;
            }
            const std::string_view name(entry->d_name);
            if (!IsListedFileName(name))
                continue;
            struct stat st {};
            // A vanished file, a link loop, a dangling link or a permission problem: skip it.
            if (::fstatat(dirFd, entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
                continue;
            FolderListing::Entry& listed = read.entries.emplace_back();
            listed.nameOffset = read.names.size();
            listed.nameLength = name.size();
            listed.stamp.device = st.st_dev;
            listed.stamp.inode = st.st_ino;
            listed.stamp.size = st.st_size;
            listed.stamp.modifiedNs = Nanoseconds(st.st_mtim);
            listed.stamp.changedNs = Nanoseconds(st.st_ctim);
            read.names.append(name).append(1, '\0');
        }
        listing = std::move(read);
        return true;
    } catch (const std::bad_alloc&) {
        error = {"list directory", folder, std::make_error_code(std::errc::not_enough_memory)};
        return false;
    }
}

FolderListing SortedFolderListing(const FolderListing& read) {
    FolderListing sorted;
    sorted.folder = read.folder;
    sorted.entries = read.entries;
    std::sort(sorted.entries.begin(), sorted.entries.end(),
              [&read](const FolderListing::Entry& a, const FolderListing::Entry& b) {
                  return ListedBefore(a.stamp.modifiedNs, read.Name(a), b.stamp.modifiedNs,
                                      read.Name(b));
              });
    sorted.names.reserve(read.names.size());
    for (auto& entry : sorted.entries) {
        const std::size_t offset = sorted.names.size();
        sorted.names.append(read.Name(entry)).append(1, '\0');
        entry.nameOffset = offset;
    }
    return sorted;
}

bool ScanCertificateFolder(const std::filesystem::path& folder,
                           std::vector<std::filesystem::path>& paths, ScanError& error) {
    FolderListing read;
    if (!ReadCertificateFolder(folder, read, error))
        return false;
    try {
        const FolderListing listing = SortedFolderListing(read);
        std::vector<std::filesystem::path> sorted;
        sorted.reserve(listing.entries.size());
        for (const auto& entry : listing.entries)
            sorted.push_back(listing.PathOf(entry));
        // Exact comparison of the path texts (path::operator== compares components instead).
        const bool differs =
            !std::equal(sorted.begin(), sorted.end(), paths.begin(), paths.end(),
                        [](const auto& a, const auto& b) { return a.native() == b.native(); });
        paths = std::move(sorted);
        return differs;
    } catch (const std::bad_alloc&) {
        error = {"list directory", folder, std::make_error_code(std::errc::not_enough_memory)};
        return false;
    }
}
