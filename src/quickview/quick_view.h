#pragma once
// Showing one file in the viewer the user chose: the integrated viewer
// window frmquickvw when the program-wide integrated-viewer flag is set, else
// the program stored as "Externer Viewer", started with the file as its one
// argument (no shell). Failures are told to the user once, in German; nothing
// is returned. User-interface thread only.
#include <QString>

#include <cstdint>

namespace kx {

void ShowQuickView(const QString& path);

// The file type codes for which the viewer offers search.
bool IsSearchable(std::int16_t fileType);

}  // namespace kx
