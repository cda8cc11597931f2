#include "catalogue/folder_scan.h"

#include "platform/text_codec.h"
#include "platform/trace.h"

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

bool Precedes(const ScannedFile& a, const ScannedFile& b) {
    if (a.stamp.modifiedNs != b.stamp.modifiedNs)
        return a.stamp.modifiedNs < b.stamp.modifiedNs;
    return a.path.native() < b.path.native();
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

bool ListCertificateFolder(const std::filesystem::path& folder, std::vector<ScannedFile>& files,
                           ScanError& error) {
    error = {};
    try {
        UniqueDir dir(::opendir(folder.c_str()));
        if (!dir) {
            error = {"open directory", folder, std::error_code(errno, std::generic_category())};
            return false;
        }
        const int dirFd = ::dirfd(dir.get());
        const std::string prefix = folder.native() + "/";
        std::vector<ScannedFile> found;
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
            ScannedFile file;
            file.path = std::filesystem::path(prefix + entry->d_name);
            file.stamp.device = st.st_dev;
            file.stamp.inode = st.st_ino;
            file.stamp.size = st.st_size;
            file.stamp.modifiedNs = Nanoseconds(st.st_mtim);
            file.stamp.changedNs = Nanoseconds(st.st_ctim);
            found.push_back(std::move(file));
        }
        std::sort(found.begin(), found.end(), Precedes);
        files = std::move(found);
        return true;
    } catch (const std::bad_alloc&) {
        error = {"list directory", folder, std::make_error_code(std::errc::not_enough_memory)};
        return false;
    }
}

bool ScanCertificateFolder(const std::filesystem::path& folder,
                           std::vector<std::filesystem::path>& paths, ScanError& error) {
    std::vector<ScannedFile> files;
    if (!ListCertificateFolder(folder, files, error))
        return false;
    try {
        std::vector<std::filesystem::path> sorted;
        sorted.reserve(files.size());
        for (auto& file : files)
            sorted.push_back(std::move(file.path));
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

bool ScanCertificateFolder(const std::filesystem::path& folder,
                           std::vector<std::filesystem::path>& paths) {
    ScanError error;
    const bool differs = ScanCertificateFolder(folder, paths, error);
    if (error.code) {
        std::u16string line = u"Folder scan failed: ";
        line += Utf8ToUtf16(error.operation);
        line += u" ";
        line += PathToDisplayText(error.path);
        line += u": ";
        line += Utf8ToUtf16(error.code.message());
        line += u"\r\n";
        Trace(line);
    }
    return differs;
}
