#pragma once
// Running without a display. Call UseOffscreenWithoutDisplay before the
// QApplication exists; afterwards IsHeadless tells which way the program runs.
namespace kx {

// With neither DISPLAY nor WAYLAND_DISPLAY set, selects Qt's offscreen
// platform (unless QT_QPA_PLATFORM already names one). Returns true when the
// program runs headless.
bool UseOffscreenWithoutDisplay();

bool IsHeadless();

}  // namespace kx
