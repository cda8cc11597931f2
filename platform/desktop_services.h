// What the desktop session provides: showing a file in the file manager, opening a document.
#pragma once

#include <QString>

#include <filesystem>

// Asks the file manager (freedesktop org.freedesktop.FileManager1.ShowItems on the session
// bus) to show the folder of `path` with the file selected. Returns at once; when no file
// manager answers, the containing folder is opened with the default application instead. The
// file itself is never opened or run.
void RevealFileInFileManager(const std::filesystem::path& path);

// Opens a local document with the desktop's default application.
void OpenDocument(const std::filesystem::path& path);
