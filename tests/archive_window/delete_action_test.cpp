// "&Löschen..." and deletezip in the archive window, on real ZIP and ARJ
// archives made by the peers; lsar and Python's zipfile read the result.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/entry_model.h"
#include "archive_window/window_fixture.h"
#include "support/scripted_user.h"
#include "ui/progress_window.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const QString kTitle = "Archivdateien Löschen...";
const Names kFive = {"a.txt", "b mit blank.txt", "c.txt", "d.txt", "e.txt"};

using kxtest::PeerNames;

class DeleteAction : public kxtest::LoadedWindow {
 protected:
  // An archive of the named files, made by Info-ZIP's zip or by arj.
  fs::path make(const std::string& format, const Names& names) {
    for (const auto& n : names) kxtest::WriteFile(dir_ / "src" / n, "Inhalt " + n);
    const fs::path archive = dir_ / ("a." + format);
    Names argv = format == "zip" ? Names{"zip", "-q", archive.string()} : Names{"arj", "a", archive.string(), "--"};
    argv.insert(argv.end(), names.begin(), names.end());
    EXPECT_EQ(kxtest::Run(argv, dir_ / "src").exitCode, 0);
    return archive;
  }
  void list(const fs::path& archive) {
    ProgramState().CurrentArchive = QString::fromStdString(archive.string());
    window_->viewzip(ProgramState().CurrentArchive);
  }
  void markRows(const std::vector<int>& rows) {  // 1-based, as the list counts
    for (int r : rows) window_->ListView1->selectRow(r - 1);
    window_->archivlistcount();
  }
  Names rows() {
    Names out;
    for (const EntryRow& r : window_->ListView1->model()->rows()) out.push_back(r.name.toStdString());
    return out;
  }
  void deleteCommand() { window_->Toolbar1_ButtonClick("delete"); }

};

struct DeleteCase {
  const char* name;
  const char* format;
  Names entries;
  std::vector<int> marked;
  QString question;
  Names left;
};
void PrintTo(const DeleteCase& c, std::ostream* os) { *os << c.name; }

class Deletes : public DeleteAction, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(Deletes, TheMarkedEntriesAfterTheQuestion) {
  const DeleteCase& c = GetParam();
  const fs::path archive = make(c.format, c.entries);
  list(archive);
  ASSERT_EQ(rows(), c.entries);
  markRows(c.marked);
  kxtest::ScriptedUserScope user;
  user->answerMessage(-1);
  deleteCommand();

