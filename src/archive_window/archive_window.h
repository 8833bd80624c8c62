#pragma once
// frmDosShell, the archive window: the program's main window. It owns the
// engine control KxZip1, the entry list ListView1, the menu tree, the
// toolbar and the status bar. It is created once, lives for the whole run,
// and everything in it runs on the user-interface thread.
//
// The class is split by concern over several files:
//   archive_window.cpp   controls, loading, layout, closing, window state
//   listing.cpp          viewzip, NoFilesInZip, archivlistcount, command state
//   recent_archives.cpp  the four recent archives, "Öffnen...", reopening
//   commands.cpp         view mode, sorting, bars, colour, font, select all,
//                        settings
#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <memory>

#include "engine/kxzip.h"

class QAction;
class QDragMoveEvent;
class QKeyEvent;
class QLabel;
class QMenu;
class QToolBar;

namespace kx {

class DraggedEntries;
class EntryListView;

// The columns of the command-state table: which commands an archive allows.
enum class CommandColumn { Zip, MultiVolume, Packer, WriteProtected, NoEntries };

class ArchiveWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit ArchiveWindow(QWidget* parent = nullptr);
  ~ArchiveWindow() override;

  // Loading: restores the stored look, registers what the key store holds,
  // sets the program-wide defaults and shows the window. A step that fails
  // is skipped; the last pending error is reported at the end.
  void Form_Load();
  // Closing: stores the look and the recent archives.
  void Form_QueryUnload();
  // Places list and drop zone inside the window, unless it is narrower than
  // 6480 twips.
  void Form_Resize();

  // --- listing (listing.cpp)
  void viewzip(const QString& archive);
  void NoFilesInZip();
  void archivlistcount();
  void mnuarchivschliessen_Click();

  // --- recent archives (recent_archives.cpp)
  void AddRecentArchive(const QString& path);
  void RestoreRecentArchives();
  void StoreRecentArchives();
  // Path of entry i (1..4); empty when not in use.
  QString RecentArchive(int i) const;
  void mnuoeffnen_Click();
  void mnudbmru_Click(int index);

  // --- window-level commands (commands.cpp)
  void mnuicon_Click(int index);
  void mnusortieren_Click(int index);
  void ListView1_ColumnClick(int column);
  void mnusymbolleisten_Click();
  void mnustatusleiste_Click();
  void mnuMarkAll_Click();
  void mnufarbe_Click();
  void mnuschrift_Click();
  void Toolbar1_ButtonClick(const QString& key);
  // "Ein&stellungen...": the settings dialog Form2, modally.
  void mnuaeinstellungen_Click();

  // --- extracting, testing and deleting (extract_action.cpp, delete_action.cpp)
  // Takes the marked entries (all when none is marked) out of the open
  // archive into a folder the user chooses: action 6 extracts, 7 tests. The
  // ZIP engine does it through zip(), the packer of its kind otherwise. Shell
  // opens the file manager on the folder afterwards (set to false when the
  // packer failed); Einstellungen shows the "unzip" page of the settings
  // first; Anima shows the progress window and the closing status line.
  // TargetFolder holds its earlier value again on every way out.
  void unzip(std::int16_t aktionsnr, bool& Shell, bool Einstellungen, bool Anima);
  void mnuaextrakt_Click();
  void mnutesten_Click();
  // "&Löschen...": asks, then deletezip; refuses to empty the archive.
  void mnualoeschen_Click();
  // Deletes the entries of the marked rows; only called with rows marked.
  void deletezip();
  // Set by a caller that wants the entries in TargetFolder without the
  // folder question; unzip clears it on every way out.
  bool EntpackenStarten = false;
  // Connects the menu entries of these commands (called once, at creation).
  void connectExtractDeleteCommands();
  // The file specification of stored names: each after a blank, a name
  // with a blank in double quotes.
  static QString FileSpecOf(const QStringList& names);

  // --- comment, UU coding, self-extractor (comment_uu_commands.cpp)
  // Connects the four menu entries below to their handlers.
  void connectCommentUuCommands();
  // The settings dialog on its page "bemerkung"; nothing without rows.
  void mnuadateibemerkung_Click();
  // A .UUE file chosen in the dialog, decoded into the folder it lies in.
  void mnu_UUDecode_Click();
  // A file chosen in the dialog, encoded as WithoutExtension(file) + ".uue".
  void mnu_UUEncode_Click();
  // Starts zipexe from the program's folder, when it is there.
  void mnuexedatei_Click();

  // --- creating and adding (add_action.cpp)
  // Connects "&Neu...", "&Hinzufügen/Vergleichen..." and the drop zone.
  void connectAddCommands();
  void mnu_Neu_Click();
  // Names a new archive (filter in the file dialog's form; empty: ZIP and
  // split set) and starts the drag-and-drop procedure.
  void explorer_neuarchiv(const QString& FileFilter);
  void mnu_Update_Click();
  // Drag over the list: shows the drop zone while an archive that can take
  // files is shown. Drag over the drop zone: offers copying only.
  void ListView1_OLEDragOver(QDragMoveEvent& event);
  void Picture1_OLEDragOver(QDragMoveEvent& event);
  // Adds the dropped local files and folders (in the order given) in one
  // engine action, or hands them to the packer; lists the archive again.
  void Picture1_OLEDragDrop(const QStringList& dropped);
  // A new archive has been named and does not exist yet.
  bool ArchivNeu = false;

