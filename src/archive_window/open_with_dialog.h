#pragma once
// "Öffnen mit...": the programs of the freedesktop desktop that could open a
// file, whether the file's type has one at all, and our own chooser for the
// file types that have none. The chooser is a modal dialog shown through the
// user seam; the program it names is started with the file as its argument
// vector, never through a shell.
// Reading the desktop entries is plain file work (any thread); the dialog
// belongs to the user-interface thread. Nothing here reports an error itself:
// OpenWithProgram raises it for the caller's error trap.
#include <QDialog>
#include <QString>
#include <QStringList>

#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kx {

struct DesktopPlaces;

// An application as its desktop entry describes it.
struct DesktopApplication {
  QString id;          // "org.gnome.gedit.desktop": the path below applications/, "/" as "-"
  QString name;        // Name[de], else Name
  QString exec;        // the Exec line, the key file's escapes undone
  QStringList mimeTypes;
  bool shown = true;   // false for NoDisplay=true
};

// Every application entry under $XDG_DATA_HOME and $XDG_DATA_DIRS
// "/applications", an earlier folder hiding an entry of the same id in a
// later one; entries with Hidden=true or another Type are left out. Sorted
// by name.
std::vector<DesktopApplication> DesktopApplications(const DesktopPlaces& places);

// The MIME type of the file and its ancestors (application/octet-stream only
// when it is the file's own type), most specific first.
QStringList MimeTypesOfFile(const QString& path);

// True when a desktop entry or a mimeapps.list default or added association
// names a program for one of the file's MIME types.
bool HasAssociatedProgram(const QString& path, const DesktopPlaces& places);

// The argument vector of an Exec line for one file: words split at unquoted
// blanks, double quotes grouping (with \" \` \$ \\ inside), %f %F as the
// path, %u %U as its file URL, %% as "%", the other field codes dropped. A
// line without a file field code gets the path as its last word.
QStringList ExecArguments(const QString& exec, const QString& path);

// Starts the program of the Exec line with the file; a program that is not
// found raises "Datei nicht gefunden" (53), one that cannot be started
// "Zugriff verweigert" (70).
void OpenWithProgram(const QString& exec, const QString& path);

// frmOeffnenMit: the list of programs (those for the file's type first), a
// line with the chosen program's command that the user may edit or fill with
// "&Durchsuchen...", "&Öffnen" and "&Abbrechen".
class FrmOeffnenMit : public QDialog {
  Q_OBJECT
 public:
  FrmOeffnenMit(const QString& path, const std::vector<DesktopApplication>& applications,
                QWidget* parent = nullptr);

  // The command line chosen; empty after "&Abbrechen" or an empty line.
  QString chosenCommand() const { return chosen_; }

  QLabel* Label1 = nullptr;
  QListWidget* List1 = nullptr;
  QLineEdit* Text1 = nullptr;
  QPushButton* CommandOeffnen = nullptr;
  QPushButton* CommandAbbrechen = nullptr;
  QPushButton* CommandDurchsuchen = nullptr;

 private:
  QString chosen_;
};

}  // namespace kx
