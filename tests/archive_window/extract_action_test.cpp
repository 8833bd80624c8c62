// unzip in the archive window: extract and test real archives made by the
// peers, the password page, the folder question; Info-ZIP's unzip extracts
// the same entries for comparison.
#include <QAction>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <map>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/entry_model.h"
#include "archive_window/window_fixture.h"
#include "settings/settings_dialog.h"
#include "support/scripted_user.h"
#include "ui/progress_window.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

const QString kDone = "Letzte Nachricht - Entpacken abgeschlossen...";
const QString kCancelled = "Letzte Nachicht - Entpacken abgebrochen.";

using kxtest::FilesUnder;

class ExtractAction : public kxtest::LoadedWindow {
 protected:
  void SetUp() override {
    LoadedWindow::SetUp();
    fs::create_directories(dir_ / "standard");
    defaultFolder_ = ProgramState().TargetFolder = QString::fromStdString((dir_ / "standard").string());
  }
  // a.zip: names with blanks and umlauts, folders; made by Info-ZIP's zip,
  // encrypted with a password when one is given.
  fs::path makeZip(const std::string& password = {}) {
    for (const char* name : {"a.txt", "mit blank.txt", "Ümlaut ä.txt", "Ordner/innen.txt", "Ordner/Unter/tief.txt"})
      kxtest::WriteFile(dir_ / "src" / name, std::string("Inhalt von ") + name);
    std::vector<std::string> argv = {"zip", "-q", "-r"};
    if (!password.empty()) argv.insert(argv.end(), {"-P", password});
    argv.insert(argv.end(), {"../a.zip", "."});
    EXPECT_EQ(kxtest::Run(argv, dir_ / "src").exitCode, 0);
    return dir_ / "a.zip";
  }
  void list(const fs::path& archive) {
    ProgramState().CurrentArchive = QString::fromStdString(archive.string());
    window_->viewzip(ProgramState().CurrentArchive);
  }
  void mark(const QStringList& names) {
    for (int row = 0; row < window_->ListView1->rowCount(); ++row)
      if (names.contains(window_->ListView1->model()->row(row).name)) window_->ListView1->selectRow(row);
    ASSERT_EQ(window_->ListView1->selectedCount(), names.size());
  }
  // What Info-ZIP's unzip takes out of the archive for the same names.
  Tree oracle(const fs::path& archive, const QStringList& names, const std::string& password = {}) {
    std::vector<std::string> argv = {"unzip", "-q"};
    if (!password.empty()) argv.insert(argv.end(), {"-P", password});
    argv.push_back(archive.string());
    for (const QString& n : names) argv.push_back(n.toStdString());
    argv.insert(argv.end(), {"-d", (dir_ / "oracle").string()});
    EXPECT_EQ(kxtest::Run(argv).exitCode, 0);
    return FilesUnder(dir_ / "oracle");
  }

  QString defaultFolder_;
  fs::path target_ = dir_ / "ziel";
};

struct ExtractCase {
  const char* name;
  QStringList marked;
  const char* how;  // "menu" or the toolbar button's key
  QString question;
};
void PrintTo(const ExtractCase& c, std::ostream* os) { *os << c.name; }

class WindowExtracts : public ExtractAction, public ::testing::WithParamInterface<ExtractCase> {};

TEST_P(WindowExtracts, IntoTheChosenFolderAndTheFileManagerOpensOnIt) {
  const ExtractCase& c = GetParam();
  const fs::path archive = makeZip();
  list(archive);
  mark(c.marked);
  fs::create_directories(target_);
  kxtest::ScriptedUserScope user;
  user->answerFolder(QString::fromStdString(target_.string()));

  if (std::string(c.how) == "menu") window_->command("mnuaextrakt")->trigger();
  else window_->Toolbar1_ButtonClick(c.how);

  ASSERT_EQ(user->asked.size(), 1u);
  EXPECT_EQ(user->asked[0].kind, "folder");
  EXPECT_EQ(user->asked[0].text, c.question);
  const Tree expected = oracle(archive, c.marked);
  EXPECT_EQ(expected.size(), c.marked.isEmpty() ? 5u : std::size_t(c.marked.size()));
  EXPECT_EQ(FilesUnder(target_), expected);
  EXPECT_EQ(window_->statusMessage(), kDone);
  EXPECT_EQ(user->opened, std::vector<QString>{QString::fromStdString(target_.string())});
  EXPECT_EQ(ProgramState().TargetFolder, defaultFolder_);
  EXPECT_TRUE(window_->isEnabled());
  EXPECT_FALSE(ProgressWindowLoaded());
}

