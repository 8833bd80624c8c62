#include "ui/progress_window.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include "engine/cancel.h"
#include "ui/animation_control.h"

namespace kx {
namespace {

TEST(ProgressWindow, HasItsCaptionAndControls) {
  ProgressWindow& w = TheProgressWindow();
  EXPECT_EQ(w.windowTitle(), "Progress...");
  EXPECT_EQ(w.objectName(), "Progress");
  auto* bar = w.findChild<QProgressBar*>("ProgressBar1");
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 100);
  EXPECT_NE(w.findChild<QLabel*>("Label1"), nullptr);
  EXPECT_NE(w.findChild<AnimationControl*>("Animation1"), nullptr);
  auto* cancel = w.findChild<QPushButton*>("Command1");
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->text(), "&Abbrechen");
  CloseProgressWindow();
}

TEST(ProgressWindow, CancelAsksTheEngineToStopAndLeavesTheWindowOpen) {
  ClearCancel();
  ProgressWindow& w = TheProgressWindow();
  w.show();
  w.Command1->click();
  EXPECT_TRUE(CancelRequested());
  EXPECT_TRUE(w.isVisible());
  ClearCancel();
  CloseProgressWindow();
}

TEST(ProgressWindow, ReferringToItAfterClosingLoadsAFreshOne) {
  TheProgressWindow().ProgressBar1->setValue(60);
  TheProgressWindow().Label1->setText(" Entpacken...a.txt");
  CloseProgressWindow();
  EXPECT_FALSE(ProgressWindowLoaded());
  ProgressWindow& again = TheProgressWindow();
  EXPECT_TRUE(ProgressWindowLoaded());
  EXPECT_EQ(again.ProgressBar1->value(), 0);
  EXPECT_EQ(again.Label1->text(), "");
  CloseProgressWindow();
}

TEST(FrmKommando, HasItsCaptionAndControls) {
  FrmKommando w;
  EXPECT_EQ(w.windowTitle(), "Kravix - Kommandozeile...");
  EXPECT_EQ(w.objectName(), "frmkommando");
  EXPECT_NE(w.findChild<QLabel*>("Label1"), nullptr);
  EXPECT_NE(w.findChild<AnimationControl*>("Animation1"), nullptr);
}

}  // namespace
}  // namespace kx