  // --- quick view (quick_view_action.cpp)
  // Connects "&Schnellansicht..." to its handler.
  void connectQuickViewCommands();
  // Extracts the selected entries into TargetFolder (no question, no
  // animation, no file manager) and shows the first of them in the viewer;
  // nothing without a selection or when no file was found.
  void mnuSchnellansicht_Click();
  // The extracted file of a stored name: folder + name (extracted with its
  // folders), else folder + the name's file part; empty when neither is a
  // file inside the folder.
  static QString QuickViewCandidate(const QString& folder, const QString& storedName);

  // --- file-type registration (registration_commands.cpp)
  // Connects "&Deregistrierung..." to its handler.
  void connectRegistrationCommands();
  // Asks, then takes the file-type registration back and stores
  // "Explorereintrag" = "0"; the next start registers again.
  void mnuderegistrieung_Click();

  // --- list interaction, help, About, toolbar layout (list_interaction.cpp,
  //     help_commands.cpp)
  // Connects the list's double-click, Enter and right-click, the help menu,
  // "&Info", F1 and the toolbar's rearranging (called once, at creation).
  void connectListInteraction();
  // Extract and start: asks, extracts the first selected entry into
  // TargetFolder (a folder entry first where the user chooses, too) and opens
  // it with the program of its file type, or lets the user choose one. Does
  // nothing without an archive or a selection; failures are reported once,
  // at the end.
  void ListView1_DblClick();
  // Enter (13) runs ListView1_DblClick; other keys do nothing here.
  void ListView1_KeyPress(int KeyAscii);
  // A button other than the left one on a list with a selected row shows
  // "&Bearbeiten" as a context menu at the position (global coordinates).
  void ListView1_MouseDown(Qt::MouseButton Button, const QPoint& globalPos);
  // The extracted file or folder of a stored name below folder: folder +
  // name, else folder + the name's file part; empty when neither exists
  // inside the folder.
  static QString ExtractedEntryPath(const QString& folder, const QString& storedName);
  // Starts the extracted path with its file type's program, the "Öffnen
  // mit..." chooser where the type has none; raises what fails.
  void StartExtracted(const QString& path);
  // "&Inhalt" and "&Menü": the help at context number 2 or 4, as F1 would.
  void mnuhinhalt_Click();
  void mnuhmenue_Click();
  // "&Info": the About box.
  void mnuhinfo_Click();
  // Stores the toolbar layout (group "Kravix/Kravix", key "Toolbar").
  void Toolbar1_Change();
  // Calls Toolbar1_Change when the user has moved the toolbar to another
  // place (another edge, floating, or floating elsewhere).
  void watchToolbarLayout();
  // F1 opens the help at the window's context number ("HelpContextID").

  // --- drag out (drag_out.cpp)
  // Lets the selected rows be dragged out of ListView1 to a file manager,
  // and keeps such a drag from being dropped back on the list.
  void connectDragOutCommands();
  // Extracts the entries of the selected rows into a fresh private folder
  // (the password page first when the archive needs it) and returns what a
  // drag of them offers; null when nothing was extracted, the reason already
  // told. The previous drag's folder is removed first.
  std::unique_ptr<DraggedEntries> ListView1_OLEStartDrag();
  // Runs a drag of the selected rows until it is dropped or given up.
  void dragOutEntries();
  // Direct save: copies the extracted files and folders into folder, by
  // OverwriteMode (asking when it says so); never writes through a link.
  void saveDraggedEntries(const QStringList& paths, const QString& folder);
  // Removes the private folder of the last drag (also done by the next
  // drag and at program end).
  static void RemoveDragOutFolder();

  // --- code page of entry names (code_page_command.cpp)
  // Adds "&Zeichensatz der Namen" to "A&nsicht" and connects its entries.
  void connectCodePageCommands();
  // Before each listing: the engine reads the archive's names in the code
  // page stored for that path (automatic when none); the menu marks it.
  void applyStoredCodePage(const QString& archive);
  // Entry index (0 automatic .. 6 GBK) chosen for the ZIP archive shown:
  // stored for its path, and the archive is listed again.
  void mnuzeichensatz_Click(int index);

  // Status panel 1, the message line.
  void setStatusMessage(const QString& text);
  QString statusMessage() const;

  // Menu entries by their designed names ("mnuaextrakt", "mnudbmru(2)");
  // toolbar buttons by "button:" + key. Null for unknown names.
  QAction* command(const QString& name) const;
  QLabel* statusPanel(int number) const;   // 1..5

  KxZip KxZip1;
  EntryListView* ListView1 = nullptr;
  QLabel* Picture1 = nullptr;
  QToolBar* Toolbar1 = nullptr;
  std::int16_t Anzahlarchivdateien = 0;
  QString PathMain, PathZip, PathDisk;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildMenus();
  void buildToolbar();
  void buildStatusBar();
  QAction* addCommand(QMenu* menu, const QString& name, const QString& caption);
  void setCommandEnabled(const QString& name, bool on);
  void applyCommandColumn(CommandColumn column);

  std::map<QString, QAction*> commands_;
  std::array<QLabel*, 5> panels_{};
  QWidget* listArea_ = nullptr;
  std::int16_t sortToggle_ = 0;
  bool stored_ = false;
};

// The one archive window of the run, created and loaded on first use.
ArchiveWindow& TheArchiveWindow();
// Shows the window, creating and loading it on first use.
ArchiveWindow& ShowArchiveWindow();

}  // namespace kx
