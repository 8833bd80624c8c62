#pragma once
// A fresh start for archive-window tests: no stored settings, no class keys,
// program-wide state as at program start.
#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

#include <memory>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
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

// A fresh start with the archive window created and loaded, as at program start.
class LoadedWindow : public FreshStart {
 protected:
  void SetUp() override {
    FreshStart::SetUp();
    window_ = std::make_unique<kx::ArchiveWindow>();
    window_->Form_Load();
  }
  void TearDown() override {
    window_.reset();
    FreshStart::TearDown();
  }
  std::unique_ptr<kx::ArchiveWindow> window_;
};

}  // namespace kxtest
