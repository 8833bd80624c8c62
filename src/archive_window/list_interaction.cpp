// The entry list's own events: double-click and Enter (extract and start),
// the right-click menu; and the wiring of the help menu, "&Info", F1 and the
// toolbar's rearranging, whose handlers are in help_commands.cpp.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include "app/base/run_error.h"
#include "app/base/tokens.h"
#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/entry_rows.h"
#include "archive_window/open_with_dialog.h"
#include "platform/user_seam.h"
#include "shell/desktop_registration.h"
#include "shell/error_report.h"
#include "ui/message_dialog.h"

namespace kx {
namespace {

constexpr int kAgreed = -1;  // ShowMessage's "&Übernehmen"
constexpr int kEnter = 13;

bool Ask(const QString& question) { return ShowMessage(question, QString(), symbol::Information) == kAgreed; }

}  // namespace

void ArchiveWindow::ListView1_KeyPress(int KeyAscii) {
  if (KeyAscii == kEnter) ListView1_DblClick();
}

void ArchiveWindow::ListView1_MouseDown(Qt::MouseButton Button, const QPoint& globalPos) {
  if (Button == Qt::LeftButton || ListView1->selectedCount() == 0) return;
  if (auto* edit = menuBar()->findChild<QMenu*>("mnuabarbeiten")) edit->popup(globalPos);
}

QString ArchiveWindow::ExtractedEntryPath(const QString& folder, const QString& storedName) {
  const QString base = WithTrailingSlash(folder);
  QString path = base + storedName;
  if (!QFileInfo::exists(path)) path = base + QString::fromStdString(FileNameOfPath(storedName.toStdString()));
  const QFileInfo info(path);
  if (!info.exists() || path == base) return {};
  // A stored name with "../", or a link left in the folder, could lead out of
  // it: only what lies inside the target folder is started.
  const QString inside = WithTrailingSlash(QFileInfo(folder).canonicalFilePath());
  if (!WithTrailingSlash(info.canonicalFilePath()).startsWith(inside) || info.canonicalFilePath() + '/' == inside)
    return {};
  return path;
}

void ArchiveWindow::StartExtracted(const QString& path) {
  // The working folder of the started program, as the file manager would give it.
  QDir::setCurrent(WithTrailingSlash(ProgramState().TargetFolder));
  const DesktopPlaces places = DesktopPlaces::OfThisUser();
  if (QFileInfo(path).isDir() || HasAssociatedProgram(path, places)) {
    if (Seam().openWithDesktop(path)) return;
    if (QFileInfo(path).isDir()) Raise(err::PathNotFound);
  }
  FrmOeffnenMit chooser(path, DesktopApplications(places), this);
  Seam().runModal(chooser);
  if (!chooser.chosenCommand().isEmpty()) OpenWithProgram(chooser.chosenCommand(), path);
}

void ArchiveWindow::ListView1_DblClick() {
  ProgramWideState& s = ProgramState();
  ErrorTrap err;
  // 1.-2. Only with an archive shown and a row selected.
  if (!command("mnuaextrakt")->isEnabled()) return;
  const QString name = ListView1->firstSelectedName();
  if (name.isEmpty()) return;
  const QString fileName = QString::fromStdString(FileNameOfPath(name.toStdString()));

  if (name.endsWith('/')) {
    // 3. A folder entry: once where the user chooses, then on to step 5.
    if (!Ask("Das Verzeichnis " + name.toUpper() + " entpacken?")) return;
    err([&] {
      bool shell = false;
      unzip(action::Extract, shell, false, false);
    });
  } else if (!Ask("Den Archiveintrag " + fileName.toUpper() + " nach " + s.TargetFolder.toUpper() +
                  " entpacken und Starten?")) {
    // 4. A file entry the user does not want started.
    return;
  }
  // 5. Into TargetFolder without the folder question.
  err([&] {
    EntpackenStarten = true;
    bool shell = false;
    unzip(action::Extract, shell, false, false);
  });
  // 6.-8. Found under its stored name or its bare file name, then started.
  QString path;
  err([&] { path = ExtractedEntryPath(s.TargetFolder, name); });
  if (!path.isEmpty()) err([&] { StartExtracted(path); });
  // 9.
  if (err) ReportError(err);
}

void ArchiveWindow::connectListInteraction() {
  connect(ListView1, &EntryListView::activated, this, &ArchiveWindow::ListView1_DblClick);
  connect(ListView1, &EntryListView::clicked, this, &ArchiveWindow::archivlistcount);
  connect(ListView1, &EntryListView::contextMenuWanted, this,
          [this](const QPoint& pos) { ListView1_MouseDown(Qt::RightButton, pos); });
  connect(command("mnuhinhalt"), &QAction::triggered, this, &ArchiveWindow::mnuhinhalt_Click);
  connect(command("mnuhmenü"), &QAction::triggered, this, &ArchiveWindow::mnuhmenue_Click);
  connect(command("mnuhinfo"), &QAction::triggered, this, &ArchiveWindow::mnuhinfo_Click);
  watchToolbarLayout();
}

}  // namespace kx
