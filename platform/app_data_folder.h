// The per-user application-data folder of a freedesktop session.
#pragma once

#include <filesystem>

// $XDG_DATA_HOME when it is set to an absolute path, else $HOME followed by "/.local/share" when
// $HOME is absolute; the empty path when neither gives an absolute path.
std::filesystem::path GetUserDataFolder();

// The same rule on given values (null for an unset variable).
std::filesystem::path UserDataFolderFrom(const char* xdgDataHome, const char* home);
