#include "ui/help_window.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "archive_window/window_fixture.h"
#include "settings/settings_dialog.h"
#include "support/scripted_user.h"

namespace kx {
namespace {

// The text of the block that holds the anchor, empty when there is none.
QString TextAtAnchor(const QTextDocument& doc, const QString& anchor) {
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().anchorNames().contains(anchor)) return b.text();
  return {};
}

void ExpectAtTopic(int context, const QString& heading) {
  HelpWindow& w = TheHelpWindow();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.topic(), context);
  EXPECT_EQ(w.Browser1->source().fileName(), "kravix.html");
  EXPECT_EQ(w.Browser1->source().fragment(), QString("topic-%1").arg(context));
  EXPECT_EQ(TextAtAnchor(*w.Browser1->document(), QString("topic-%1").arg(context)), heading) << context;
}

const std::pair<int, const char*> kTopics[] = {
    {help::Contents, "Kravix - Inhalt"},
    {help::Menus, "Die Menüs"},
    {help::QuickView, "Schnellansicht"},
    {help::SettingsZip, "Einstellungen: Zip"},
    {help::SettingsUnzip, "Einstellungen: Unzip"},
    {help::SettingsPassword, "Einstellungen: Passwort"},
    {help::SettingsComment, "Einstellungen: Bemerkung"},
    {help::SettingsViewer, "Einstellungen: Schnellansicht"},
    {help::SettingsPackers, "Einstellungen: Externe Packer"},
};

TEST(HelpWindow, EachContextNumberOpensItsTopicInTheDocumentBesideTheProgram) {
  for (auto [context, heading] : kTopics) {
    ShowHelp(context);
    ExpectAtTopic(context, QString::fromUtf8(heading));
  }
  TheHelpWindow().CommandInhalt->click();
  ExpectAtTopic(help::Contents, "Kravix - Inhalt");
}

class SettingsHelp : public kxtest::FreshStart {};

TEST_F(SettingsHelp, F1AndTheHelpButtonOpenTheTopicOfThePageInFront) {
  kxtest::ScriptedUserScope user;
  Form2 f(true);
  const char* keys[] = {"zip", "unzip", "passwort", "bemerkung", "schnellansicht", "expacker"};
  for (int i = 0; i < 6; ++i) {
    const auto [context, heading] = kTopics[3 + i];
    f.selectTab(keys[i]);
    TheHelpWindow().hide();
    if (i % 2 == 0)
      QTest::keyClick(&f, Qt::Key_F1);
    else
      f.findChild<QPushButton*>("Command1_2")->click();
    ExpectAtTopic(context, QString::fromUtf8(heading));
  }
  EXPECT_TRUE(user->asked.empty());
}

}  // namespace
}  // namespace kx
