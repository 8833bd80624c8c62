#include "ui/help_window.h"

#include <QDialog>
#include <QDirIterator>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "archive_window/window_fixture.h"
#include "archive_window/entry_list_view.h"
#include "quickview/quick_viewer_window.h"
#include "settings/settings_dialog.h"
#include "sfx/zipexe_window.h"
#include "start_dialog/start_dialog.h"
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
    {help::StartDialog, "Der Startdialog"},
    {help::SelfExtractor, "Selbstentpackende Dateien (EXE-Datei erstellen)"},
};

QString ReadSource(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  return QString::fromUtf8(f.readAll());
}

TEST(HelpWindow, EachContextNumberOpensItsTopicInTheDocumentBesideTheProgram) {
  for (auto [context, heading] : kTopics) {
    ShowHelp(context);
    ExpectAtTopic(context, QString::fromUtf8(heading));
  }
  TheHelpWindow().CommandInhalt->click();
  ExpectAtTopic(help::Contents, "Kravix - Inhalt");
}

// The context numbers are the constants of help_window.h; every help:: name
// the program uses is one of them, each has its topic with the heading of
// kTopics, and every link inside the document leads to an anchor of it.
TEST(HelpWindow, EveryContextNumberOfTheProgramHasItsTopicAndEveryLinkItsAnchor) {
  std::map<QString, int> constants;
  const QRegularExpression constant(R"(inline constexpr int (\w+) = (\d+);)");
  for (auto m = constant.globalMatch(ReadSource(KX_SOURCE_DIR "/ui/help_window.h")); m.hasNext();) {
    const auto c = m.next();
    constants[c.captured(1)] = c.captured(2).toInt();
  }
  ASSERT_EQ(constants.size(), std::size(kTopics));
  for (QDirIterator it(KX_SOURCE_DIR, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
    for (auto m = QRegularExpression(R"(help::(\w+))").globalMatch(ReadSource(it.next())); m.hasNext();)
      EXPECT_TRUE(constants.count(m.next().captured(1))) << it.filePath().toStdString();

  ShowHelp(help::Contents);
  const QTextDocument& doc = *TheHelpWindow().Browser1->document();
  for (const auto& [name, context] : constants) {
    const auto row = std::find_if(std::begin(kTopics), std::end(kTopics), [&](auto t) { return t.first == context; });
    ASSERT_NE(row, std::end(kTopics)) << name.toStdString();
    EXPECT_EQ(TextAtAnchor(doc, QString("topic-%1").arg(context)), QString::fromUtf8(row->second));
  }
  QStringList anchors, links;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      anchors << it.fragment().charFormat().anchorNames();
      if (it.fragment().charFormat().anchorHref().startsWith('#')) links << it.fragment().charFormat().anchorHref();
    }
  EXPECT_GT(links.size(), 50);
  for (const QString& link : links) EXPECT_TRUE(anchors.contains(link.mid(1))) << link.toStdString();
}

// F1 in a window, or in a control of it that has no use for the key.
TEST(HelpWindow, F1InEachWindowOpensItsTopic) {
  kxtest::ForgetEverythingStored();
  kxtest::ScriptedUserScope user;
  ArchiveWindow archive;
  FrmStart start;
  auto* viewer = new FrmQuickvw;
  ZipexeWindow zipexe;
  const struct {
    QWidget* window;
    QWidget* pressed;
    int context;
  } rows[] = {
      {&archive, archive.ListView1, help::Contents},
      {&start, start.findChild<QTreeWidget*>("ListView1"), help::StartDialog},
      {viewer, viewer, help::QuickView},
      {&zipexe, zipexe.TextZip, help::SelfExtractor},
  };
  for (const auto& row : rows) {
    ASSERT_NE(row.pressed, nullptr) << row.context;
    row.window->show();
    TheHelpWindow().hide();
    QTest::keyClick(row.pressed, Qt::Key_F1);
    const auto t = std::find_if(std::begin(kTopics), std::end(kTopics), [&](auto k) { return k.first == row.context; });
    ExpectAtTopic(row.context, QString::fromUtf8(t->second));
    row.window->hide();
  }
  delete viewer;
  EXPECT_TRUE(user->asked.empty());
  kxtest::ForgetEverythingStored();
}

// A modal dialog blocks every other window: the help shown from it is the
// dialog's own window until the dialog ends, then a window of its own again.
TEST(HelpWindow, ShownFromAModalDialogItBelongsToTheDialogUntilItEnds) {
  QDialog dialog;
  dialog.setModal(true);
  dialog.show();
  ShowHelp(help::SettingsZip);
  EXPECT_EQ(TheHelpWindow().parentWidget(), &dialog);
  EXPECT_TRUE(TheHelpWindow().isWindow());
  dialog.reject();
  EXPECT_EQ(TheHelpWindow().parentWidget(), nullptr);
  ExpectAtTopic(help::SettingsZip, "Einstellungen: Zip");
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
