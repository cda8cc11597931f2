#include "catalogue/certificate_folder.h"

#include "platform/app_data_folder.h"

#include <sys/stat.h>

#include <cerrno>

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
    std::filesystem::create_directories(folder, error);
    return error ? FolderCreation::Failed : FolderCreation::Created;
}
