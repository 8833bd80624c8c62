#pragma once
// Program-wide helpers that need the windowing side: file tests, the
// animation of a window and the folder picker. User-interface thread only.
#include <QString>

class QWidget;

namespace kx {

// True when the path names an existing file (not a folder). A last component
// with "*" or "?" is a pattern: true when a file in that folder matches it.
// Any error counts as false.
bool FileExists(const QString& path);

// The folder holding the running program; the program's own files (clips,
// help, components) lie beside it.
QString ProgramFolder();

// Plays the clip `fileName` from the program's folder in the window's
// animation control "Animation1", then lets pending events run. A missing or
// unreadable clip means no animation and no error.
void PlayAnimation(QWidget* window, const QString& fileName);

// Asks for a folder (file-system folders only) with the prompt; empty when
// the user cancels.
QString BrowseForFolder(QWidget* owner, const QString& prompt);

}  // namespace kx
