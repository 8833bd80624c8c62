#include "ui/message_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include "support/scripted_user.h"

namespace kx {
namespace {

TEST(ShowMessage, ShowsTextTitleAndSymbolAndReturnsTheAnswer) {
  kxtest::ScriptedUserScope scope;
  scope->answerMessage(-1).answerMessage(0);

  EXPECT_EQ(ShowMessage("Archiv löschen?", "Löschen", symbol::Question), -1);
  EXPECT_EQ(ShowMessage("Fehler im Archiv.", "Fehler", symbol::Error), 0);

  ASSERT_EQ(scope->asked.size(), 2u);
  EXPECT_EQ(scope->asked[0].title, "Löschen");
  EXPECT_EQ(scope->asked[0].text, "Archiv löschen?");
  EXPECT_EQ(scope->asked[0].symbol, 1);
  EXPECT_EQ(scope->asked[1].title, "Fehler");
  EXPECT_EQ(scope->asked[1].symbol, 2);
  EXPECT_EQ(TheMessageDialog().tag(), "0");
}

TEST(ShowMessage, EmptyTitleAndTextGetTheirDefaults) {
  kxtest::ScriptedUserScope scope;
  scope->answerMessage(-1);
  EXPECT_EQ(ShowMessage("", "", symbol::Information), -1);
  ASSERT_EQ(scope->asked.size(), 1u);
  EXPECT_EQ(scope->asked[0].title, "Sicherheitsabfrage");
  EXPECT_EQ(scope->asked[0].text, "Es wurde keine Meldung übergeben...");
  EXPECT_EQ(scope->asked[0].symbol, 3);
  EXPECT_EQ(TheMessageDialog().tag(), "-1");
}

TEST(ShowMessage, ClosingWithoutAButtonCountsAsCancelEvenAfterAYes) {
  kxtest::ScriptedUserScope scope;
  scope->answerMessage(-1).answerDialog([](QDialog& d) { d.reject(); });
  EXPECT_EQ(ShowMessage("eins", "T", 1), -1);
  EXPECT_EQ(ShowMessage("zwei", "T", 1), 0);
}

TEST(FrmDialog, HasTheDesignedControlsAndHidesAfterAnswering) {
  FrmDialog& dialog = TheMessageDialog();
  EXPECT_EQ(dialog.objectName(), "frmDialog");
  auto* cancel = dialog.findChild<QPushButton*>("Command1_0");
  auto* apply = dialog.findChild<QPushButton*>("Command1_1");
  ASSERT_TRUE(cancel && apply);
  EXPECT_EQ(cancel->text(), "&Abbrechen");
  EXPECT_EQ(apply->text(), "&Übernehmen");
  EXPECT_NE(dialog.findChild<QLabel*>("Label1"), nullptr);
  EXPECT_NE(dialog.findChild<QLabel*>("Image1"), nullptr);
  EXPECT_NE(dialog.findChild<QWidget*>("Line1_0"), nullptr);
  EXPECT_NE(dialog.findChild<QWidget*>("Line1_1"), nullptr);
  // Three different pictures, none empty.
  for (const auto& p : dialog.ImageList1) EXPECT_FALSE(p.isNull());
  EXPECT_NE(dialog.ImageList1[0].toImage(), dialog.ImageList1[1].toImage());
  EXPECT_NE(dialog.ImageList1[1].toImage(), dialog.ImageList1[2].toImage());
  EXPECT_EQ(dialog.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Window));

  dialog.show();
  apply->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.tag(), "-1");
  dialog.show();
  cancel->click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.tag(), "0");
  EXPECT_EQ(&TheMessageDialog(), &dialog) << "the dialog stays loaded for the next call";
}

}  // namespace
}  // namespace kx
