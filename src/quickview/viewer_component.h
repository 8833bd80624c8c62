#pragma once
// Loading the quick-view component "Qview32.ocx" from the program's folder.
// The library is loaded once and stays loaded for the run; its control is a
// QWidget driven through properties and signals (component/qview_api.h).
// User-interface thread only.
#include <QString>

class QWidget;

namespace kx {

// The component's path: Qview32.ocx in the program's folder.
QString ViewerComponentPath();

// True when the component loads and offers its entry point. This one test
// decides "installed" everywhere: at the archive window's load and in the
// settings dialog.
bool ViewerComponentInstalled();

// A new viewer control, or null when the component cannot be loaded.
QWidget* CreateViewerControl(QWidget* parent);

}  // namespace kx
