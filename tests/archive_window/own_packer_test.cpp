// The archive window on ARJ, ARC, LHA and ZOO archives with no packer on PATH
// but Kravix's own kxpack beside the program: listing, extracting, testing,
// deleting and dropping files on, checked afterwards with lsar and the
// files on disk.
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

QString Q(const fs::path &p) { return QString::fromStdString(p.string()); }

// PATH points at an empty folder while it lives: no arj, arc, lhasa, unar.
class OnlyKravixOnPath {
public:
  explicit OnlyKravixOnPath(const fs::path &empty)
      : saved_(std::getenv("PATH") ? std::getenv("PATH") : "") {
    fs::create_directories(empty);
    ::setenv("PATH", empty.c_str(), 1);
  }
  ~OnlyKravixOnPath() { ::setenv("PATH", saved_.c_str(), 1); }

private:
  std::string saved_;
};

struct KindCase {
  const char *name;
  const char *file;
  Names maker; // the program and switches that make it; kxpack for LHA and ZOO
  const char *prefix; // before each name: "--" once, or "./" for arc
};
void PrintTo(const KindCase &c, std::ostream *os) { *os << c.name; }

class OwnPacker : public kxtest::LoadedWindow,
                  public ::testing::WithParamInterface<KindCase> {
protected:
  Names rows() {
    Names out;
    for (const EntryRow &r : window_->ListView1->model()->rows())
      out.push_back(r.name.toStdString());
    std::sort(out.begin(), out.end());
    return out;
  }
  void markRow(const std::string &name) {
    for (int row = 0; row < window_->ListView1->rowCount(); ++row)
      if (window_->ListView1->model()->row(row).name.toStdString() == name)
        window_->ListView1->selectRow(row);
    window_->archivlistcount();
  }
};

TEST_P(OwnPacker, EveryWindowCommandWithNoOtherPacker) {
  const KindCase &c = GetParam();
  const Names files = {"eins.txt", "zwei.txt", "\xc3\xbcmlaut.txt"};
  for (const auto &f : files)
    kxtest::WriteFile(dir_ / "src" / f,
                      "Inhalt von " + f + std::string(3000, 'x'));
  kxtest::WriteFile(dir_ / "neu.txt", "neu dazu");
  const fs::path archive = dir_ / c.file;
  Names argv = c.maker;
  if (argv[0] == "kxpack")
    argv[0] = OwnPackerPath().toStdString();
  argv.push_back(archive.string());
  if (std::string(c.prefix) == "--")
    argv.push_back("--");
  for (const auto &f : files)
    argv.push_back(std::string(c.prefix) == "./" ? "./" + f : f);
  ASSERT_EQ(kxtest::Run(argv, dir_ / "src").exitCode, 0);

  kxtest::ScriptedUserScope user;
  {
    const OnlyKravixOnPath path(dir_ / "leer");
    ProgramState().CurrentArchive = Q(archive);
    window_->viewzip(Q(archive));
    ASSERT_EQ(rows(), (Names{"eins.txt", "zwei.txt", "\xc3\xbcmlaut.txt"}));

    // Extract everything into a folder, and test into another that stays empty.
    user->answerFolder(Q(dir_ / "ziel"));
    window_->command("mnuaextrakt")->trigger();
    EXPECT_EQ(FilesUnder(dir_ / "ziel"), FilesUnder(dir_ / "src"));
    EXPECT_EQ(window_->statusMessage(),
              "Letzte Nachricht - Entpacken abgeschlossen...");
    fs::create_directories(dir_ / "test");
    user->answerFolder(Q(dir_ / "test"));
    window_->command("mnutesten")->trigger();
    EXPECT_TRUE(fs::is_empty(dir_ / "test"));

    // Delete one entry, then drop a file on the archive.
    markRow("zwei.txt");
    user->answerMessage(-1);
    window_->Toolbar1_ButtonClick("delete");
    EXPECT_EQ(rows(), (Names{"eins.txt", "\xc3\xbcmlaut.txt"}));
    EXPECT_EQ(window_->statusMessage(),
              "Letzte Nachricht - Löschen abgeschlossen...");
    ASSERT_TRUE(kxtest::DragAndDrop(*window_, {dir_ / "neu.txt"}));
    EXPECT_EQ(rows(), (Names{"eins.txt", "neu.txt", "\xc3\xbcmlaut.txt"}));
  }

  // No message on the way; the peer lists what the window shows.
  for (const auto &a : user->asked)
    EXPECT_TRUE(a.kind == "folder" || a.text.contains("Löschen?"))
        << a.text.toStdString();
  const auto peer = kxtest::PeerNames(archive);
  EXPECT_EQ(peer, (std::set<std::string>{"eins.txt", "neu.txt",
                                         "\xc3\xbcmlaut.txt"}));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, OwnPacker,
    ::testing::Values(
        KindCase{"arj", "a.arj", {"/usr/bin/arj", "a", "-y"}, "--"},
        KindCase{"arc", "a.arc", {"/usr/bin/arc", "a"}, "./"},
        KindCase{"lha", "a.lzh", {"kxpack", "a"}, "--"},
        KindCase{"zoo", "a.zoo", {"kxpack", "a"}, "--"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace kx
