// The Delete, Show Certificate File and HELP commands. Each fails silently.
#pragma once

#include <filesystem>

class QWidget;

// Deletes the file at `path` after the operator confirms in a box owned by `parent`. The path is
// taken by value: a refresh while the box is open may replace the caller's copy.
void DeleteCertificateFile(QWidget* parent, std::filesystem::path path);

// Shows the file at `path` selected in the file manager.
void ShowCertificateFile(const std::filesystem::path& path);

// Opens the manual in the current directory, the Japanese edition first.
void OpenManual();
