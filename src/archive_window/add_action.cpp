// Creating and adding: "&Neu..." names a new archive, "&Hinzufügen/
// Vergleichen..." explains the procedure, and the drop zone Picture1 takes
// files and folders dragged from a file manager (text/uri-list of local
// files) and adds them in one engine action, or hands them to the packer of
// the archive's format. User-interface thread only.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QUrl>

#include "app/base/tokens.h"
#include "app/program_state.h"
#include "app/utility.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/zip_action.h"
#include "engine/functions/kx_identify.h"
#include "packers/ex_packer.h"
#include "platform/user_seam.h"
#include "ui/message_dialog.h"
#include "ui/progress_window.h"

namespace kx {
namespace {

const QString kNewArchiveFilter = QStringLiteral("Zip Archiv (*.ZIP)|*.ZIP|ZipMultivolume (*.001)|*.001");
const QString kAddTitle = QStringLiteral("Hinzufügen/Vergleichen");
const QString kDragExplanation = QStringLiteral(
    "Markieren Sie die Datei(en) oder Verzeichnisse"
    " im nun folgenden Explorerfenster und ziehen sie"
    " per Drag and Drop auf das Listenfeld oder klicken Sie auf Abbrechen.");
const QString kAddDone = QStringLiteral("Letzte Nachricht - Hinzufügen/Vergleichen abgeschlossen...");
const QString kAddCancelled = QStringLiteral("Letzte Nachricht - Hinzufügen/Vergleichen abgebrochen.");
constexpr int kNamesShown = 10;

// The local files and folders of dragged data, in the order given; empty
// when it offers no file list.
QStringList DroppedPaths(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    QString path = url.toLocalFile();
    while (path.size() > 1 && path.endsWith('/')) path.chop(1);
    if (!path.isEmpty()) paths << path;
  }
  return paths;
}

bool OffersFilesToCopy(const QDragMoveEvent& event) {
  return (event.possibleActions() & Qt::CopyAction) && !DroppedPaths(event.mimeData()).isEmpty();
}

// The engine reads its file specification as blank-separated names in
// double quotes where needed, and a "*" or "?" in a name's last part as a
// pattern (matched in every subfolder). A name holding a quote, or a file
// whose own name holds a wildcard, cannot be said that way.
bool SayableInFileSpec(const QString& path, bool folder) {
  if (path.contains('"')) return false;
  const QString own = QFileInfo(path).fileName();
  return folder || !(own.contains('*') || own.contains('?'));
}

// The file specification of a drop: a folder stands for everything in it,
// a name with a blank (or tab) is in double quotes; it starts with a blank.
QString DropFileSpec(const QStringList& paths) {
  QString spec;
  for (QString path : paths) {
    if (QFileInfo(path).isDir()) path += "/*.*";
    if (path.contains(' ') || path.contains('\t')) path = '"' + path + '"';
    spec += ' ' + path;
  }
  return spec;
}

// The switch text by which a packer adds files; empty for ZOO and ARC.
QString AddSwitchFor(std::int16_t kind) {
  if (kind == kind::Lha) return " a /r";
  if (kind == kind::Arj) return " a -e -r";
  return {};
}

// A name without any extension gets the dialog's default one, as the file
// dialog of the classic system added it.
QString WithDefaultExtension(const QString& name) {
  return QFileInfo(name).fileName().contains('.') ? name : name + ".zip";
}

// The folder a file-manager window opens on: the new or open archive's own,
// which is where the file dialog left the user.
QString ArchiveFolder() {
  const QString archive = ProgramState().CurrentArchive;
  return archive.isEmpty() ? QDir::currentPath() : QFileInfo(archive).absolutePath();
}

void NormalPointer() {
  while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

// Routes the drag events of the list and the drop zone to the window's
// handlers. A drop is taken at once and worked on after the drag has
// ended, so the file manager that started it is not kept waiting.
class DropZoneFilter : public QObject {
 public:
  explicit DropZoneFilter(ArchiveWindow& window) : QObject(&window), window_(window) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    const bool zone = watched == window_.Picture1;
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto& drag = *static_cast<QDragMoveEvent*>(event);
        if (zone) window_.Picture1_OLEDragOver(drag);
        else window_.ListView1_OLEDragOver(drag);
        return true;
      }
      case QEvent::DragLeave:
        // A drag that leaves the zone, or is given up, takes it away again.
        if (zone) window_.Picture1->hide();
        return zone;
      case QEvent::Drop: {
        auto& drop = *static_cast<QDropEvent*>(event);
        const QStringList dropped = DroppedPaths(drop.mimeData());
        // A drop right after the zone appeared may still reach the list.
        if (window_.Picture1->isHidden() || dropped.isEmpty() || !window_.isEnabled()) {
          drop.ignore();
          return true;
        }
        drop.setDropAction(Qt::CopyAction);
        drop.accept();
        window_.Picture1->hide();
        QMetaObject::invokeMethod(
            &window_, [w = &window_, dropped] { w->Picture1_OLEDragDrop(dropped); }, Qt::QueuedConnection);
        return true;
      }
      default: return false;
    }
  }

 private:
  ArchiveWindow& window_;
};

}  // namespace

void ArchiveWindow::connectAddCommands() {
  connect(command("mnu_Neu"), &QAction::triggered, this, &ArchiveWindow::mnu_Neu_Click);
  connect(command("mnu_Update"), &QAction::triggered, this, &ArchiveWindow::mnu_Update_Click);
  auto* filter = new DropZoneFilter(*this);
  ListView1->setAcceptDrops(true);
  ListView1->installEventFilter(filter);
  Picture1->setAcceptDrops(true);
  Picture1->installEventFilter(filter);
}

