#include "shell/error_report.h"

#include <QFileInfo>

#include "app/base/run_error.h"
#include "platform/user_seam.h"
#include "ui/message_dialog.h"

namespace kx {

void ReportError(ErrorTrap& trap) {
  const QString text = "ERROR " + QString::number(trap.number()) + "\r\n (" +
                       QString::fromStdString(trap.description()) + ")";
  ShowMessage(text, "Nachricht", symbol::Error);
  trap.clear();
}

void ExploreFolder(QWidget*, const QString& folder) {
  if (!QFileInfo(folder).isDir()) return;
  Seam().openWithDesktop(folder);
}

}  // namespace kx
