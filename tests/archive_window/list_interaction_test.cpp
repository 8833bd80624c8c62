// The entry list's double-click and Enter, its right-click menu and drag-over,
// select all, the help menu, "&Info" and the toolbar's layout, on a real
// archive made by Info-ZIP's zip and a desktop of its own (XDG folders in the
// test's temporary folder).
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include <gtest/gtest.h>

#include "archive_window/about_dialog.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/entry_model.h"
#include "archive_window/open_with_dialog.h"
#include "archive_window/window_fixture.h"
#include "support/scripted_user.h"
#include "ui/help_window.h"

namespace kx {
namespace {

QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

class ListInteraction : public kxtest::LoadedWindow {
 protected:
  void SetUp() override {
    LoadedWindow::SetUp();
    // A desktop that knows one program, for plain text only, and the
    // system's MIME database.
    saved_ = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS", (dir_ / "share").c_str());
    std::filesystem::create_directories(dir_ / "share");
    std::filesystem::create_directory_symlink("/usr/share/mime", dir_ / "share/mime");
    kxtest::WriteFile(dir_ / "share/applications/leser.desktop",
                      "[Desktop Entry]\nType=Application\nName=Leser\nExec=cat --show-ends %f\nMimeType=text/plain;\n");
    ProgramState().TargetFolder = Q(dir_ / "ziel");
    std::filesystem::create_directories(dir_ / "ziel");
  }
  void TearDown() override {
    qputenv("XDG_DATA_DIRS", saved_);
    LoadedWindow::TearDown();
  }
  // Info-ZIP's zip with a folder entry "Ordner/", its file, a text and a binary file.
  void listArchive() {
    kxtest::WriteFile(dir_ / "src/Ordner/innen.txt", "innen\n");
    kxtest::WriteFile(dir_ / "src/liesmich.txt", "Text\n");
    kxtest::WriteFile(dir_ / "src/daten.kxq", std::string("\x01\x02\x00\xff\xfe", 5));
    ASSERT_EQ(kxtest::Run({"zip", "-q", "-r", "../a.zip", "."}, dir_ / "src").exitCode, 0);
    ProgramState().CurrentArchive = Q(dir_ / "a.zip");
    window_->viewzip(ProgramState().CurrentArchive);
  }
  void select(const QString& name) {
    for (int row = 0; row < window_->ListView1->rowCount(); ++row)
      if (window_->ListView1->model()->row(row).name == name) window_->ListView1->selectRow(row);
    ASSERT_EQ(window_->ListView1->firstSelectedName(), name);
  }
  QByteArray saved_;
};

TEST_F(ListInteraction, DoubleClickWithoutArchiveOrSelectionDoesNothing) {
  kxtest::ScriptedUserScope user;
  window_->ListView1_DblClick();  // no archive shown
  listArchive();
  window_->ListView1_DblClick();  // nothing selected
  window_->ListView1_KeyPress(13);
  EXPECT_TRUE(user->asked.empty());
  EXPECT_TRUE(user->opened.empty());
}

TEST_F(ListInteraction, FileEntryFoundByItsBareNameAndOpenedWithItsProgram) {
  kxtest::ScriptedUserScope user;
  user->answerMessage(-1);
  listArchive();
  ProgramState().Options.RestoreFolders = false;  // innen.txt lands directly in the target
  select("Ordner/innen.txt");
  window_->ListView1_KeyPress(13);
  ASSERT_EQ(user->asked.size(), 1u);
  EXPECT_EQ(user->asked[0].text, "Den Archiveintrag INNEN.TXT nach " + Q(dir_ / "ziel").toUpper() +
                                     " entpacken und Starten?");
  EXPECT_EQ(user->opened, std::vector<QString>{Q(dir_ / "ziel/innen.txt")});
}

TEST_F(ListInteraction, DeclinedQuestionExtractsNothing) {
  kxtest::ScriptedUserScope user;
  user->answerMessage(0);
  listArchive();
  select("liesmich.txt");
  window_->ListView1_DblClick();
  EXPECT_FALSE(std::filesystem::exists(dir_ / "ziel/liesmich.txt"));
  EXPECT_TRUE(user->opened.empty());
}

TEST_F(ListInteraction, FolderEntryExtractedTwiceThenOpened) {
  kxtest::ScriptedUserScope user;
  user->answerMessage(-1).answerFolder(Q(dir_ / "gewählt"));
  listArchive();
  select("Ordner/");
  window_->ListView1_DblClick();
  EXPECT_EQ(user->asked.at(0).text, "Das Verzeichnis ORDNER/ entpacken?");
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "gewählt/Ordner"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "ziel/Ordner"));
  EXPECT_EQ(user->opened, std::vector<QString>{Q(dir_ / "ziel/Ordner/")});
  EXPECT_EQ(ProgramState().TargetFolder, Q(dir_ / "ziel")) << "the chosen folder was for once only";
}

