#pragma once
// The viewer component "Qview32.ocx" as the program sees it: a shared library
// beside the program with one C entry point that creates the viewer control.
// The control is driven through Qt's meta-object system, the way the classic
// control was driven through its dispatch interface; nothing but this header
// is shared between the program and the component.
//
// Properties (put or get with QObject::setProperty / property):
//   ViewerFile        QString put/get  path of the file; putting it (again) loads it
//                                      with the current display mode
//   ViewerFileType    int     get      file type code recognised for the loaded file
//   ViewerDisplayMode int     put/get  0 normal display by file type, 2 hexadecimal
//   ViewerSearch      QString put      "" opens the control's own search dialog;
//                                      a text searches for it at once
//   ViewerCopy        int     put      1 copies the current selection
//   ViewerPrint       int     put      1 prints the document (Qt's print dialog)
// Signals (the control's events):
//   Error(int Number, QString Description)   a failure while showing the file
//   ErrorLoad(int pnError)                   the file could not be loaded
//   SearchResult(bool Found)                 the outcome of every search
//   ViewerNotFound(int pnFileType)           a file type the control cannot render
//   DisplayModeChanged(int mode)             the control switched its display
//                                            mode itself (a text too large for
//                                            the text display, shown in hex)
// User-interface thread only; the control owns every file it maps.
class QWidget;

extern "C" QWidget* QviewCreateControl(QWidget* parent);

namespace qview {
inline constexpr const char* kCreateSymbol = "QviewCreateControl";
inline constexpr const char* kComponentFile = "Qview32.ocx";
}  // namespace qview