void ArchiveWindow::mnu_Neu_Click() {
  ProgramWideState& s = ProgramState();
  if (!s.CurrentArchive.isEmpty()) {
    const QString question = "Bevor ein neues Archiv erstellt werden kann"
                             " muß das aktuelle Archiv geschlossen werden."
                             " Das Archiv '" +
                             QString::fromStdString(FileNameOfPath(s.CurrentArchive.toStdString())) +
                             "' jetzt schließen?";
    if (ShowMessage(question, "", symbol::Question) != -1) return;
    mnuarchivschliessen_Click();
  }
  explorer_neuarchiv(QString());
}

void ArchiveWindow::explorer_neuarchiv(const QString& FileFilter) {
  ProgramWideState& s = ProgramState();
  const QString chosen = Seam().chooseSaveFile(this, "Neues Archiv erstellen",
                                               FileFilter.isEmpty() ? kNewArchiveFilter : FileFilter,
                                               QDir::currentPath());
  if (chosen.trimmed().isEmpty()) return;
  s.PendingComment.clear();
  s.Password.clear();
  s.CurrentArchive = WithDefaultExtension(chosen.trimmed());
  // The set's first volume: its file name ends in ".001" (a dot in a folder
  // name, or "name.zip.001", does not matter).
  s.Options.MultiVolume = QFileInfo(s.CurrentArchive).fileName().endsWith(".001");
  KxZip1.Recurse = true;
  setCommandEnabled("mnu_Update", true);
  setCommandEnabled("button:update", true);
  mnuaeinstellungen_Click();
  if (ShowMessage(kDragExplanation, kAddTitle, symbol::Question) == -1) {
    ArchivNeu = true;
    Seam().openWithDesktop(ArchiveFolder());
  } else {
    mnuarchivschliessen_Click();
  }
}

void ArchiveWindow::mnu_Update_Click() {
  if (ShowMessage(kDragExplanation, kAddTitle, symbol::Question) == -1) Seam().openWithDesktop(ArchiveFolder());
}

void ArchiveWindow::ListView1_OLEDragOver(QDragMoveEvent& event) {
  const QAction* update = command("mnu_Update");
  if (update && update->isEnabled() && OffersFilesToCopy(event)) {
    event.setDropAction(Qt::CopyAction);
    event.accept();
    Picture1->setGeometry(ListView1->geometry());
    Picture1->show();
    Picture1->raise();
  } else {
    event.ignore();
  }
}

void ArchiveWindow::Picture1_OLEDragOver(QDragMoveEvent& event) {
  if (OffersFilesToCopy(event)) {
    event.setDropAction(Qt::CopyAction);
    event.accept();
  } else {
    event.ignore();
    Picture1->hide();
  }
}

void ArchiveWindow::Picture1_OLEDragDrop(const QStringList& dropped) {
  ProgramWideState& s = ProgramState();
  QStringList sayable, unsayable;
  for (const QString& path : dropped)
    (SayableInFileSpec(path, QFileInfo(path).isDir()) ? sayable : unsayable) << path;

  Picture1->hide();
  KxZip1.Recurse = true;
  if (dropped.isEmpty()) return;
  PathDisk = QDir::currentPath();
  if (PathMain != PathDisk) QDir::setCurrent(PathMain);

  setEnabled(false);
  // A new archive that exists after all (named over an old one, or made by
  // a later drop) is asked for its kind like any other.
  std::int16_t kind = kind::Zip;
  if (!ArchivNeu || QFileInfo::exists(s.CurrentArchive)) KxIdentifyFile(s.CurrentArchive.toStdString(), kind);
  // An archive the listing showed without knowing its kind is taken as a
  // ZIP archive there too: the engine then says what is wrong with it.
  if (kind >= kind::None && kind <= kind::Spanned) {
    if (!unsayable.isEmpty())
      ShowMessage("Diese Dateien können nicht hinzugefügt werden, weil ihr Name ein Anführungszeichen oder"
                  " eines der Zeichen * ? enthält:\n" +
                      unsayable.mid(0, kNamesShown).join('\n'),
                  kAddTitle, symbol::Error);
    if (!sayable.isEmpty()) {
      PlayAnimation(&TheProgressWindow(), "filecopy.avi");
      TheProgressWindow().show();
      QCoreApplication::processEvents();
      QApplication::setOverrideCursor(Qt::WaitCursor);
      zip(KxZip1, DropFileSpec(sayable), action::Add);
      NormalPointer();
      setStatusMessage(KxZip1.LastResult() == rc::Cancelled ? kAddCancelled : kAddDone);
      CloseProgressWindow();
      QCoreApplication::processEvents();
    }
  } else if (kind >= kind::Lha && kind <= kind::Arc) {
    // The packer gets the names one by one, so no name needs quoting and
    // no number of names meets a command-line limit.
    if (WorkExPacker(AddSwitchFor(kind), dropped)) setStatusMessage(kAddDone);
  }
  setEnabled(true);

  // A new archive that the add did not make (cancelled, failed) stays new:
  // there is nothing to list, and the next drop makes it.
  if (ArchivNeu && !QFileInfo::exists(s.CurrentArchive)) return;
  viewzip(s.CurrentArchive);
  ArchivNeu = false;
}

}  // namespace kx
