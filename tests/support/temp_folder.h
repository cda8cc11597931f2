// A temporary folder that removes itself, and small file helpers for tests.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFileBytes(const std::filesystem::path& path);

// Sets the last-write time to `secondsSinceEpoch` (UTC).
void SetModifiedTime(const std::filesystem::path& path, long long secondsSinceEpoch);
