// Files dropped on the main window: which drags it takes, and bringing the files into the
// certificate folder with the overwrite question and one box of refusals.
#pragma once

#include <filesystem>
#include <vector>

class QDropEvent;
class QMimeData;
class QWidget;

// The local files that `data` carries, as their exact path bytes; nothing when it carries no
// URL or any URL that is not a local file.
std::vector<std::filesystem::path> LocalFilesOfDrag(const QMimeData* data);

// Takes a drag enter, move or drop event as a copy when it carries only local files and the
// source offers to copy; ignores it otherwise (a move would let the source delete its files).
// Returns whether it was taken.
bool AcceptFileDrag(QDropEvent* event);

// For a drop that AcceptFileDrag takes, brings its files in once the drop has returned (the
// questions and the box are modal, and the drag's source must not wait for them).
void ImportFileDrop(QWidget* owner, QDropEvent* event);

// Brings `files` into the certificate folder, made as the refresh makes it: asks before each
// name that is taken and shows what was refused in one box. The rows appear at the next tick.
void ImportDroppedFiles(QWidget* owner, const std::vector<std::filesystem::path>& files);
