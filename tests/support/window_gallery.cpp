// Shows one of the program's small windows as the user sees it, for
// screenshots under Xvfb:  kx_window_gallery dialog|progress|kommando
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <cstring>

#include "app/utility.h"
#include "ui/message_dialog.h"
#include "ui/progress_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const char* which = argc > 1 ? argv[1] : "dialog";
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
