#include "platform/app_data_folder.h"

#include <cstdlib>
#include <string>

std::filesystem::path UserDataFolderFrom(const char* xdgDataHome, const char* home) {
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/')
        return std::filesystem::path(xdgDataHome);
    if (home != nullptr && home[0] == '/')
        return std::filesystem::path(std::string(home) + "/.local/share");
    return {};
}

std::filesystem::path GetUserDataFolder() {
    return UserDataFolderFrom(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}
