// Kravix: the program's entry point.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "app/entry.h"
#include "platform/german_language.h"
#include "platform/headless.h"
#include "platform/icon_theme.h"

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kx::UsageText().toUtf8().constData(), stdout);
    return 0;
  }
  kx::UseOffscreenWithoutDisplay();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Kravix");
  QApplication::setOrganizationName("Kravix");
  kx::UseGermanForQt();
  kx::UseIconTheme();

  QStringList args = QApplication::arguments();
  args.removeFirst();
  const kx::EntryOutcome outcome = kx::RunEntryRoutine(args);
  if (!outcome.runEventLoop) return outcome.exitCode;
  return app.exec();
}
