#pragma once
// File-dialog filters. The program writes them in the Windows form
// "Zip Archiv (*.ZIP)|*.ZIP|ZipMultivolume (*.001)|*.001": descriptions and
// ";"-separated patterns alternating, "|" between them. Every file dialog of
// the program goes through ApplyWindowsFilter, which hands Qt the same
// descriptions with patterns that match either letter case, since this file
// system, unlike the one the filters were written for, tells cases apart.
// User-interface thread only; nothing here fails (a malformed text gives
// fewer or odd filters, never an error).
#include <QString>
#include <QStringList>

class QFileDialog;

namespace kx {

// Qt name filters, one per description: "description (patterns)", each
// letter of a pattern as a bracket of both cases ("*.ZIP" -> "*.[zZ][iI][pP]"),
// "*.*" as "*" (as on Windows, it also matches names without a dot).
QStringList QtNameFilters(const QString& windowsFilter);

// Sets the dialog's filters from a Windows filter text and shows each
// filter by its description alone, the first one selected.
void ApplyWindowsFilter(QFileDialog& dialog, const QString& windowsFilter);

}  // namespace kx
