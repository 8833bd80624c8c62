// Drag out of the list: the data a drag offers is taken as a file manager
// takes it (copying what text/uri-list names, or answering a direct save),
// on archives made by the peers.
#include <QApplication>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QUrl>

#include <gtest/gtest.h>

#include <map>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/drag_out.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/entry_model.h"
#include "archive_window/window_fixture.h"
#include "settings/settings_dialog.h"
#include "support/scripted_user.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

using kxtest::FilesUnder;

class DragOut : public kxtest::LoadedWindow {
 protected:
  void SetUp() override {
    LoadedWindow::SetUp();
    fs::create_directories(tmp_);
    fs::create_directories(drop_);
    qputenv("TMPDIR", tmp_.c_str());  // the private folders land where the test sees them
  }
  void TearDown() override {
    ArchiveWindow::RemoveDragOutFolder();
    qunsetenv("TMPDIR");
    LoadedWindow::TearDown();
  }
  // Ten files and a folder, packed by the peer of the extension.
  void makeArchive(const std::string& name, const std::string& password = {}) {
    for (int i = 0; i < 10; ++i) kxtest::WriteFile(dir_ / "src" / ("f" + std::to_string(i) + ".txt"), "Inhalt " + std::to_string(i));
    kxtest::WriteFile(dir_ / "src/Ordner/innen.txt", "innen");
    std::vector<std::string> argv = name.ends_with(".arj") ? std::vector<std::string>{"arj", "a", "-r", "../" + name}
                                                            : std::vector<std::string>{"zip", "-q", "-r", "../" + name};
    if (!password.empty()) argv.insert(argv.begin() + 2, {"-P", password});
    argv.push_back(name.ends_with(".arj") ? "*" : ".");
    ASSERT_EQ(kxtest::Run(argv, dir_ / "src").exitCode, 0);
    ProgramState().CurrentArchive = QString::fromStdString((dir_ / name).string());
    window_->viewzip(ProgramState().CurrentArchive);
  }
  void mark(const QStringList& names) {
    window_->ListView1->clearSelection();
    for (int row = 0; row < window_->ListView1->rowCount(); ++row)
      if (names.contains(window_->ListView1->model()->row(row).name)) window_->ListView1->selectRow(row);
    ASSERT_EQ(window_->ListView1->selectedCount(), names.size());
  }
  // What a file manager does on the drop: copies each offered URL.
  void dropCopy(const QMimeData& data) {
    for (const QUrl& url : data.urls()) {
      const fs::path from = url.toLocalFile().toStdString();
      fs::copy(from, drop_ / from.filename(), fs::copy_options::recursive);
    }
  }
  bool tmpEmpty() const { return fs::is_empty(tmp_); }

  fs::path tmp_ = dir_ / "tmp", drop_ = dir_ / "ablage";
};

