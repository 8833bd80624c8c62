// Drives the archive window as a user does, for bench/run.sh: adds a folder
// to a new archive as a drop onto the drop zone does, or extracts a whole
// archive through the extract command into a folder named beforehand. The
// progress window and its events run as in the program. Offscreen, the
// settings of a scratch home; exit status 0 when the work was done.
//
//   window_work_tool add ARCHIVE FOLDER
//   window_work_tool extract ARCHIVE FOLDER
#include <QApplication>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "platform/headless.h"

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "add") != 0 && std::strcmp(argv[1], "extract") != 0)) {
    std::fputs("usage: window_work_tool add|extract ARCHIVE FOLDER\n", stderr);
    return 2;
  }
  kx::UseOffscreenWithoutDisplay();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Kravix");
  QApplication::setOrganizationName("Kravix");
  const QString archive = QString::fromLocal8Bit(argv[2]);
  const QString folder = QString::fromLocal8Bit(argv[3]);

  kx::ArchiveWindow window;
  window.show();
  kx::ProgramWideState& state = kx::ProgramState();
  state.CurrentArchive = archive;
  if (std::strcmp(argv[1], "add") == 0) {
    window.ArchivNeu = !std::filesystem::exists(argv[2]);
    window.Picture1_OLEDragDrop({folder});
    return std::filesystem::exists(argv[2]) ? 0 : 1;
  }
  window.viewzip(archive);
  state.TargetFolder = folder;
  window.EntpackenStarten = true;
  bool shell = false;
  window.unzip(6, shell, false, true);
  return window.statusMessage().contains("abgeschlossen") ? 0 : 1;
}
