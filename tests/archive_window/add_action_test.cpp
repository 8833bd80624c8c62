// Creating and adding in the archive window: files and folders dropped as a
// file manager drops them (text/uri-list), checked with the peers.
#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>

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

class AddAction : public kxtest::LoadedWindow {
 protected:
  void SetUp() override {
    LoadedWindow::SetUp();
    for (const char* name : {"mit blank.txt", "ümlaut.txt", "Ordner/eins.txt", "Ordner/Unter/zwei.txt"})
      kxtest::WriteFile(dir_ / "src" / name, name);
    kxtest::WriteFile(dir_ / "alt.txt", "alt");
  }
  // Opens alt.zip (or another kind) made by its peer from alt.txt, or names
  // a new archive through "&Neu...": the file dialog, the settings dialog,
  // the explanation accepted.
  fs::path prepare(const std::string& name) {
    const fs::path archive = dir_ / name;
    if (name.starts_with("alt.")) {
      const auto peer = name.ends_with(".arj") ? std::vector<std::string>{"arj", "a", name, "alt.txt"}
                                               : std::vector<std::string>{"zip", "-q", name, "alt.txt"};
      EXPECT_EQ(kxtest::Run(peer, dir_.path()).exitCode, 0);
      ProgramState().CurrentArchive = Q(archive);
      window_->viewzip(Q(archive));
    } else {
      if (!ProgramState().CurrentArchive.isEmpty()) user_->answerMessage(-1);  // close it first
      user_->answerFile(Q(archive)).answerDialog([](QDialog&) {}).answerMessage(-1);
      window_->command("button:neu")->trigger();
    }
    return archive;
  }
  bool dragAndDrop(const std::vector<fs::path>& paths, bool files = true) {
    return kxtest::DragAndDrop(*window_, paths, files);
  }
  std::string listing(const fs::path& archive) {
    return kxtest::Run({archive.extension() == ".arj" ? "arj" : "unzip", archive.extension() == ".arj" ? "v" : "-Z1",
                        archive.string()}).output;
  }

  kxtest::ScriptedUserScope user_;
};

TEST_F(AddAction, DropsOnZipNewSplitAndArjArchives) {
  kxtest::WriteFile(dir_ / "src" / "gross.bin", kxtest::RandomBytes(2'000'000));
  struct Row {
    const char* archive;
    std::vector<const char*> dropped, expected;  // expected: also what the listing shows
    const char* fileSpec;                        // "@" for the source folder
  } rows[] = {
      {"alt.zip", {"mit blank.txt", "ümlaut.txt"}, {"alt.txt", "mit blank.txt", "ümlaut.txt"},
       "\"@mit blank.txt\" @ümlaut.txt"},
      {"neu", {"Ordner"}, {"Ordner/Unter/", "Ordner/Unter/zwei.txt", "Ordner/eins.txt"}, "@Ordner/*.*"},
      {"satz.zip.001", {"gross.bin", "ümlaut.txt"}, {"gross.bin", "ümlaut.txt"}, "@gross.bin @ümlaut.txt"},
      {"alt.arj", {"ümlaut.txt", "Ordner"}, {"alt.txt", "ümlaut.txt", "Ordner/eins.txt", "Ordner/Unter/zwei.txt"}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.archive);
    fs::path archive = prepare(row.archive);
    if (archive.extension().empty()) archive += ".zip";
    if (!archive.stem().string().starts_with("alt")) EXPECT_EQ(ProgramState().Options.MultiVolume, archive.extension() == ".001");
    std::vector<fs::path> paths;
    for (const char* d : row.dropped) paths.push_back(dir_ / "src" / d);
    ASSERT_TRUE(dragAndDrop(paths));
    if (*row.fileSpec) EXPECT_EQ(window_->KxZip1.FileSpec, std::regex_replace(row.fileSpec, std::regex("@"), (dir_ / "src/").string()));
    fs::path whole = archive;
    if (archive.extension() == ".001") {  // a set is a plain cut of one archive
      kxtest::WriteFile(whole = dir_ / "ganz.zip", kxtest::ReadFile(archive) + kxtest::ReadFile(dir_ / "satz.zip.002"));
      EXPECT_TRUE(window_->windowTitle().endsWith("(ZipMultivolume)"));
    }
    const std::string listed = listing(whole);
    for (const char* name : row.expected) EXPECT_NE(listed.find(name), std::string::npos) << name << "\n" << listed;
    EXPECT_EQ(window_->ListView1->rowCount(), int(row.expected.size())) << "listed again";
    EXPECT_EQ(window_->statusMessage(), "Letzte Nachricht - Hinzufügen/Vergleichen abgeschlossen...");
    EXPECT_FALSE(window_->ArchivNeu);
  }
  EXPECT_EQ(user_->asked[1].text, "Zip Archiv (*.ZIP)|*.ZIP|ZipMultivolume (*.001)|*.001");
  EXPECT_EQ(user_->opened.back(), Q(dir_.path())) << "the file manager opens where the archive goes";
}