INSTANTIATE_TEST_SUITE_P(
    Window, WindowExtracts,
    ::testing::Values(ExtractCase{"all", {}, "menu", "Das Archiv 'a.zip' Entpacken nach:"},
                      ExtractCase{"selection",
                                  {"mit blank.txt", "Ümlaut ä.txt", "Ordner/Unter/tief.txt"},
                                  "extrakt",
                                  "Die selektierten Einträge Entpacken nach:"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExtractAction, AnArjArchiveThroughItsPacker) {
  for (const char* name : {"eins.txt", "zwei drei.txt"}) kxtest::WriteFile(dir_ / "src" / name, name);
  ASSERT_EQ(kxtest::Run({"arj", "a", (dir_ / "a.arj").string(), "--", "eins.txt", "zwei drei.txt"}, dir_ / "src").exitCode, 0);
  list(dir_ / "a.arj");
  fs::create_directories(target_);
  kxtest::ScriptedUserScope user;
  user->answerFolder(QString::fromStdString(target_.string()));
  window_->command("mnuaextrakt")->trigger();
  EXPECT_EQ(FilesUnder(target_), FilesUnder(dir_ / "src"));
  EXPECT_EQ(window_->statusMessage(), kDone);
  EXPECT_EQ(user->opened.size(), 1u);
  EXPECT_EQ(ProgramState().TargetFolder, defaultFolder_);
}

// Testing asks for a folder like extracting, writes nothing, opens nothing,
// and tells a damaged entry.
TEST_F(ExtractAction, TestTellsADamagedEntryAndWritesNothing) {
  for (bool damaged : {false, true}) {
    SCOPED_TRACE(damaged);
    kxtest::WriteFile(dir_ / "src" / "daten.txt", "Kravix-Inhalt zum Testen");
    fs::remove(dir_ / "t.zip");
    ASSERT_EQ(kxtest::Run({"zip", "-q", "-0", "../t.zip", "daten.txt"}, dir_ / "src").exitCode, 0);
    if (damaged) {
      std::string bytes = kxtest::ReadFile(dir_ / "t.zip");
      bytes[bytes.find("Kravix-Inhalt")] = 'k';
      kxtest::WriteFile(dir_ / "t.zip", bytes);
    }
    list(dir_ / "t.zip");
    fs::create_directories(target_);
    const QString status = window_->statusMessage();
    kxtest::ScriptedUserScope user;
    user->answerFolder(QString::fromStdString(target_.string()));
    if (damaged) user->answerMessage(-1);
    window_->command("mnutesten")->trigger();
    ASSERT_EQ(user->asked.size(), damaged ? 2u : 1u);
    EXPECT_EQ(user->asked[0].text, "Das Archiv 't.zip' Entpacken nach:");
    if (damaged) {
      EXPECT_EQ(user->asked[1].title, "Fehler");
      EXPECT_TRUE(user->asked[1].text.startsWith("Fehler in Archiv 't.zip' : ")) << user->asked[1].text.toStdString();
    }
    EXPECT_TRUE(FilesUnder(target_).empty());
    EXPECT_TRUE(user->opened.empty());
    EXPECT_EQ(window_->statusMessage(), status) << "no closing line without the animation";
    EXPECT_TRUE(window_->isEnabled());
    EXPECT_FALSE(ProgressWindowLoaded());
  }
}

TEST_F(ExtractAction, PasswordPageAnsweredOrClosed) {
  const fs::path archive = makeZip("geheim");
  for (bool answered : {true, false}) {
    SCOPED_TRACE(answered);
    fs::remove_all(target_);
    fs::create_directories(target_);
    list(archive);
    ASSERT_EQ(ProgramState().EncryptedEntries, -1);
    const QString status = window_->statusMessage();
    kxtest::ScriptedUserScope user;
    user->answerDialog([answered](QDialog& d) {
      auto& settings = static_cast<Form2&>(d);
      EXPECT_EQ(settings.selectedTab(), "passwort");
      if (!answered) return d.reject();
      settings.Text1->setText("geheim");
      settings.Command1[1]->click();
    });
    if (answered) user->answerFolder(QString::fromStdString(target_.string()));
    window_->command("mnuaextrakt")->trigger();
    if (answered) {
      EXPECT_EQ(FilesUnder(target_), oracle(archive, {}, "geheim"));
      EXPECT_EQ(window_->statusMessage(), kDone);
    } else {
      EXPECT_EQ(user->asked.size(), 1u) << "no folder question, no message";
      EXPECT_TRUE(FilesUnder(target_).empty());
      EXPECT_EQ(window_->statusMessage(), status);
      EXPECT_TRUE(user->opened.empty());
    }
    EXPECT_TRUE(ProgramState().Password.isEmpty());
    EXPECT_EQ(ProgramState().TargetFolder, defaultFolder_);
  }
}

TEST_F(ExtractAction, CancelOfTheFolderQuestionExtractsAndTestsNothing) {
  list(makeZip());
  for (const char* entry : {"mnuaextrakt", "mnutesten"}) {
    SCOPED_TRACE(entry);
    window_->setStatusMessage("");
    kxtest::ScriptedUserScope user;
    user->answerFolder("");
    window_->command(entry)->trigger();
    EXPECT_EQ(window_->statusMessage(), kCancelled);
    EXPECT_TRUE(user->opened.empty());
    EXPECT_EQ(ProgramState().TargetFolder, defaultFolder_);
    EXPECT_TRUE(window_->isEnabled());
  }
  EXPECT_TRUE(FilesUnder(dir_ / "standard").empty());
}

// The quick view's way: no folder question, the entry lands in the default
// folder; the settings page first when asked for; the flag is cleared.
TEST_F(ExtractAction, EntpackenStartenUsesTheDefaultFolderWithoutAsking) {
  list(makeZip());
  mark({"Ümlaut ä.txt"});
  fs::create_directories(target_);
  ProgramState().TargetFolder = QString::fromStdString(target_.string());
  kxtest::ScriptedUserScope user;
  user->answerDialog([](QDialog& d) {
    EXPECT_EQ(static_cast<Form2&>(d).selectedTab(), "unzip");
    d.reject();
  });
  window_->EntpackenStarten = true;
  bool shell = false;
  window_->unzip(action::Extract, shell, true, false);
  EXPECT_EQ(FilesUnder(target_), (Tree{{"Ümlaut ä.txt", "Inhalt von Ümlaut ä.txt"}}));
  EXPECT_FALSE(window_->EntpackenStarten);
  EXPECT_EQ(user->asked.size(), 1u);
  EXPECT_TRUE(user->opened.empty());
}

}  // namespace
}  // namespace kx
