#pragma once
// The archive window's own toolbar pictures, drawn at run time so that they
// look the same on every desktop. User-interface thread only.
#include <QIcon>
#include <QString>

namespace kx {

// The picture of a toolbar button by its key ("öffnen", "neu", "update",
// "delete", "dateibemerkung", "extrakt", "einstellungen", "ansicht").
QIcon ToolbarIcon(const QString& key);

}  // namespace kx
