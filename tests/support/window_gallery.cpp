// Shows one of the program's small windows as the user sees it, for
// screenshots under Xvfb:  kx_window_gallery dialog|progress|kommando
//                          kx_window_gallery settings [zip|unzip|passwort|bemerkung|schnellansicht|expacker]
//                          kx_window_gallery hilfe [CONTEXT]
//                          kx_window_gallery schnellansicht FILE [hex]
//                          kx_window_gallery archivansicht ARCHIVE ENTRY
//                          kx_window_gallery start   (three recent archives)
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTimer>

#include <cstring>

#include "app/program_state.h"
#include "app/utility.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/entry_model.h"
#include "quickview/quick_view.h"
#include "quickview/quick_viewer_window.h"
#include "platform/german_language.h"
#include "platform/icon_theme.h"
#include "settings/settings_dialog.h"
#include "settings/settings_store.h"
#include "start_dialog/start_dialog.h"
#include "ui/help_window.h"
#include "ui/message_dialog.h"
#include "ui/progress_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const char* which = argc > 1 ? argv[1] : "dialog";
  kx::UseGermanForQt();
  kx::UseIconTheme();
  if (std::strcmp(which, "settings") == 0) {
    // An open archive with a comment, and a viewer that exists.
    kx::ProgramWideState& s = kx::ProgramState();
    s.CurrentArchive = "/home/u/Projekte/Archiv.zip";
    s.PendingComment = "Sicherung der Projektdateien vom 3. März";
    s.TargetFolder = "/tmp";
    QString viewer = QStandardPaths::findExecutable("xdg-open");
    if (viewer.isEmpty()) viewer = QStandardPaths::findExecutable("less");
    kx::SaveSetting(kx::kAppName, "Startup", "Externer Viewer", viewer);
    kx::SaveSetting(kx::kAppName, "Startup", "ExPackerARJ", "/usr/bin/arj");
    auto* form = new kx::Form2(true);
    form->selectTab(argc > 2 ? QString::fromUtf8(argv[2]) : QString("zip"));
    form->show();
    return app.exec();
  }
  if (std::strcmp(which, "start") == 0) {
    const QString folder = QDir::tempPath() + "/Kravix Galerie";
    QDir().mkpath(folder);
    int i = 0;
    for (const char* name : {"Projekte.zip", "Fotos vom Urlaub.zip", "Sicherung.001"}) {
      QFile file(folder + "/" + name);
      file.open(QIODevice::WriteOnly);
      file.write("PK\x05\x06", 4);
      kx::SaveSetting(kx::kAppName, "Startup", QString::number(++i), file.fileName());
    }
    auto* start = new kx::FrmStart;
    start->show();
    return app.exec();
  }
  if (std::strcmp(which, "hilfe") == 0) {
    kx::ShowHelp(argc > 2 ? std::atoi(argv[2]) : kx::help::Contents);
    return app.exec();
  }
  if (std::strcmp(which, "schnellansicht") == 0 && argc > 2) {
    kx::ProgramState().IntegratedViewer = true;
    kx::ShowQuickView(QString::fromUtf8(argv[2]));
    if (argc > 3) kx::TheQuickViewer().mnu_hex_Click();
    return app.exec();
  }
  if (std::strcmp(which, "archivansicht") == 0 && argc > 3) {
    // The archive listed, the entry marked, "&Schnellansicht..." chosen.
    kx::ArchiveWindow& w = kx::ShowArchiveWindow();
    kx::ProgramState().IntegratedViewer = true;
    kx::ProgramState().CurrentArchive = QString::fromUtf8(argv[2]);
    w.viewzip(kx::ProgramState().CurrentArchive);
    for (int row = 0; row < w.ListView1->rowCount(); ++row)
      if (w.ListView1->model()->row(row).name == QString::fromUtf8(argv[3])) w.ListView1->selectRow(row);
    w.mnuSchnellansicht_Click();
    return app.exec();
  }
  if (std::strcmp(which, "progress") == 0) {
    kx::ProgressWindow& w = kx::TheProgressWindow();
    w.Label1->setText(" Entpacken...readme.txt");
    w.ProgressBar1->setValue(42);
    w.show();
    kx::PlayAnimation(&w, "filecopy.avi");
    return app.exec();
  }
  if (std::strcmp(which, "kommando") == 0) {
    kx::FrmKommando w;
    w.Label1->setText("/HOME/U/ARCHIV.ZIP wird Entpackt, Bitte warten...");
    w.show();
    kx::PlayAnimation(&w, "filecopy.avi");
    return app.exec();
  }
  const int symbol = argc > 2 ? std::atoi(argv[2]) : 1;
  kx::ShowMessage(argc > 3 ? QString::fromUtf8(argv[3]) : QString("Soll die Datei wirklich gelöscht werden?"),
                  "", symbol);
  return 0;
}
