// "&Schnellansicht...": the selected entries extracted into the target
// folder, the first of them shown in the chosen viewer.
#include <QAction>
#include <QFileInfo>

#include "app/base/run_error.h"
#include "app/base/tokens.h"
#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/entry_rows.h"
#include "quickview/quick_view.h"
#include "shell/error_report.h"

namespace kx {

void ArchiveWindow::connectQuickViewCommands() {
  connect(command("mnuSchnellansicht"), &QAction::triggered, this, &ArchiveWindow::mnuSchnellansicht_Click);
}

QString ArchiveWindow::QuickViewCandidate(const QString& folder, const QString& storedName) {
  const QString base = WithTrailingSlash(folder);
  QString candidate = base + storedName;
  if (!QFileInfo::exists(candidate))
    candidate = base + QString::fromStdString(FileNameOfPath(storedName.toStdString()));
  const QFileInfo info(candidate);
  if (!info.exists() || info.isDir()) return {};
  // A stored name with "../" or a link extracted earlier could point out of
  // the target folder; only a file inside it is handed to a viewer.
  const QString inside = WithTrailingSlash(QFileInfo(folder).canonicalFilePath());
  if (!info.canonicalFilePath().startsWith(inside)) return {};
  return candidate;
}

void ArchiveWindow::mnuSchnellansicht_Click() {
  if (ListView1->selectedCount() == 0) return;
  ErrorTrap err;
  err([&] {
    EntpackenStarten = true;
    bool shell = false;
    unzip(action::Extract, shell, false, false);
  });
  QString shown;
  err([&] {
    const QString name = ListView1->firstSelectedName();
    if (!name.isEmpty()) shown = QuickViewCandidate(ProgramState().TargetFolder, name);
  });
  if (!shown.isEmpty()) ShowQuickView(shown);
  if (err) ReportError(err);
}

}  // namespace kx
