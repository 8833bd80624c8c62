#pragma once
// A fresh start for archive-window tests: no stored settings, no class keys,
// program-wide state as at program start.
#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

#include "app/program_state.h"
#include "platform/class_keys.h"
#include "support/qt_print.h"
#include "support/test_support.h"

namespace kxtest {

inline void ForgetEverythingStored() {
  QFile::remove(QSettings(QSettings::IniFormat, QSettings::UserScope, "Kravix", "Kravix").fileName());
  QFile::remove(kx::ClassKeyStore::DefaultPath());
  kx::ProgramState() = kx::ProgramWideState{};
}

class FreshStart : public ::testing::Test {
 protected:
  void SetUp() override { ForgetEverythingStored(); }
  void TearDown() override { ForgetEverythingStored(); }
  TempDir dir_;
};

}  // namespace kxtest
