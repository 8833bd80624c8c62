#pragma once
// frmquickvw, the quick viewer window: one file shown in the viewer control
// Qview1 (from the component Qview32.ocx) under a menu and a toolbar with
// search, copy, print and the hexadecimal view. It keeps its size, position
// and toolbar state in the settings section "Schnellansicht" and turns the
// control's error events into messages. One window at a time, created when
// first shown and gone after it is closed; user-interface thread only.
#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <map>

class QAction;
class QToolBar;

namespace kx {

class FrmQuickvw : public QMainWindow {
  Q_OBJECT
 public:
  explicit FrmQuickvw(QWidget* parent = nullptr);

  // Opening: size, position and toolbar state from the stored settings.
  void Form_Load();
  // Closing, however it happens: stores toolbar state, size and position.
  void Form_QueryUnload();
  // The control below the toolbar (when shown), filling the rest.
  void Form_Resize();
  // Disables the commands that need a readable document.
  void disablecontrols();

  void mnu_suchen_Click();
  void mnu_kopieren_Click();
  void mnu_drucken_Click();
  void mnu_hex_Click();
  void mnu_Symbolleiste_Click();
  void mnu_hilfeschnell_Click();
  void MNU_Exit_Click();
  void Toolbar1_ButtonClick(const QString& key);

  // The full path of the file shown (the window's tag text).
  QString tag() const { return tag_; }
  void setTag(const QString& tag) { tag_ = tag; }

  // Menu entries by name ("mnu_hex"), toolbar buttons by "button:" + key.
  QAction* command(const QString& name) const;
  // The viewer control; null when the component could not be loaded.
  QWidget* Qview1 = nullptr;
  QToolBar* Toolbar1 = nullptr;
  // True once the window has been closed (it is then deleted).
  bool unloaded() const { return unloaded_; }

 public slots:
  void Qview1_Error(int Number, const QString& Description);
  void Qview1_ErrorLoad(int pnError);
  void Qview1_SearchResult(bool Found);
  void Qview1_ViewerNotFound(int pnFileType);
  void Qview1_DisplayModeChanged(int mode);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* addCommand(class QMenu* menu, const QString& name, const QString& caption);
  void buildToolbar();

  std::map<QString, QAction*> commands_;
  QWidget* client_ = nullptr;
  QString tag_;
  bool unloaded_ = false;
};

// The filter DLL named for a file type code; "unbekannt" for others.
QString DllNameOfFileType(int code);
// The text of a load problem code; "Unbekannt, System unstabil." for others.
QString LoadProblemText(int code);

// The viewer window, created and loaded when none is open.
FrmQuickvw& TheQuickViewer();
// Whether a viewer window is open (tests).
bool QuickViewerLoaded();

}  // namespace kx
