// deletezip: taking the marked entries out of the open archive, and the
// command "&Löschen..." that asks before it.
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QScopeGuard>

#include "app/program_state.h"
#include "app/utility.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/entry_model.h"
#include "archive_window/zip_action.h"
#include "engine/functions/kx_identify.h"
#include "packers/ex_packer.h"
#include "ui/message_dialog.h"
#include "ui/progress_window.h"

namespace kx {
namespace {

const QString kDeleteTitle = QStringLiteral("Archivdateien Löschen...");
const QString kDeleteDone = QStringLiteral("Letzte Nachricht - Löschen abgeschlossen...");

// The engine's results that its progress handler tells the user itself.
bool ToldByTheEngine(std::int16_t result) {
  return result != rc::Ok && result != rc::Cancelled && result != rc::NoFiles;
}

}  // namespace

void ArchiveWindow::mnualoeschen_Click() {
  // The marks are counted here, not taken from the 16-bit counter: past
  // 32,767 marked rows it stops counting, and the every-row check below
  // must not let a whole large archive through.
  const int n = ListView1->selectedCount();
  if (n == 0) return;
  QString question;
  if (n == 1) {
    question = "Den Archiveintrag '" + ListView1->firstSelectedName().toUpper() + "' Löschen?";
  } else if (n == ListView1->rowCount()) {
    ShowMessage("Sie haben alle Archiveinträge zum Löschen selektiert. Das Archiv " + ProgramState().CurrentArchive +
                    " wird somit unbrauchbar. Es muß mindestens ein Archiveintrag vorhanden sein. Das Löschen wird "
                    "abgebrochen.",
                kDeleteTitle, symbol::Error);
    setStatusMessage("Letzte Nachricht - Löschen verweigert...");
    return;
  } else {
    question = "Die " + QString::number(n) + " selektierten Archiveinträge Löschen?";
  }
  if (ShowMessage(question, kDeleteTitle, symbol::Information) == -1) deletezip();
}

void ArchiveWindow::deletezip() {
  ProgramWideState& s = ProgramState();
  QStringList names;
  std::vector<EntryRow> kept;
  for (int row = 0; row < ListView1->rowCount(); ++row) {
    if (ListView1->isSelected(row)) names << ListView1->model()->row(row).name;
    else kept.push_back(ListView1->model()->row(row));
  }
  const QString filespec = FileSpecOf(names);
  // The marked rows go before the archive changes; the remaining ones keep
  // their order and icons, and none is marked.
  ListView1->model()->setRows(std::move(kept));
  ListView1->clearSelection();
  if (filespec.isEmpty()) return;

  setEnabled(false);
  const auto enable = qScopeGuard([this] { setEnabled(true); });
  // A failure the engine or the packer has already told is not told again
  // by the count check; the new listing repairs the list all the same.
  bool told = false;
  std::int16_t kind = kind::None;
  KxIdentifyFile(s.CurrentArchive.toStdString(), kind);
  if (kind >= kind::Zip && kind <= kind::Spanned) {
    PlayAnimation(&TheProgressWindow(), "filedelr.avi");
    TheProgressWindow().show();
    QCoreApplication::processEvents();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    zip(KxZip1, filespec, action::Delete);
    if (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    told = ToldByTheEngine(KxZip1.LastResult());
    setStatusMessage(kDeleteDone);
    CloseProgressWindow();
    QCoreApplication::processEvents();
  } else if (kind >= kind::Lha && kind <= kind::Arc) {
    const QString schalter = kind == kind::Lha ? " D" : " d";
    if (WorkExPacker(schalter, filespec)) setStatusMessage(kDeleteDone);
    else told = true;
  }

  // arj removes an archive whose last entry went: nothing to read, and no
  // "file not found" to tell.
  const bool gone = !QFileInfo::exists(s.CurrentArchive);
  KxZip1.ZipFile = s.CurrentArchive.toStdString();
  if (!gone) KxZip1.SetAction(action::ReadDirectory);
  if (!gone && KxZip1.EntryCount() > 0) {
    statusPanel(4)->setText(QString::number(KxZip1.EntryCount()));
    archivlistcount();
    if (ListView1->rowCount() != KxZip1.EntryCount()) {
      if (!told) ShowMessage("Fehler beim Löschen der selektierten Einträge.", "", symbol::Error);
      viewzip(s.CurrentArchive);
    }
  } else {
    NoFilesInZip();
  }
  KxZip1.SetAction(action::None);
}

}  // namespace kx
