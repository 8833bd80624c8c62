#include "quickview/quick_view.h"

#include <QAction>
#include <QVariant>

#include "app/base/run_error.h"
#include "app/base/tokens.h"
#include "app/program_state.h"
#include "app/utility.h"
#include "platform/user_seam.h"
#include "quickview/quick_viewer_window.h"
#include "settings/settings_store.h"
#include "shell/error_report.h"
#include "ui/message_dialog.h"

namespace kx {
namespace {

constexpr int kDllNotLoaded = 5;

void ShowIntegrated(const QString& path, ErrorTrap& err) {
  FrmQuickvw& window = TheQuickViewer();
  err([&] { window.show(); });
  err([&] {
    window.setTag(path);
    if (!window.Qview1) return window.Qview1_ErrorLoad(kDllNotLoaded);
    window.Qview1->setProperty("ViewerFile", path);
  });
  err([&] {
    window.setWindowTitle("Schnellansicht");
    window.setWindowTitle(window.windowTitle() + " - " + QString::fromStdString(FileNameOfPath(path.toStdString())));
  });
  err([&] {
    if (!window.Qview1) return;
    const bool searchable = IsSearchable(std::int16_t(window.Qview1->property("ViewerFileType").toInt()));
    window.command("mnu_suchen")->setEnabled(searchable);
    window.command("button:suchen")->setEnabled(searchable);
  });
}

void ShowExternal(const QString& path, ErrorTrap& err) {
  QString viewer;
  err([&] { viewer = GetSetting(kAppName, "Startup", "Externer Viewer", ""); });
  if (viewer.isEmpty()) {
    ShowMessage("Externer Viewer/Schnellansicht wurde noch nicht angegeben. Sie können einen Viewer im Dialog "
                "'Einstellungen' unter Registerkarte 'Schnellansicht' angeben.",
                "Nachricht", symbol::Error);
  } else if (!FileExists(viewer)) {
    ShowMessage("Externer Viewer/Schnellansicht konnte nicht gefunden werden oder wurde falsch angegeben. "
                "Überprüfen Sie den Pfad und die Zuweisung.",
                "Nachricht", symbol::Error);
  } else {
    // Program and file as two arguments: a path with blanks stays one word.
    err([&] {
      if (!Seam().startProgram(viewer, {path})) Raise(err::FileNotFound);
    });
  }
}

}  // namespace

bool IsSearchable(std::int16_t fileType) {
  for (std::int16_t code : {1, 5, 6, 7, 20, 23, 27})
    if (code == fileType) return true;
  return false;
}

void ShowQuickView(const QString& path) {
  ErrorTrap err;
  if (ProgramState().IntegratedViewer) ShowIntegrated(path, err);
  else ShowExternal(path, err);
  if (err) ReportError(err);
}

}  // namespace kx
