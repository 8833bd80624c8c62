// "&Deregistrierung...": takes back the file-type registration that the
// window writes when it loads (shell/file_types.h).
#include <QAction>
#include <QApplication>

#include "archive_window/archive_window.h"
#include "settings/settings_store.h"
#include "shell/file_types.h"
#include "ui/message_dialog.h"

namespace kx {

void ArchiveWindow::connectRegistrationCommands() {
  connect(command("mnuderegistrieung"), &QAction::triggered, this, &ArchiveWindow::mnuderegistrieung_Click);
}

void ArchiveWindow::mnuderegistrieung_Click() {
  const QString question = QStringLiteral(
      "Diese Option entfernt die Kravix Registrierung aus der "
      "Registrierdatenbank von Windows 95. Es wird empfohlen dies "
      "vor der Deinstallation von Kravix durchzuführen. "
      "\r\n"
      "Soll die Deregistrierung jetzt vorgenommen werden?");
  if (ShowMessage(question, "", symbol::Information) != -1) return;
  // The refresh tools run for a moment: the window waits with them.
  setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  RemoveFileTypes();
  QApplication::restoreOverrideCursor();
  setEnabled(true);
  SaveSetting(kAppName, "Startup", "Explorereintrag", "0");
}

}  // namespace kx
