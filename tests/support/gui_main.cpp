// Test runner for window tests: one QApplication on the offscreen platform,
// settings and data folders pointed at a temporary folder so no test touches
// the user's own files.
#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/german_language.h"
#include "platform/icon_theme.h"
#include "support/test_support.h"

int main(int argc, char** argv) {
  static kxtest::TempDir home;
  setenv("XDG_CONFIG_HOME", (home.path() / "config").c_str(), 1);
  setenv("XDG_DATA_HOME", (home.path() / "data").c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  kx::UseGermanForQt();  // as the program does
  kx::UseIconTheme();
  return RUN_ALL_TESTS();
}
