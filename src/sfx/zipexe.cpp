// zipexe: makes self-extracting files from ZIP archives (zipexe_window.h).
//
//   zipexe [ZIP-ARCHIV]
#include <QApplication>

#include "platform/german_language.h"
#include "sfx/zipexe_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  kx::UseGermanForQt();
  kx::ZipexeWindow window(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
  window.show();
  return app.exec();
}
