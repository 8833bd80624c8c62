// Window-level commands: view mode, sorting, bars, colour, font, select all,
// the settings dialog, and the toolbar's dispatch.
#include <QAction>
#include <QStatusBar>
#include <QToolBar>

#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "platform/user_seam.h"
#include "settings/settings_dialog.h"

namespace kx {

void ArchiveWindow::mnuicon_Click(int index) {
  for (int i = 1; i <= 3; ++i) command(QString("mnuicon(%1)").arg(i))->setChecked(false);
  ListView1->setViewMode(index);
  if (QAction* entry = command(QString("mnuicon(%1)").arg(index))) entry->setChecked(true);
}

void ArchiveWindow::mnusortieren_Click(int index) { ListView1->setSortOrder(index - 1); }

void ArchiveWindow::ListView1_ColumnClick(int column) {
  sortToggle_ ^= 1;
  ListView1->setSortKey(column);
  ListView1->setSortOrder(sortToggle_ == 1 ? 0 : 1);
}

void ArchiveWindow::mnusymbolleisten_Click() {
  QAction* entry = command("mnusymbolleisten");
  // The check mark has already flipped with the click: act on what it was.
  const bool wasShown = !Toolbar1->isHidden();
  Toolbar1->setVisible(!wasShown);
  entry->setChecked(!wasShown);
}

void ArchiveWindow::mnustatusleiste_Click() {
  QAction* entry = command("mnustatusleiste");
  const bool wasShown = !statusBar()->isHidden();
  statusBar()->setVisible(!wasShown);
  entry->setChecked(!wasShown);
}

void ArchiveWindow::mnuMarkAll_Click() {
  if (ListView1->rowCount() == 0) return;
  ListView1->selectAll();
  archivlistcount();
}

void ArchiveWindow::mnufarbe_Click() {
  if (const auto colour = Seam().chooseColor(this, ListView1->backgroundColor())) ListView1->setBackgroundColor(*colour);
}

void ArchiveWindow::mnuschrift_Click() {
  if (const auto font = Seam().chooseFont(this, ListView1->listFont())) ListView1->setListFont(*font);
}

void ArchiveWindow::mnuaeinstellungen_Click() {
  Form2 dialog(command("mnuadateibemerkung")->isEnabled(), this);
  Seam().runModal(dialog);
}

void ArchiveWindow::Toolbar1_ButtonClick(const QString& key) {
  if (key == "öffnen") {
    mnuoeffnen_Click();
  } else if (key == "ansicht") {
    int checked = 0;
    for (int i = 1; i <= 3; ++i)
      if (command(QString("mnuicon(%1)").arg(i))->isChecked()) checked = i;
    mnuicon_Click(checked == 3 ? 1 : checked + 1);
  } else if (QAction* entry = command(key == "neu"              ? "mnu_Neu"
                                      : key == "update"         ? "mnu_Update"
                                      : key == "delete"         ? "mnualöschen"
                                      : key == "extrakt"        ? "mnuaextrakt"
                                      : key == "dateibemerkung" ? "mnuadateibemerkung"
                                      : key == "einstellungen"  ? "mnuaeinstellungen"
                                                                : "")) {
    // The commands behind these buttons hang on their menu entries.
    entry->trigger();
  }
}

}  // namespace kx
