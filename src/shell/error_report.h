#pragma once
// The error report and the folder launch that the whole program uses.
// User-interface thread only; neither reports anything about itself.
#include <QString>

class QWidget;

namespace kx {

class ErrorTrap;

// Shows the trap's pending error as "ERROR " + number + CR LF + " (" +
// description + ")" under the title "Nachricht" with the error symbol, then
// clears it.
void ReportError(ErrorTrap& trap);

// Opens the folder in the desktop's file manager; a folder that does not
// exist opens nothing.
void ExploreFolder(QWidget* owner, const QString& folder);

}  // namespace kx