TEST_F(ListInteraction, TypeWithoutProgramGetsTheChooser) {
  kxtest::ScriptedUserScope user;
  const QString file = Q(dir_ / "ziel/daten.kxq");
  user->answerMessage(-1).answerDialog([](QDialog& d) {
    auto& chooser = static_cast<FrmOeffnenMit&>(d);
    const auto found = chooser.List1->findItems("Leser", Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    chooser.List1->setCurrentItem(found[0]);
    chooser.CommandOeffnen->click();
  });
  // A chosen program that does not exist: reported once, at the end.
  user->answerMessage(-1).answerDialog([](QDialog& d) {
    static_cast<FrmOeffnenMit&>(d).Text1->setText("gibt-es-nicht");
    static_cast<FrmOeffnenMit&>(d).CommandOeffnen->click();
  });
  user->answerMessage(-1);
  listArchive();
  select("daten.kxq");
  window_->ListView1_DblClick();
  EXPECT_TRUE(user->opened.empty());
  EXPECT_EQ(user->asked.at(1).title, "Öffnen mit...");
  EXPECT_EQ(user->asked.at(2).kind, "program");
  EXPECT_EQ(user->asked.at(2).text, "--show-ends " + file);
  std::filesystem::remove(dir_ / "ziel/daten.kxq");
  window_->ListView1_DblClick();
  ASSERT_EQ(user->asked.size(), 6u);
  EXPECT_EQ(user->asked[5].title, "Nachricht");
  EXPECT_TRUE(user->asked[5].text.startsWith("ERROR 53")) << user->asked[5].text.toStdString();
}

TEST_F(ListInteraction, ExecLinesBecomeArgumentVectors) {
  const struct {
    const char* exec;
    QStringList expected;
  } rows[] = {
      {"leser %f", {"leser", "/t/a b.txt"}},
      {"leser", {"leser", "/t/a b.txt"}},
      {"\"/opt/mein prog/x\" --datei=%u %i 100%%", {"/opt/mein prog/x", "--datei=file:///t/a%20b.txt", "100%"}},
      {"sh -c \"echo \\\"$1\\\"\" %F", {"sh", "-c", "echo \"$1\"", "/t/a b.txt"}},
  };
  for (const auto& r : rows) EXPECT_EQ(ExecArguments(r.exec, "/t/a b.txt"), r.expected) << r.exec;
}

TEST_F(ListInteraction, RightClickMenuOnlyWithSelectedRow) {
  QMenu* edit = window_->menuBar()->findChild<QMenu*>("mnuabarbeiten");
  window_->show();
  QWidget* viewport = window_->ListView1->reportView()->viewport();
  QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(20, 10));
  EXPECT_FALSE(edit->isVisible()) << "empty list: no menu";
  listArchive();
  window_->ListView1->selectRow(0);
  QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(20, 10));
  EXPECT_TRUE(edit->isVisible());
  edit->hide();
}

TEST_F(ListInteraction, DragOverWithoutArchiveAndSelectAllOnEmptyList) {
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(Q(dir_ / "src"))});
  QDragMoveEvent drag(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, {});
  drag.accept();
  window_->ListView1_OLEDragOver(drag);
  EXPECT_FALSE(drag.isAccepted());
  EXPECT_TRUE(window_->Picture1->isHidden());
  const QString marked = window_->statusPanel(3)->text();
  window_->mnuMarkAll_Click();
  EXPECT_EQ(window_->ListView1->selectedCount(), 0);
  EXPECT_EQ(window_->statusPanel(3)->text(), marked);
}

TEST_F(ListInteraction, ColumnHeaderClicksSortThirdThenFifthColumn) {
  QHeaderView* header = window_->ListView1->reportView()->horizontalHeader();
  emit header->sectionClicked(2);
  EXPECT_EQ(std::pair(window_->ListView1->sortKey(), window_->ListView1->sortOrder()), std::pair(2, 0));
  emit header->sectionClicked(4);
  EXPECT_EQ(std::pair(window_->ListView1->sortKey(), window_->ListView1->sortOrder()), std::pair(4, 1));
}

TEST_F(ListInteraction, HelpTopicsAboutAndToolbarLayout) {
  for (const auto& [entry, topic] : {std::pair("mnuhinhalt", 2), std::pair("mnuhmenü", 4)}) {
    window_->command(entry)->trigger();
    EXPECT_EQ(TheHelpWindow().topic(), topic) << entry;
    EXPECT_TRUE(TheHelpWindow().isVisible());
  }
  QTest::keyClick(window_.get(), Qt::Key_F1);
  EXPECT_EQ(TheHelpWindow().topic(), 4) << "F1 keeps the last context number";
  TheHelpWindow().hide();

  kxtest::ScriptedUserScope user;
  user->answerDialog([](QDialog& d) {
    auto& about = static_cast<FrmInfo&>(d);
    EXPECT_EQ(about.Label1->text().section('\n', 0, 0), "Kravix Version 1.0");
    EXPECT_FALSE(about.Image1->pixmap().isNull());
    about.CommandOK->click();
  });
  window_->command("mnuhinfo")->trigger();
  ASSERT_EQ(user->asked.size(), 1u);

  const QString key = "Kravix/Kravix/Toolbar";
  QSettings stored(QSettings::IniFormat, QSettings::UserScope, "Kravix", "Kravix");
  EXPECT_FALSE(stored.contains(key));
  window_->addToolBar(Qt::LeftToolBarArea, window_->Toolbar1);
  QApplication::processEvents();  // the layout places the bar
  stored.sync();
  ASSERT_TRUE(stored.contains(key)) << "moving the toolbar stores the layout";
  window_->addToolBar(Qt::TopToolBarArea, window_->Toolbar1);
  EXPECT_TRUE(window_->restoreState(stored.value(key).toByteArray()));
  EXPECT_EQ(window_->toolBarArea(window_->Toolbar1), Qt::LeftToolBarArea);
}

}  // namespace
}  // namespace kx
