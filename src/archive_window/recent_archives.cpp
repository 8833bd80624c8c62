// The four recent archives of the "Archiv" menu, "Öffnen..." and reopening.
// The list lives in the menu entries themselves: entry i's caption is
// "&i " + path, and an entry is in use when its path is not empty.
#include <QAction>
#include <QApplication>
#include <QDir>

#include "app/base/run_error.h"
#include "app/base/tokens.h"
#include "app/program_state.h"
#include "app/utility.h"
#include "archive_window/archive_window.h"
#include "platform/user_seam.h"
#include "settings/settings_store.h"
#include "shell/error_report.h"

namespace kx {
namespace {

constexpr int kRecentCount = 4;
constexpr int kPrefixLength = 3;  // "&1 "
const QString kOpenFilter = QStringLiteral(
    "Zip Archiv (*.ZIP)|*.ZIP|ZipMultivolume (*.001)|*.001|Alle Archive "
    "(*.ZIP;*.001;*.ARC;*.ARJ;*.LZH;*.ZOO)|*.ARJ;*.ARC;*.LZH;*.ZIP;*.ZOO;*.001");

QString EntryName(int i) { return QString("mnudbmru(%1)").arg(i); }

QString ReadingMessage(const QString& path) {
  return "Archiv '" + QString::fromStdString(FileNameOfPath(path.toStdString())) +
         "' wird eingelesen... Bitte warten...";
}

}  // namespace

QString ArchiveWindow::RecentArchive(int i) const {
  const QAction* entry = command(EntryName(i));
  return entry ? entry->text().mid(kPrefixLength) : QString();
}

void ArchiveWindow::AddRecentArchive(const QString& path) {
  ErrorTrap err;
  const QString current = ProgramState().CurrentArchive;
  auto setEntry = [this](int i, const QString& p) { command(EntryName(i))->setText(QString("&%1 ").arg(i) + p); };
  err([&] {
    int match = 0;
    for (int i = 1; i <= kRecentCount && match == 0; ++i)
      if (RecentArchive(i) == current) match = i;  // exact: this file system tells letter cases apart
    const int from = match ? match : kRecentCount;
    for (int j = from; j >= 2; --j) setEntry(j, RecentArchive(j - 1));
    setEntry(1, path);
  });
  err([&] { command("mnustrich")->setVisible(true); });
  err([&] {
    for (int i = 1; i <= kRecentCount; ++i)
      if (!RecentArchive(i).isEmpty()) command(EntryName(i))->setVisible(true);
  });
  if (err) ReportError(err);
}

void ArchiveWindow::RestoreRecentArchives() {
  int placed = 0;
  for (int key = 1; key <= kRecentCount; ++key) {
    const QString path = GetSetting(kAppName, "Startup", QString::number(key), "");
    if (path.isEmpty() || !FileExists(path)) continue;
    ++placed;
    QAction* entry = command(EntryName(placed));
    entry->setText(QString("&%1 ").arg(placed) + path);
    entry->setVisible(true);
  }
  if (placed > 0) command("mnustrich")->setVisible(true);
}

void ArchiveWindow::StoreRecentArchives() {
  for (int i = 1; i <= kRecentCount; ++i)
    if (command(EntryName(i))->isVisible()) SaveSetting(kAppName, "Startup", QString::number(i), RecentArchive(i));
}

void ArchiveWindow::mnuoeffnen_Click() {
  const QString chosen = Seam().chooseOpenFile(this, "Archiv Öffnen", kOpenFilter, QDir::currentPath());
  if (chosen.isEmpty()) return;
  ProgramWideState& s = ProgramState();
  s.CurrentArchive.clear();
  s.CurrentArchive = chosen.trimmed();
  setStatusMessage(ReadingMessage(s.CurrentArchive));
  QApplication::processEvents();
  viewzip(s.CurrentArchive);
  AddRecentArchive(s.CurrentArchive);
  setStatusMessage("Letzte Nachricht - Archiv eingelesen...");
}

void ArchiveWindow::mnudbmru_Click(int index) {
  ErrorTrap err;
  ProgramWideState& s = ProgramState();
  err([&] { s.CurrentArchive = RecentArchive(index); });
  err([&] {
    setStatusMessage(ReadingMessage(s.CurrentArchive));
    QApplication::processEvents();
  });
  err([&] { viewzip(s.CurrentArchive); });
  err([&] { AddRecentArchive(s.CurrentArchive); });
  err([&] { setStatusMessage("Letzte Nachricht - Archiv eingelesen..."); });
  if (err) ReportError(err);
}

}  // namespace kx
