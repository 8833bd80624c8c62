// The archive window's commands that each hand one job to another part: the
// archive comment (the settings dialog's page "bemerkung"), UU decoding and
// encoding (the engine library's UU functions) and the self-extractor
// program zipexe beside Kravix.
#include "archive_window/comment_uu_commands.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdint>

#include "app/base/run_error.h"
#include "app/utility.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "engine/functions/kx_uu.h"
#include "platform/user_seam.h"
#include "settings/settings_dialog.h"
#include "shell/error_report.h"
#include "ui/message_dialog.h"

namespace kx {
namespace {

constexpr const char* kDecodeFilter = "UUE Dateien(*.UUE)|*.UUE";
constexpr const char* kEncodeFilter = "Alle Dateien(*.*)|*.*";

// The file dialog of a UU command, opened in the current folder. The classic
// open dialog made the chosen file's folder the current one; decoding writes
// there and the next dialog starts there, so this one does the same.
QString ChooseUuFile(QWidget* owner, const QString& title, const QString& filter) {
  const QString chosen = Seam().chooseOpenFile(owner, title, filter, QDir::currentPath());
  if (!chosen.isEmpty()) QDir::setCurrent(QFileInfo(chosen.trimmed()).absolutePath());
  return chosen;
}

// The hourglass and the disabled window while a UU function runs; both end
// with the scope or with end(), whichever comes first.
class UuWork {
 public:
  explicit UuWork(QWidget* window) : window_(window) {
    window_->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~UuWork() { end(); }
  void end() {
    if (!running_) return;
    running_ = false;
    QApplication::restoreOverrideCursor();
    window_->setEnabled(true);
  }

 private:
  QWidget* window_;
  bool running_ = true;
};

}  // namespace

QString WithoutExtension(const QString& name) {
  const qsizetype dot = name.indexOf('.');
  return (dot < 0 ? name : name.left(dot)).trimmed();
}

void ArchiveWindow::connectCommentUuCommands() {
  connect(command("mnuadateibemerkung"), &QAction::triggered, this, &ArchiveWindow::mnuadateibemerkung_Click);
  connect(command("mnu_UUDecode"), &QAction::triggered, this, &ArchiveWindow::mnu_UUDecode_Click);
  connect(command("mnu_UUEncode"), &QAction::triggered, this, &ArchiveWindow::mnu_UUEncode_Click);
  connect(command("mnuexedatei"), &QAction::triggered, this, &ArchiveWindow::mnuexedatei_Click);
}

void ArchiveWindow::mnuadateibemerkung_Click() {
  if (ListView1->rowCount() == 0) return;
  Form2 dialog(command("mnuadateibemerkung")->isEnabled(), this);
  dialog.selectTab("bemerkung");
  Seam().runModal(dialog);
}

void ArchiveWindow::mnu_UUDecode_Click() {
  const QString chosen = ChooseUuFile(this, "UU-Decodieren", kDecodeFilter);
  if (chosen.isEmpty()) return;
  const QString target = QDir::currentPath();
  const QString source = chosen.trimmed();
  UuWork work(this);
  const std::int16_t result = KxUUDecode(source.toStdString(), target.toStdString());
  if (result != 0) {
    work.end();
    ShowMessage("Die Datei " + source + " konnte nicht decodiert werden.", "UU-Entcodieren", symbol::Error);
  }
}

void ArchiveWindow::mnu_UUEncode_Click() {
  const QString chosen = ChooseUuFile(this, "UU-Codieren", kEncodeFilter);
  if (chosen.isEmpty()) return;
  const QString source = chosen.trimmed();
  const QString target = WithoutExtension(source) + ".uue";
  // The first-dot rule can name a file that has nothing to do with the
  // source ("/v1.2/a.txt" -> "/v1.uue"), or the source itself: never
  // replace a file unasked.
  if (QFileInfo::exists(target) &&
      ShowMessage("Die Datei '" + target + "' besteht bereits. Soll sie ersetzt werden?", "UU-Codieren",
                  symbol::Question) != -1)
    return;
  UuWork work(this);
  std::int32_t written = 0;
  const std::int16_t result = KxUUEncode(source.toStdString(), target.toStdString(), 0, 0, written);
  if (result != 0) {
    work.end();
    ShowMessage("Die Datei '" + source + "' konnte nicht verschlüsselt werden.", "UU-Codieren", symbol::Error);
  }
}

void ArchiveWindow::mnuexedatei_Click() {
  ErrorTrap err;
  QString path;
  err([&] { path = ProgramFolder() + "/zipexe"; });
  err([&] {
    if (FileExists(path) && !Seam().startProgram(path, {})) Raise(err::PathFileAccessError);
  });
  if (err) ReportError(err);
}

}  // namespace kx