  ASSERT_EQ(user->asked.size(), 1u);
  EXPECT_EQ(user->asked[0].text, c.question);
  EXPECT_EQ(user->asked[0].title, kTitle);
  EXPECT_EQ(user->asked[0].symbol, 3);
  EXPECT_EQ(rows(), c.left) << "the other rows keep their order";
  EXPECT_EQ(window_->ListView1->selectedCount(), 0);
  EXPECT_EQ(window_->statusMessage(), "Letzte Nachricht - Löschen abgeschlossen...");
  EXPECT_TRUE(window_->isEnabled());
  EXPECT_FALSE(ProgressWindowLoaded());
  if (c.left.empty()) {
    // The engine keeps an empty archive; arj removes it.
    if (c.format == std::string("zip"))
      EXPECT_EQ(kxtest::Run({"python3", "-c", "import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).namelist())",
                             archive.string()}).output, "[]\n");
    else
      EXPECT_FALSE(fs::exists(archive));
    EXPECT_EQ(window_->windowTitle(), "Kravix - Archiv enthält keine Archivdateien ");
    EXPECT_FALSE(window_->command("mnualöschen")->isEnabled());
  } else {
    EXPECT_EQ(PeerNames(archive), std::set<std::string>(c.left.begin(), c.left.end()));
    EXPECT_EQ(window_->statusPanel(4)->text(), QString::number(c.left.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Window, Deletes,
    ::testing::Values(
        DeleteCase{"zip_one", "zip", kFive, {3}, "Den Archiveintrag 'C.TXT' Löschen?",
                   {"a.txt", "b mit blank.txt", "d.txt", "e.txt"}},
        DeleteCase{"zip_rows_2_and_4", "zip", kFive, {2, 4}, "Die 2 selektierten Archiveinträge Löschen?",
                   {"a.txt", "c.txt", "e.txt"}},
        DeleteCase{"zip_last_entry", "zip", {"einzig.txt"}, {1}, "Den Archiveintrag 'EINZIG.TXT' Löschen?", {}},
        DeleteCase{"arj_last_entry", "arj", {"einzig.txt"}, {1}, "Den Archiveintrag 'EINZIG.TXT' Löschen?", {}},
        DeleteCase{"arj_one", "arj", kFive, {2}, "Den Archiveintrag 'B MIT BLANK.TXT' Löschen?",
                   {"a.txt", "c.txt", "d.txt", "e.txt"}},
        DeleteCase{"arj_rows_2_and_4", "arj", kFive, {2, 4}, "Die 2 selektierten Archiveinträge Löschen?",
                   {"a.txt", "c.txt", "e.txt"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Every row marked is refused, and a question not confirmed changes nothing:
// the archive stays byte for byte, the list row for row.
TEST_F(DeleteAction, RefusedOrNotConfirmedChangesNothing) {
  struct Row {
    const char* format;
    std::vector<int> marked;
    int answer;
    QString text;
    int symbol;
  };
  const QString everyRow = "Sie haben alle Archiveinträge zum Löschen selektiert. Das Archiv %1 wird somit "
                           "unbrauchbar. Es muß mindestens ein Archiveintrag vorhanden sein. Das Löschen wird "
                           "abgebrochen.";
  for (const Row& r : {Row{"zip", {1, 2, 3, 4, 5}, -1, everyRow, 2}, Row{"arj", {1, 2, 3, 4, 5}, -1, everyRow, 2},
                       Row{"zip", {1, 5}, 0, "Die 2 selektierten Archiveinträge Löschen?", 3}}) {
    SCOPED_TRACE(r.format + std::to_string(r.marked.size()));
    fs::remove_all(dir_ / "src");
    const fs::path archive = make(r.format, kFive);
    const std::string before = kxtest::ReadFile(archive);
    list(archive);
    markRows(r.marked);
    window_->setStatusMessage("");
    kxtest::ScriptedUserScope user;
    user->answerMessage(r.answer);
    deleteCommand();
    ASSERT_EQ(user->asked.size(), 1u);
    EXPECT_EQ(user->asked[0].text, r.symbol == 2 ? r.text.arg(QString::fromStdString(archive.string())) : r.text);
    EXPECT_EQ(user->asked[0].symbol, r.symbol);
    EXPECT_EQ(window_->statusMessage(), r.symbol == 2 ? "Letzte Nachricht - Löschen verweigert..." : "");
    EXPECT_EQ(kxtest::ReadFile(archive), before);
    EXPECT_EQ(rows(), kFive);
    fs::remove(archive);
  }
}

// More marked rows than a 16-bit counter holds are still every row.
TEST_F(DeleteAction, EveryRowOfAVeryLargeArchiveIsRefusedToo) {
  const fs::path archive = dir_ / "gross.zip";
  ASSERT_EQ(kxtest::Run({"python3", "-c",
                         "import sys, zipfile\n"
                         "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                         "    for i in range(32800): z.writestr('e%05d' % i, b'')",
                         archive.string()}).exitCode, 0);
  const std::string before = kxtest::ReadFile(archive);
  list(archive);
  window_->mnuMarkAll_Click();
  kxtest::ScriptedUserScope user;
  user->answerMessage(-1);
  deleteCommand();
  ASSERT_EQ(user->asked.size(), 1u);
  EXPECT_TRUE(user->asked[0].text.startsWith("Sie haben alle Archiveinträge")) << user->asked[0].text.toStdString();
  EXPECT_EQ(kxtest::ReadFile(archive), before);
}

// The archive changed behind the window's back: the count after the delete
// disagrees with the list, which is told and listed anew.
TEST_F(DeleteAction, TheCountCheckListsAnewAfterAMismatch) {
  const fs::path archive = make("zip", kFive);
  list(archive);
  kxtest::WriteFile(dir_ / "src" / "f.txt", "neu");
  ASSERT_EQ(kxtest::Run({"zip", "-q", archive.string(), "f.txt"}, dir_ / "src").exitCode, 0);
  markRows({1});
  kxtest::ScriptedUserScope user;
  user->answerMessage(-1).answerMessage(-1);
  deleteCommand();
  ASSERT_EQ(user->asked.size(), 2u);
  EXPECT_EQ(user->asked[1].text, "Fehler beim Löschen der selektierten Einträge.");
  EXPECT_EQ(user->asked[1].title, "Sicherheitsabfrage");
  EXPECT_EQ(user->asked[1].symbol, 2);
  const Names now = {"b mit blank.txt", "c.txt", "d.txt", "e.txt", "f.txt"};
  EXPECT_EQ(rows(), now);
  EXPECT_EQ(PeerNames(archive), std::set<std::string>(now.begin(), now.end()));
  EXPECT_TRUE(window_->isEnabled());
}

// "&Abbrechen" in the progress window while a large delete runs: the archive
// stays as it was and the list shows it whole again.
TEST_F(DeleteAction, CancelInTheMiddleLeavesTheArchiveUnchanged) {
  const fs::path archive = dir_ / "gross.zip";
  ASSERT_EQ(kxtest::Run({"python3", "-c",
                         "import os, random, sys, zipfile\n"
                         "random.seed(7)\n"
                         "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_STORED) as z:\n"
                         "    for i in range(400): z.writestr('datei%03d.bin' % i, random.randbytes(65536))",
                         archive.string()}).exitCode, 0);
  const std::string before = kxtest::ReadFile(archive);
  list(archive);
  std::vector<int> marked;
  for (int r = 2; r <= 399; ++r) marked.push_back(r);
  markRows(marked);

  int events = 0;
  QTimer presser;
  QObject::connect(&presser, &QTimer::timeout, [&] {
    if (!ProgressWindowLoaded() || !TheProgressWindow().Label1->text().startsWith(" Löschen...")) return;
    if (++events != 1) return;  // the delete has begun, none of it is written yet
    EXPECT_FALSE(window_->isEnabled()) << "disabled while the engine works";
    TheProgressWindow().Command1->click();
  });
  presser.start(0);
  kxtest::ScriptedUserScope user;
  user->answerMessage(-1).answerMessage(-1);
  deleteCommand();
  presser.stop();

  EXPECT_GE(events, 1) << "pressed while deleting";
  EXPECT_EQ(kxtest::ReadFile(archive), before);
  ASSERT_EQ(user->asked.size(), 2u);
  EXPECT_EQ(user->asked[1].text, "Fehler beim Löschen der selektierten Einträge.");
  EXPECT_EQ(window_->ListView1->rowCount(), 400);
  EXPECT_TRUE(window_->isEnabled());
}

}  // namespace
}  // namespace kx
