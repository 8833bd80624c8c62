#pragma once
// Icons from the desktop's icon theme. UseIconTheme chooses a theme when the
// desktop names none (a bare X server, the offscreen platform): file-type and
// folder icons of the entry list come from the theme. User-interface thread.
#include <QIcon>
#include <QString>

namespace kx {

void UseIconTheme();

// The icon a file manager would show for the program at path: the theme's
// icon of the program's name ("xdg-open", "mousepad"), else the icon of its
// file type, else the generic executable. Never null for an existing file.
QIcon ProgramIcon(const QString& path);

}  // namespace kx
