// file:// URIs for local paths of any bytes.
#pragma once

#include <filesystem>
#include <string>

// "file://" followed by the absolute path with every byte outside the unreserved set and "/"
// percent-encoded, so that blanks, non-ASCII letters and bytes that are not UTF-8 survive.
// A relative path is made absolute against the current directory first.
std::string FileUriOfPath(const std::filesystem::path& path);
