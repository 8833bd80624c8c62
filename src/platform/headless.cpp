#include "platform/headless.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kx {
namespace {

bool Set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

// Without a display standard error is the user's only window: Qt's notes
// about the missing desktop (no runtime folder, no window manager) are
// noise there. Real failures of Qt still come through.
void QuietPlatformNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) return;
  std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  if (type == QtFatalMsg) std::abort();
}

}  // namespace

bool UseOffscreenWithoutDisplay() {
  if (IsHeadless() && !Set("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (IsHeadless()) qInstallMessageHandler(QuietPlatformNotes);
  return IsHeadless();
}

bool IsHeadless() {
  if (Set("QT_QPA_PLATFORM") && std::strcmp(std::getenv("QT_QPA_PLATFORM"), "offscreen") == 0)
    return true;
  return !Set("DISPLAY") && !Set("WAYLAND_DISPLAY");
}

}  // namespace kx