TEST_F(DragOut, OnlyTheDraggedEntriesReachTheDropTargetAndTheirFolderGoesAtTheNextDrag) {
  struct Row {
    const char* archive;
    QStringList dragged;
    Tree expected;
  } rows[] = {
      {"zehn.zip", {"f3.txt", "f7.txt"}, {{"f3.txt", "Inhalt 3"}, {"f7.txt", "Inhalt 7"}}},
      {"ordner.zip", {"Ordner/"}, {{"Ordner/innen.txt", "innen"}}},
      {"zehn.arj", {"f0.txt", "f9.txt"}, {{"f0.txt", "Inhalt 0"}, {"f9.txt", "Inhalt 9"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.archive);
    fs::remove_all(drop_);
    fs::create_directories(drop_);
    makeArchive(row.archive);
    mark(row.dragged);
    const QString target = ProgramState().TargetFolder;
    kxtest::ScriptedUserScope user;

    const std::unique_ptr<DraggedEntries> data = window_->ListView1_OLEStartDrag();
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->hasUrls());
    dropCopy(*data);
    EXPECT_EQ(FilesUnder(drop_), row.expected);
    EXPECT_TRUE(user->asked.empty());
    EXPECT_TRUE(user->opened.empty()) << "no file manager opened on the private folder";
    EXPECT_EQ(ProgramState().TargetFolder, target);
    EXPECT_TRUE(window_->isEnabled());
    EXPECT_TRUE(fs::is_directory(data->folder().toStdString()));

    window_->ListView1->clearSelection();
    EXPECT_FALSE(window_->ListView1_OLEStartDrag()) << "nothing marked, nothing dragged";
    EXPECT_TRUE(tmpEmpty());
  }
}

TEST_F(DragOut, AnEncryptedArchiveAsksForThePassword) {
  makeArchive("geheim.zip", "geheim");
  ASSERT_EQ(ProgramState().EncryptedEntries, -1);
  for (bool answered : {false, true}) {
    SCOPED_TRACE(answered);
    mark({"f5.txt"});
    kxtest::ScriptedUserScope user;
    user->answerDialog([answered](QDialog& d) {
      auto& settings = static_cast<Form2&>(d);
      EXPECT_EQ(settings.selectedTab(), "passwort");
      if (!answered) return d.reject();
      settings.Text1->setText("geheim");
      settings.Command1[1]->click();
    });
    const std::unique_ptr<DraggedEntries> data = window_->ListView1_OLEStartDrag();
    EXPECT_EQ(user->asked.size(), 1u);
    EXPECT_TRUE(ProgramState().Password.isEmpty());
    if (!answered) {
      EXPECT_FALSE(data);
      EXPECT_TRUE(tmpEmpty()) << "nothing left of a drag given up";
      continue;
    }
    ASSERT_TRUE(data);
    dropCopy(*data);
    EXPECT_EQ(FilesUnder(drop_), (Tree{{"f5.txt", "Inhalt 5"}}));
  }
}

// Direct save: the target names a file in its folder; the entries are
// copied there after the answer, asking before one is replaced.
TEST_F(DragOut, DirectSaveCopiesIntoTheTargetsFolder) {
  makeArchive("zehn.zip");
  mark({"f1.txt", "f2.txt", "Ordner/"});
  kxtest::WriteFile(drop_ / "f2.txt", "schon da");
  kxtest::ScriptedUserScope user;
  const std::unique_ptr<DraggedEntries> data = window_->ListView1_OLEStartDrag();
  ASSERT_TRUE(data);
  EXPECT_EQ(data->directSaveName(), "Ordner");  // the first in name order
  const QByteArray uri = QUrl::fromLocalFile(QString::fromStdString((drop_ / "f1.txt").string())).toEncoded();

  EXPECT_EQ(data->directSaveTo("sftp://anderswo/tmp/f1.txt"), "F");
  EXPECT_EQ(data->directSaveTo("file:///gibt/es/nicht/f1.txt"), "F");
  user->answerBox(box::No);
  EXPECT_EQ(data->directSaveTo(uri), "S");
  EXPECT_TRUE(FilesUnder(drop_).size() == 1u) << "nothing copied before the target has its answer";
  QCoreApplication::processEvents();

  EXPECT_EQ(FilesUnder(drop_), (Tree{{"f1.txt", "Inhalt 1"}, {"f2.txt", "schon da"}, {"Ordner/innen.txt", "innen"}}));
  ASSERT_EQ(user->asked.size(), 1u);
  EXPECT_EQ(user->asked[0].text, "Die Datei \"" + QString::fromStdString((drop_ / "f2.txt").string()) +
                                     "\" existiert bereits. Überschreiben?");
}

// Our own rows dragged back over the list are not files to add.
TEST_F(DragOut, TheListRefusesItsOwnRows) {
  makeArchive("zehn.zip");
  mark({"f4.txt"});
  const std::unique_ptr<DraggedEntries> data = window_->ListView1_OLEStartDrag();
  ASSERT_TRUE(data);
  QWidget* list = window_->ListView1->reportView()->viewport();
  QDragEnterEvent enter(list->rect().center(), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, {});
  QApplication::sendEvent(list, &enter);
  EXPECT_FALSE(enter.isAccepted());
  EXPECT_TRUE(window_->Picture1->isHidden());
  EXPECT_TRUE(window_->ListView1->reportView()->dragEnabled());
}

}  // namespace
}  // namespace kx
