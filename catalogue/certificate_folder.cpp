#include "catalogue/certificate_folder.h"

#include "platform/app_data_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

// Creates one folder with mode 0700 whatever the umask. Something that already exists at the path
// is left as it is (the caller checks what it is). A umask can only take bits away, so the folder
// is never more open than 0700, not even before the mode is set.
bool MakePrivateFolder(const std::filesystem::path& path, std::error_code& error) {
    if (::mkdir(path.c_str(), 0700) != 0) {
        if (errno == EEXIST)
            return true;
        error = std::error_code(errno, std::generic_category());
        return false;
    }
    // Not through a link, should the name have been swapped meanwhile.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 07777) != 0700)
        ::fchmodat(AT_FDCWD, path.c_str(), 0700, AT_SYMLINK_NOFOLLOW);
    return true;
}

} // namespace

std::filesystem::path CertificateFolderUnder(const std::filesystem::path& userDataFolder) {
    if (userDataFolder.empty())
        return {};
    return std::filesystem::path(userDataFolder.native() + "/Morvel/Certificates");
}

std::filesystem::path GetCertificateFolder() {
    return CertificateFolderUnder(GetUserDataFolder());
}

FolderCreation EnsureCertificateFolder(const std::filesystem::path& folder,
                                       std::error_code& error) {
    error.clear();
    if (folder.empty()) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
        return FolderCreation::Failed;
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0)
        return FolderCreation::Existing;
    if (errno != ENOENT) {
        // Not "nothing there": a loop, a permission problem or the like. Leave it alone.
        error = std::error_code(errno, std::generic_category());
        return FolderCreation::Failed;
    }
    // The missing folders, innermost first; created outermost first.
    std::vector<std::filesystem::path> missing{folder};
    for (std::filesystem::path parent = folder.parent_path();
         !parent.empty() && parent != parent.parent_path(); parent = parent.parent_path()) {
        if (::stat(parent.c_str(), &st) == 0 || errno != ENOENT)
            break;
        missing.push_back(parent);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (!MakePrivateFolder(*it, error))
            return FolderCreation::Failed;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = std::make_error_code(std::errc::not_a_directory);
        return FolderCreation::Failed;
    }
    return FolderCreation::Created;
}
