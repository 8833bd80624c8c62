#pragma once
// A fresh start for archive-window tests: no stored settings, no class keys,
// program-wide state as at program start.
#include <QApplication>
#include <QDragEnterEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QSettings>
#include <QTableView>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
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

// Drags over the list (the zone appears), onto the zone, and drops as a file
// manager does (text/uri-list); true when each step was taken. The add runs
// after the drop event.
inline bool DragAndDrop(kx::ArchiveWindow& window, const std::vector<std::filesystem::path>& paths,
                        bool files = true) {
  QMimeData data;
  QList<QUrl> urls;
  for (const auto& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p.string()));
  files ? data.setUrls(urls) : data.setText("nur Text");
  const auto send = [&](QWidget* to, QDropEvent&& e) { return QApplication::sendEvent(to, &e), e.isAccepted(); };
  const auto at = [&](QWidget* to) { return QPointF(to->rect().center()); };
  QWidget* list = window.ListView1->reportView()->viewport();
  const auto both = Qt::CopyAction | Qt::MoveAction;
  if (!send(list, QDragEnterEvent(at(list).toPoint(), both, &data, Qt::LeftButton, {})) || window.Picture1->isHidden() ||
      !send(window.Picture1, QDragEnterEvent(at(window.Picture1).toPoint(), both, &data, Qt::LeftButton, {})) ||
      !send(window.Picture1, QDropEvent(at(window.Picture1), both, &data, Qt::LeftButton, {})))
    return false;
  EXPECT_TRUE(window.Picture1->isHidden());
  QCoreApplication::processEvents();
  EXPECT_TRUE(window.isEnabled());
  return true;
}

}  // namespace kxtest
