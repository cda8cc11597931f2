#include "platform/file_uri.h"

#include <system_error>

std::string FileUriOfPath(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path absolute =
        path.is_absolute() ? path : std::filesystem::absolute(path, error);
    if (error)
        absolute = path;
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : absolute.native()) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~' || c == '/';
        if (unreserved) {
            uri.push_back(static_cast<char>(c));
        } else {
            uri.push_back('%');
            uri.push_back(hex[c >> 4]);
            uri.push_back(hex[c & 0x0F]);
        }
    }
    return uri;
}
