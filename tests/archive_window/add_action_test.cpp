// Creating and adding in the archive window: files and folders dropped as a
// file manager drops them (text/uri-list), checked with the peers.
#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/window_fixture.h"
#include "support/scripted_user.h"
#include "ui/progress_window.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

class AddAction : public kxtest::FreshStart {
 protected:
  void SetUp() override {
    FreshStart::SetUp();
    w_ = std::make_unique<ArchiveWindow>();
    w_->Form_Load();
    for (const char* name : {"a.txt", "mit blank.txt", "ümlaut.txt", "Ordner/eins.txt", "Ordner/Unter/zwei.txt"})
      kxtest::WriteFile(dir_ / "src" / name, name);
  }
  void TearDown() override {
    w_.reset();
    FreshStart::TearDown();
  }
  // alt.zip holding alt.txt, made by Info-ZIP's zip, listed in the window.
  fs::path openZip() {
    kxtest::WriteFile(dir_ / "alt.txt", "alt");
    EXPECT_EQ(kxtest::Run({"zip", "-q", "alt.zip", "alt.txt"}, dir_.path()).exitCode, 0);
    open(dir_ / "alt.zip");
    return dir_ / "alt.zip";
  }
  void open(const fs::path& archive) {
    ProgramState().CurrentArchive = Q(archive);
    w_->viewzip(Q(archive));
  }
  // Drags the paths over the list as a file manager does; true when the list
  // showed the drop zone and the zone took the drop, which has then run.
  bool dragAndDrop(const std::vector<fs::path>& paths, const char* format = "text/uri-list") {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& p : paths) urls << QUrl::fromLocalFile(Q(p));
    if (std::string(format) == "text/uri-list") data.setUrls(urls);
    else data.setText("nur Text");
    QWidget* list = w_->ListView1->reportView()->viewport();
    QDragEnterEvent enter(list->rect().center(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(list, &enter);
    if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction || w_->Picture1->isHidden()) return false;
    // The next move lands on the zone, which now lies over the list.
    QDragEnterEvent onZone(w_->Picture1->rect().center(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(w_->Picture1, &onZone);
    if (!onZone.isAccepted()) return false;
    QDropEvent drop(w_->Picture1->rect().center(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(w_->Picture1, &drop);
    EXPECT_TRUE(w_->Picture1->isHidden());
    QCoreApplication::processEvents();
    EXPECT_TRUE(w_->isEnabled());
    return drop.isAccepted();
  }
  std::vector<std::string> entries(const fs::path& archive) {
    const auto r = kxtest::Run({"unzip", "-Z1", archive.string()});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> names;
    std::string line;
    for (std::istringstream in(r.output); std::getline(in, line);) names.push_back(line);
    std::sort(names.begin(), names.end());
    return names;
  }
  // "&Neu..." answered: the file dialog names `name`, the settings dialog is
  // closed, the explanation accepted.
  void newArchive(const fs::path& name) {
    user_->answerFile(Q(name)).answerDialog([](QDialog&) {}).answerMessage(-1);
    w_->command("button:neu")->trigger();
  }

  kxtest::ScriptedUserScope user_;
  std::unique_ptr<ArchiveWindow> w_;
};

using Names = std::vector<std::string>;

TEST_F(AddAction, DroppedFilesAndFoldersAreAddedInOneAction) {
  struct Row {
    std::vector<std::string> dropped;
    std::string fileSpec;  // relative to src/, as the engine got it
    Names added;
  };
  const Row rows[] = {
      {{"a.txt", "mit blank.txt", "ümlaut.txt"}, "@a.txt \"@mit blank.txt\" @ümlaut.txt",
       {"a.txt", "mit blank.txt", "ümlaut.txt"}},
      {{"Ordner"}, "@Ordner/*.*", {"Ordner/Unter/", "Ordner/Unter/zwei.txt", "Ordner/eins.txt"}},
  };
  for (const Row& row : rows) {
    const fs::path archive = openZip();
    std::vector<fs::path> paths;
    for (const auto& d : row.dropped) paths.push_back(dir_ / "src" / d);
    ASSERT_TRUE(dragAndDrop(paths));
    QString spec = QString::fromStdString(row.fileSpec);
    spec.replace("@", Q(dir_ / "src") + "/");
    EXPECT_EQ(QString::fromStdString(w_->KxZip1.FileSpec), spec);
    Names expected = row.added;
    expected.push_back("alt.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entries(archive), expected);
    EXPECT_EQ(w_->ListView1->rowCount(), int(expected.size())) << "listed again";
    EXPECT_EQ(w_->statusMessage(), "Letzte Nachricht - Hinzufügen/Vergleichen abgeschlossen...");
    fs::remove(archive);
  }
}

TEST_F(AddAction, TheListShowsTheDropZoneOnlyForAnArchiveThatTakesFiles) {
  const fs::path file = dir_ / "src" / "a.txt";
  EXPECT_FALSE(dragAndDrop({file})) << "no archive shown";
  const fs::path archive = openZip();
  EXPECT_FALSE(dragAndDrop({file}, "text/plain")) << "no file list";
  fs::permissions(archive, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  open(archive);
  EXPECT_FALSE(dragAndDrop({file})) << "write-protected";
  EXPECT_EQ(entries(archive), Names{"alt.txt"});
}

TEST_F(AddAction, ANewArchiveAndANewSplitSetAreMadeByTheFirstDrop) {
  kxtest::WriteFile(dir_ / "src" / "gross.bin", kxtest::RandomBytes(2'000'000));
  struct Row {
    const char* chosen;
    const char* archive;
    bool split;
  };
  for (const Row row : {Row{"neu", "neu.zip", false}, Row{"satz.zip.001", "satz.zip.001", true}}) {
    openZip();
    user_->answerMessage(-1);  // close the open archive first
    newArchive(dir_ / row.chosen);
    const fs::path archive = dir_ / row.archive;
    EXPECT_EQ(ProgramState().CurrentArchive, Q(archive));
    EXPECT_EQ(ProgramState().Options.MultiVolume, row.split);
    ASSERT_FALSE(user_->opened.empty());
    EXPECT_EQ(user_->opened.back(), Q(dir_.path())) << "the file manager opens where the archive goes";
    EXPECT_FALSE(fs::exists(archive)) << "named only";
    ASSERT_TRUE(dragAndDrop({dir_ / "src" / "a.txt", dir_ / "src" / "gross.bin"}));
    EXPECT_FALSE(w_->ArchivNeu);
    fs::path whole = archive;
    if (row.split) {
      const fs::path second = dir_ / "satz.zip.002";
      ASSERT_TRUE(fs::exists(second)) << "2 MB make two floppy volumes";
      whole = dir_ / "ganz.zip";
      kxtest::WriteFile(whole, kxtest::ReadFile(archive) + kxtest::ReadFile(second));
      EXPECT_TRUE(w_->windowTitle().endsWith("(ZipMultivolume)")) << w_->windowTitle().toStdString();
    }
    EXPECT_EQ(entries(whole), (Names{"a.txt", "gross.bin"}));
    EXPECT_EQ(w_->ListView1->rowCount(), 2);
  }
  EXPECT_EQ(user_->asked[0].text,
            "Bevor ein neues Archiv erstellt werden kann muß das aktuelle Archiv geschlossen werden. Das Archiv "
            "'alt.zip' jetzt schließen?");
  EXPECT_EQ(user_->asked[1].kind, "save");
  EXPECT_EQ(user_->asked[1].title, "Neues Archiv erstellen");
  EXPECT_EQ(user_->asked[1].text, "Zip Archiv (*.ZIP)|*.ZIP|ZipMultivolume (*.001)|*.001");
  EXPECT_EQ(user_->asked[3].title, "Hinzufügen/Vergleichen");
}

TEST_F(AddAction, DeclinedQuestionsLeaveEverythingAsItWas) {
  const fs::path archive = openZip();
  user_->answerMessage(0);
  w_->command("mnu_Neu")->trigger();
  EXPECT_EQ(ProgramState().CurrentArchive, Q(archive)) << "not closed";
  user_->answerMessage(-1).answerFile(Q(dir_ / "x.zip")).answerDialog([](QDialog&) {}).answerMessage(0);
  w_->command("mnu_Neu")->trigger();
  EXPECT_TRUE(ProgramState().CurrentArchive.isEmpty()) << "the new name is forgotten";
  EXPECT_FALSE(w_->command("mnu_Update")->isEnabled());
  EXPECT_TRUE(user_->opened.empty());
  open(archive);
  user_->answerMessage(0).answerMessage(-1);
  w_->command("button:update")->trigger();
  w_->command("button:update")->trigger();
  EXPECT_EQ(user_->opened, std::vector<QString>{Q(dir_.path())});
  EXPECT_FALSE(w_->ArchivNeu) << "adding to an open archive names nothing new";
}

TEST_F(AddAction, ADropOnAnArjArchiveGoesThroughArj) {
  kxtest::WriteFile(dir_ / "alt.txt", "alt");
  ASSERT_EQ(kxtest::Run({"arj", "a", "alt.arj", "alt.txt"}, dir_.path()).exitCode, 0);
  open(dir_ / "alt.arj");
  ASSERT_TRUE(dragAndDrop({dir_ / "src" / "a.txt", dir_ / "src" / "Ordner"}));
  const std::string listing = kxtest::Run({"arj", "v", (dir_ / "alt.arj").string()}).output;
  for (const char* name : {"alt.txt", "a.txt", "Ordner/eins.txt", "Ordner/Unter/zwei.txt"})
    EXPECT_NE(listing.find(name), std::string::npos) << name << "\n" << listing;
  EXPECT_EQ(w_->ListView1->rowCount(), 4);
  EXPECT_EQ(w_->statusMessage(), "Letzte Nachricht - Hinzufügen/Vergleichen abgeschlossen...");
}

TEST_F(AddAction, TenThousandDroppedFilesAreOneAction) {
  const fs::path many = dir_ / "viele";
  fs::create_directories(many);
  std::vector<fs::path> paths;
  for (int i = 0; i < 10000; ++i) {
    paths.push_back(many / ("datei " + std::to_string(i) + ".txt"));
    std::ofstream(paths.back()) << i;
  }
  const fs::path archive = openZip();
  ASSERT_TRUE(dragAndDrop(paths));
  EXPECT_EQ(std::count(w_->KxZip1.FileSpec.begin(), w_->KxZip1.FileSpec.end(), '"'), 20000)
      << "every name in the one action's file specification";
  EXPECT_EQ(entries(archive).size(), 10001u);
  EXPECT_EQ(w_->ListView1->rowCount(), 10001);
}

TEST_F(AddAction, ACancelledOrFailedAddLeavesTheArchiveAsItWas) {
  for (int i = 0; i < 12; ++i)
    kxtest::WriteFile(dir_ / "gross" / ("teil" + std::to_string(i)), kxtest::RandomBytes(1'000'000, i + 1));
  struct Row {
    bool newArchive;
    bool cancel;  // else a dropped file is gone before the add
  };
  for (const Row row : {Row{false, true}, Row{true, true}, Row{false, false}}) {
    SCOPED_TRACE(testing::Message() << row.newArchive << row.cancel);
    fs::path archive = openZip();
    if (row.newArchive) {
      user_->answerMessage(-1);
      newArchive(archive = dir_ / "neu.zip");
    }
    const std::string before = fs::exists(archive) ? kxtest::ReadFile(archive) : "";
    int events = 0;
    auto handler = w_->KxZip1.Progress;
    w_->KxZip1.Progress = [&](ProgressEvent& e) {
      handler(e);
      if (row.cancel && ++events == 3 && ProgressWindowLoaded()) TheProgressWindow().Command1->click();
    };
    std::vector<fs::path> dropped{dir_ / "gross"};
    if (!row.cancel) {
      dropped.push_back(dir_ / "verschwunden.txt");
      user_->answerDialog([](QDialog& d) { EXPECT_EQ(d.windowTitle(), "Fehler"); });
    }
    ASSERT_TRUE(dragAndDrop(dropped));
    w_->KxZip1.Progress = handler;
    EXPECT_EQ(fs::exists(archive), !row.newArchive);
    if (!row.newArchive) EXPECT_EQ(kxtest::ReadFile(archive), before) << "byte for byte";
    EXPECT_EQ(w_->ArchivNeu, row.newArchive) << "a new archive not made stays new";
    for (const auto& e : fs::directory_iterator(dir_.path()))
      EXPECT_TRUE(e.is_directory() || e.path().filename() == "alt.zip" || e.path().filename() == "alt.txt")
          << "left behind: " << e.path();
    if (row.cancel) EXPECT_EQ(w_->statusMessage(), "Letzte Nachricht - Hinzufügen/Vergleichen abgebrochen.");
    fs::remove(dir_ / "alt.zip");
  }
}

TEST_F(AddAction, NamesTheFileSpecificationCannotCarryAreRefusedAndTold) {
  kxtest::WriteFile(dir_ / "src" / "stern*.txt", "1");
  kxtest::WriteFile(dir_ / "src" / "stern-b.txt", "would match the star");
  kxtest::WriteFile(dir_ / "src" / "zit\"at.txt", "2");
  const fs::path archive = openZip();
  user_->answerDialog([](QDialog& d) { EXPECT_EQ(d.windowTitle(), "Hinzufügen/Vergleichen"); });
  ASSERT_TRUE(dragAndDrop({dir_ / "src" / "stern*.txt", dir_ / "src" / "zit\"at.txt", dir_ / "src" / "a.txt"}));
  EXPECT_EQ(entries(archive), (Names{"a.txt", "alt.txt"}));
  EXPECT_NE(user_->asked.back().text.indexOf("zit\"at.txt"), -1);
}

}  // namespace
}  // namespace kx
