// The archive window on ARJ, ARC, LHA and ZOO archives with no packer on PATH
// but Kravix's own kxpack beside the program: listing, extracting, deleting
// and dropping files on (testing is a command of ZIP archives only), checked
// afterwards with lsar and the files on disk.
#include <QAction>

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_model.h"
#include "archive_window/window_fixture.h"
#include "packers/ex_packer.h"
#include "support/scripted_user.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using kxtest::FilesUnder;
using Names = std::vector<std::string>;

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

// PATH points at an empty folder while it lives: no arj, arc, lhasa, unar.
class OnlyKravixOnPath {
 public:
  explicit OnlyKravixOnPath(const fs::path& empty) : saved_(std::getenv("PATH") ? std::getenv("PATH") : "") {
    fs::create_directories(empty);
    ::setenv("PATH", empty.c_str(), 1);
  }
  ~OnlyKravixOnPath() { ::setenv("PATH", saved_.c_str(), 1); }

 private:
  std::string saved_;
};

struct KindCase {
  const char* name;
  const char* file;
  Names maker;         // the program and switches that make it; kxpack for LHA and ZOO
  const char* prefix;  // before the names: "--" once, or "./" before each for arc
};
void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }

class OwnPacker : public kxtest::LoadedWindow, public ::testing::WithParamInterface<KindCase> {
 protected:
  Names rows() {
    Names out;
    for (const EntryRow& r : window_->ListView1->model()->rows()) out.push_back(r.name.toStdString());
    std::sort(out.begin(), out.end());
    return out;
  }
  void markRow(const std::string& name) {
    for (int row = 0; row < window_->ListView1->rowCount(); ++row)
      if (window_->ListView1->model()->row(row).name.toStdString() == name) window_->ListView1->selectRow(row);
    window_->archivlistcount();
  }
};

TEST_P(OwnPacker, EveryWindowCommandWithNoOtherPacker) {
  const KindCase& c = GetParam();
  // arj and arc store the bytes of a name as they are, kxpack in code page
  // 437: the umlaut only where the listing shows it as written.
  const bool own = c.maker[0] == "kxpack";
  const std::string third = own ? "\xc3\xbcmlaut.txt" : "drei.txt";
  const Names files = {"eins.txt", "zwei.txt", third};
  for (const auto& f : files) kxtest::WriteFile(dir_ / "src" / f, "Inhalt von " + f + std::string(3000, 'x'));
  kxtest::WriteFile(dir_ / "neu.txt", "neu dazu");
  const fs::path archive = dir_ / c.file;
  Names argv = c.maker;
  if (own) argv[0] = OwnPackerPath().toStdString();
  argv.push_back(archive.string());
  if (std::string(c.prefix) == "--") argv.push_back("--");
  for (const auto& f : files) argv.push_back(std::string(c.prefix) == "./" ? "./" + f : f);
  ASSERT_EQ(kxtest::Run(argv, dir_ / "src").exitCode, 0);

  kxtest::ScriptedUserScope user;
  {
    const OnlyKravixOnPath path(dir_ / "leer");
    ProgramState().CurrentArchive = Q(archive);
    window_->viewzip(Q(archive));
    Names sorted = files;
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(rows(), sorted);

    // Extract everything into a folder.
    user->answerFolder(Q(dir_ / "ziel"));
    window_->command("mnuaextrakt")->trigger();
    EXPECT_EQ(FilesUnder(dir_ / "ziel"), FilesUnder(dir_ / "src"));
    EXPECT_EQ(window_->statusMessage(), "Letzte Nachricht - Entpacken abgeschlossen...");

    // Delete one entry, then drop a file on the archive.
    markRow("zwei.txt");
    user->answerMessage(-1);
    window_->Toolbar1_ButtonClick("delete");
    std::erase(sorted, "zwei.txt");
    EXPECT_EQ(rows(), sorted);
    EXPECT_EQ(window_->statusMessage(), "Letzte Nachricht - Löschen abgeschlossen...");
    ASSERT_TRUE(kxtest::DragAndDrop(*window_, {dir_ / "neu.txt"}));
    sorted.push_back("neu.txt");
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(rows(), sorted);
  }

  // No other message on the way; the peer lists what the window shows.
  for (const auto& a : user->asked)
    EXPECT_TRUE(a.kind == "folder" || a.text.contains("Löschen?")) << a.text.toStdString();
  const std::string peer = kxtest::Run({"lsar", "-e", "cp437", archive.string()}).output;
  for (const std::string& name : {std::string("eins.txt"), std::string("neu.txt"), third})
    EXPECT_NE(peer.find(name), std::string::npos) << name;
  EXPECT_EQ(peer.find("zwei.txt"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Formats, OwnPacker,
                         ::testing::Values(KindCase{"arj", "a.arj", {"/usr/bin/arj", "a", "-y"}, "--"},
                                           KindCase{"arc", "a.arc", {"/usr/bin/arc", "a"}, "./"},
                                           KindCase{"lha", "a.lzh", {"kxpack", "a"}, "--"},
                                           KindCase{"zoo", "a.zoo", {"kxpack", "a"}, "--"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kx
