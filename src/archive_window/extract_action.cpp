// unzip: taking entries out of the open archive (extract and test), and the
// menu entries of extracting, testing and deleting.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QScopeGuard>

#include "app/base/run_error.h"
#include "app/base/tokens.h"
#include "app/program_state.h"
#include "app/utility.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/zip_action.h"
#include "engine/functions/kx_identify.h"
#include "packers/ex_packer.h"
#include "platform/user_seam.h"
#include "settings/settings_dialog.h"
#include "shell/error_report.h"
#include "ui/progress_window.h"

namespace kx {
namespace {

std::int16_t KindOf(const QString& archive) {
  std::int16_t code = kind::None;
  KxIdentifyFile(archive.toStdString(), code);
  return code;
}

bool IsZipKind(std::int16_t code) { return code >= kind::Zip && code <= kind::Spanned; }
bool IsPackerKind(std::int16_t code) { return code >= kind::Lha && code <= kind::Arc; }

}  // namespace

QString ArchiveWindow::FileSpecOf(const QStringList& names) {
  QString spec;
  for (const QString& name : names) spec += ' ' + (name.contains(' ') ? '"' + name + '"' : name);
  return spec;
}

void ArchiveWindow::connectExtractDeleteCommands() {
  connect(command("mnuaextrakt"), &QAction::triggered, this, &ArchiveWindow::mnuaextrakt_Click);
  connect(command("mnutesten"), &QAction::triggered, this, &ArchiveWindow::mnutesten_Click);
  connect(command("mnualöschen"), &QAction::triggered, this, &ArchiveWindow::mnualoeschen_Click);
}

void ArchiveWindow::mnuaextrakt_Click() {
  bool shell = true;
  unzip(action::Extract, shell, false, true);
}

void ArchiveWindow::mnutesten_Click() {
  bool shell = false;
  unzip(action::Test, shell, false, false);
}

void ArchiveWindow::unzip(std::int16_t aktionsnr, bool& Shell, bool Einstellungen, bool Anima) {
  ProgramWideState& s = ProgramState();
  ErrorTrap err;
  const QString remembered = s.TargetFolder;
  // Every way out, the early ones too: a pending error is told, the flag and
  // the folder are as they were.
  const auto exit = qScopeGuard([&] {
    if (err) ReportError(err);
    EntpackenStarten = false;
    s.TargetFolder = remembered;
  });
  const auto showSettingsPage = [&](const char* key) {
    Form2 dialog(command("mnuadateibemerkung")->isEnabled(), this);
    dialog.selectTab(key);
    Seam().runModal(dialog);
  };

  if (Einstellungen) err([&] { showSettingsPage("unzip"); });
  if (s.Password.isEmpty() && s.EncryptedEntries != 0 && IsZipKind(KindOf(s.CurrentArchive))) {
    err([&] { showSettingsPage("passwort"); });
    if (s.Password.isEmpty()) return;
  }

  QString filespec = FileSpecOf(ListView1->selectedNames());
  if (!EntpackenStarten) {
    QString question = "Die selektierten Einträge Entpacken nach:";
    if (ListView1->selectedCount() == 0) {
      filespec = "*.*";
      question = "Das Archiv '" + QString::fromStdString(FileNameOfPath(s.CurrentArchive.toStdString())) +
                 "' Entpacken nach:";
    }
    const QString folder = BrowseForFolder(this, question);
    if (folder.isEmpty()) {
      setStatusMessage("Letzte Nachicht - Entpacken abgebrochen.");
      return;
    }
    s.TargetFolder = folder;
  }

  setEnabled(false);
  {
    const auto enable = qScopeGuard([this] { setEnabled(true); });
    const std::int16_t kind = KindOf(s.CurrentArchive);
    if (IsZipKind(kind)) {
      if (Anima) {
        err([&] {
          PlayAnimation(&TheProgressWindow(), "filecopy.avi");
          TheProgressWindow().show();
          QCoreApplication::processEvents();
        });
      }
      QApplication::setOverrideCursor(Qt::WaitCursor);
      err([&] { zip(KxZip1, filespec, aktionsnr); });
      // The progress handler may have taken the hourglass away on an error.
      if (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
      if (Anima) {
        setStatusMessage("Letzte Nachricht - Entpacken abgeschlossen...");
        CloseProgressWindow();
        QCoreApplication::processEvents();
      } else if (ProgressWindowLoaded() && !TheProgressWindow().isVisible()) {
        // Loaded unseen by the progress events; nothing shows it any more.
        CloseProgressWindow();
      }
    } else if (IsPackerKind(kind)) {
      bool done = false;
      err([&] { done = WorkExPacker(" e", filespec); });
      if (done) setStatusMessage("Letzte Nachricht - Entpacken abgeschlossen...");
      else Shell = false;
    }
  }

  if (Shell) {
    err([&] {
      if (!QDir::setCurrent(s.TargetFolder)) Raise(err::PathNotFound);
      Seam().openWithDesktop(QDir::currentPath());
    });
  }
}

}  // namespace kx
