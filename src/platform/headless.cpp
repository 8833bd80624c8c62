#include "platform/headless.h"

#include <cstdlib>
#include <cstring>

namespace kx {
namespace {

bool Set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

}  // namespace

bool UseOffscreenWithoutDisplay() {
  if (IsHeadless() && !Set("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  return IsHeadless();
}

bool IsHeadless() {
  if (Set("QT_QPA_PLATFORM") && std::strcmp(std::getenv("QT_QPA_PLATFORM"), "offscreen") == 0)
    return true;
  return !Set("DISPLAY") && !Set("WAYLAND_DISPLAY");
}

}  // namespace kx