TEST_F(AddAction, TenThousandDroppedFilesAreOneAction) {
  std::vector<fs::path> paths;
  fs::create_directories(dir_ / "viele");
  for (int i = 0; i < 10000; ++i) std::ofstream(paths.emplace_back(dir_ / "viele" / ("d " + std::to_string(i)))) << i;
  const fs::path archive = prepare("alt.zip");
  ASSERT_TRUE(dragAndDrop(paths));
  EXPECT_EQ(std::count(window_->KxZip1.FileSpec.begin(), window_->KxZip1.FileSpec.end(), '"'), 20000) << "one action";
  EXPECT_EQ(std::ranges::count(listing(archive), '\n'), 10001);
}

TEST_F(AddAction, ACancelledOrFailedAddLeavesTheArchiveAsItWas) {
  for (int i = 0; i < 12; ++i) kxtest::WriteFile(dir_ / "gross" / std::to_string(i), kxtest::RandomBytes(1'000'000, i));
  const std::pair<const char*, bool> rows[] = {{"alt.zip", true}, {"neu.zip", true}, {"alt.zip", false}};
  for (const auto& [name, cancel] : rows) {
    const fs::path archive = prepare(name);
    const std::string before = fs::exists(archive) ? kxtest::ReadFile(archive) : "";
    int events = 0;
    const auto handler = window_->KxZip1.Progress;
    window_->KxZip1.Progress = [&, cancel = cancel](ProgressEvent& e) {
      handler(e);
      if (cancel && ++events == 3) TheProgressWindow().Command1->click();
    };
    if (!cancel) user_->answerDialog([](QDialog& d) { EXPECT_EQ(d.windowTitle(), "Fehler"); });  // told once
    ASSERT_TRUE(dragAndDrop({dir_ / "gross", dir_ / (cancel ? "gross" : "weg.txt")}));
    window_->KxZip1.Progress = handler;
    EXPECT_EQ(fs::exists(archive) ? kxtest::ReadFile(archive) : "", before) << name << " byte for byte";
    EXPECT_EQ(window_->ArchivNeu, !fs::exists(archive)) << "a new archive not made stays new";
    if (cancel) EXPECT_EQ(window_->statusMessage(), "Letzte Nachricht - Hinzufügen/Vergleichen abgebrochen.");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), {}), 4) << "src, gross, alt.txt, alt.zip";
  }
}

TEST_F(AddAction, RefusedDragsQuestionsAndNames) {
  const fs::path file = dir_ / "src" / "ümlaut.txt";
  EXPECT_FALSE(dragAndDrop({file})) << "no archive shown";
  const fs::path archive = prepare("alt.zip");
  EXPECT_FALSE(dragAndDrop({file}, false)) << "no file list";
  user_->answerMessage(0).answerMessage(0);
  window_->command("mnu_Neu")->trigger();
  window_->command("mnu_Update")->trigger();
  EXPECT_EQ(ProgramState().CurrentArchive, Q(archive)) << "not closed";
  EXPECT_TRUE(user_->opened.empty());
  // A quote, or a wildcard in a file's own name, cannot be said to the engine.
  for (const char* odd : {"stern*.txt", "stern-b.txt", "zit\"at.txt"}) kxtest::WriteFile(dir_ / "src" / odd, odd);
  user_->answerDialog([](QDialog& d) { EXPECT_EQ(d.windowTitle(), "Hinzufügen/Vergleichen"); });
  ASSERT_TRUE(dragAndDrop({dir_ / "src" / "stern*.txt", dir_ / "src" / "zit\"at.txt", file}));
  EXPECT_EQ(listing(archive), "alt.txt\nümlaut.txt\n");
  fs::permissions(archive, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write, fs::perm_options::remove);
  window_->viewzip(Q(archive));
  EXPECT_FALSE(dragAndDrop({file})) << "write-protected";
}

}  // namespace
}  // namespace kx
