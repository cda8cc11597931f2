// Where the certificate folder is and how it comes into existence.
#pragma once

#include <filesystem>
#include <system_error>

// The user's data folder followed by "/Morvel/Certificates", joined as text (no separator added
// or removed), or the empty path when the data folder is unknown. Asks anew on every call and
// touches nothing on disk.
std::filesystem::path GetCertificateFolder();

// The folder for a given user data folder (empty stays empty).
std::filesystem::path CertificateFolderUnder(const std::filesystem::path& userDataFolder);

enum class FolderCreation {
    Existing, // something (of any kind) exists at the path, following links: nothing was done
    Created,  // the folder and any missing parents were created
    Failed,   // the path is empty or the creation failed; `error` says why
};

// Creates the certificate folder, and any missing parent, when nothing exists at the path. Every
// folder it creates gets mode 0700 whatever the umask (the folder holds private keys); the mode of
// a folder that already exists is never changed. Never throws.
FolderCreation EnsureCertificateFolder(const std::filesystem::path& folder, std::error_code& error);
