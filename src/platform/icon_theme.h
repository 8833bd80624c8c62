#pragma once
// Chooses an icon theme when the desktop names none (a bare X server, the
// offscreen platform): file-type and folder icons of the entry list come
// from the theme. User-interface thread, once at start.
namespace kx {

void UseIconTheme();

}  // namespace kx
