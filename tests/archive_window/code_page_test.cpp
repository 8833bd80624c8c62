// "&Zeichensatz der Namen": archives that Python's zipfile writes with
// Shift-JIS and CP866 names (no UTF-8 flag) show code page 437 symbols when
// automatic, the right names at once after the code page is chosen, extract
// under those names, and keep the choice for that path while it is among the
// recent archives: in a new window too, not for a copy at another path, and
// not after four other archives have pushed it out.
#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include "archive_window/entry_list_view.h"
#include "archive_window/entry_model.h"
#include "archive_window/window_fixture.h"
#include "settings/settings_store.h"
#include "support/scripted_user.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

struct CodePageRow {
  const char* codec;  // Python's name of the page
  int entry;          // its entry in the menu
  QStringList names;
};
void PrintTo(const CodePageRow& row, std::ostream* os) { *os << row.codec; }

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

void MakeArchive(const fs::path& archive, const char* codec, const QStringList& names) {
  std::vector<std::string> argv = {"python3", "-c",
                                   "import sys, zipfile\n"
                                   "class Raw(zipfile.ZipInfo):\n"
                                   "    def _encodeFilenameFlags(self):\n"
                                   "        return self.filename.encode(sys.argv[2]), self.flag_bits & ~0x800\n"
                                   "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                   "    for n in sys.argv[3:]:\n"
                                   "        i = Raw(n); i.create_system = 0; z.writestr(i, n.encode())",
                                   archive.string(), codec};
  for (const QString& n : names) argv.push_back(n.toStdString());
  ASSERT_EQ(kxtest::Run(argv, archive.parent_path()).exitCode, 0);
}

// The names as code page 437 reads them (Python's default).
QStringList Cp437Names(const fs::path& archive) {
  const auto out = kxtest::Run({"python3", "-c", "import sys, zipfile\nprint('\\n'.join(zipfile.ZipFile(sys.argv[1]).namelist()))",
                                archive.string()},
                               archive.parent_path());
  return QString::fromStdString(out.output).trimmed().split('\n');
}

class CodePageCommand : public kxtest::LoadedWindow, public ::testing::WithParamInterface<CodePageRow> {
 protected:
  void open(const fs::path& archive) {
    kxtest::ScriptedUserScope user;
    user->answerFile(Q(archive));
    window_->command("mnuöffnen")->trigger();
  }
  QStringList shown() const {
    QStringList names;
    for (int r = 0; r < window_->ListView1->rowCount(); ++r) names << window_->ListView1->model()->row(r).name;
    names.sort();
    return names;
  }
  bool marked(int entry) const { return window_->command(QString("mnuzeichensatz(%1)").arg(entry))->isChecked(); }
};

TEST_P(CodePageCommand, ShowsExtractsAndRemembersTheChosenNames) {
  const CodePageRow& row = GetParam();
  QStringList names = row.names;
  names.sort();
  const fs::path archive = dir_ / "namen.zip";
  MakeArchive(archive, row.codec, row.names);
  fs::copy_file(archive, dir_ / "kopie.zip");
  QStringList automatic = Cp437Names(archive);
  automatic.sort();

  open(archive);
  EXPECT_EQ(shown(), automatic);
  EXPECT_TRUE(marked(0));
  window_->command(QString("mnuzeichensatz(%1)").arg(row.entry))->trigger();
  EXPECT_EQ(shown(), names);
  EXPECT_TRUE(marked(row.entry));
  EXPECT_TRUE(window_->isEnabled());

  {
    kxtest::ScriptedUserScope user;
    user->answerFolder(Q(dir_ / "ziel"));
    window_->command("mnuaextrakt")->trigger();
  }
  for (const QString& n : row.names) EXPECT_EQ(kxtest::ReadFile(dir_ / "ziel" / n.toStdString()), n.toStdString());

  open(dir_ / "kopie.zip");  // another path: automatic
  EXPECT_EQ(shown(), automatic);
  EXPECT_TRUE(marked(0));

  window_->Form_QueryUnload();
  window_ = std::make_unique<ArchiveWindow>();
  window_->Form_Load();
  ASSERT_EQ(window_->RecentArchive(2), Q(archive));
  window_->command("mnudbmru(2)")->trigger();
  EXPECT_EQ(shown(), names);
  EXPECT_TRUE(marked(row.entry));

  for (const char* other : {"b.zip", "c.zip", "d.zip", "e.zip"}) {
    fs::copy_file(dir_ / "kopie.zip", dir_ / other);
    open(dir_ / other);
  }
  open(archive);  // pushed out of the recent archives: the choice went with it
  EXPECT_EQ(shown(), automatic);
}

INSTANTIATE_TEST_SUITE_P(Pages, CodePageCommand,
                         ::testing::Values(CodePageRow{"cp932", 5, {"日本語/説明書.txt", "表.txt"}},
                                           CodePageRow{"cp866", 3, {"Привет/Документ.txt", "ёж.txt"}}),
                         [](const auto& info) { return std::string(info.param.codec); });

TEST_F(CodePageCommand, NeedsAZipArchive) {
  QMenu* menu = window_->findChild<QMenu*>("mnuzeichensatz");
  ASSERT_NE(menu, nullptr);
  emit menu->aboutToShow();
  EXPECT_FALSE(window_->command("mnuzeichensatz(5)")->isEnabled());
  window_->mnuzeichensatz_Click(5);  // nothing shown: nothing stored
  EXPECT_EQ(GetSetting(kAppName, "Zeichensatz", "1", "leer"), "leer");
}

}  // namespace
}  // namespace kx
