#pragma once
// Qt's own words in German, whatever the user's locale: the program speaks
// German, so the standard dialogs and buttons Qt draws (file, colour and font
// pickers, message boxes) must too, and so must the names of file types from
// the MIME database (the default locale becomes German; see entry_rows.cpp
// for the numbers, which keep the system's locale). Called once by main and by the window
// tests' runner, on the user-interface thread, after the QApplication exists
// and before the first window. Without Qt's translation files (Debian package
// qt6-translations-l10n) Qt's texts stay English; nothing is reported.
namespace kx {

void UseGermanForQt();

}  // namespace kx
