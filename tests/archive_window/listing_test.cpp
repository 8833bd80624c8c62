// The listing of real archives made by the peers, in the archive window.
#include <QAction>
#include <QLabel>
#include <QListView>
#include <QTableView>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/entry_model.h"
#include "archive_window/window_fixture.h"

namespace kx {
namespace {


// Entries with chosen DOS attributes, sizes and names; one whose CRC has the
// top bit set; a comment. Made by Python's zipfile as a DOS archive.
constexpr const char* kMakeMixed = R"(
import sys, zipfile, zlib
def add(z, name, data, attr):
    i = zipfile.ZipInfo(name, (2023, 11, 5, 14, 30, 8))
    i.create_system = 0
    i.external_attr = attr
    i.compress_type = zipfile.ZIP_DEFLATED
    z.writestr(i, data)
n = 0
while not zlib.crc32(b'%d' % n) & 0x80000000: n += 1
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    add(z, 'Ordner/', b'', 0x10)
    add(z, 'Ordner/leer.txt', b'', 0x20)
    add(z, 'gross.xyzq', b'Kravix ' * 300, 0x20)
    add(z, 'normal.dat', b'0', 0)
    add(z, 'nurlesen.dat', b'1', 0x21)
    add(z, 'versteckt.dat', b'2', 0x22)
    add(z, 'system.dat', b'3', 0x04)
    add(z, 'seltsam.dat', b'4', 0x80)
    add(z, 'docs.v1/readme.txt', b'5', 0x20)
    add(z, 'innen.zip', b'6', 0x20)
    add(z, 'crc.bin', b'%d' % n, 0x20)
    z.comment = b'Kommentar des Archivs'
)";

class Listing : public kxtest::LoadedWindow {
 protected:
  void list(const std::filesystem::path& archive) {
    ProgramState().CurrentArchive = QString::fromStdString(archive.string());
    window_->viewzip(ProgramState().CurrentArchive);
  }
  // The row of an entry by its name; the cells as the list shows them.
  QStringList cells(const QString& name) {
    const EntryTableModel* model = window_->ListView1->model();
    for (const EntryRow& row : model->rows()) {
      if (row.name != name) continue;
      QStringList out;
      for (int c = 0; c < ColumnCount; ++c) out << EntryTableModel::CellText(row, c);
      return out;
    }
    return {};
  }
  bool enabled(const char* name) { return window_->command(QString::fromUtf8(name))->isEnabled(); }
  std::filesystem::path mixedArchive() {
    const auto path = dir_ / "gemischt.zip";
    EXPECT_EQ(kxtest::Run({"python3", "-c", kMakeMixed, path.string()}).exitCode, 0);
    return path;
  }

};

TEST_F(Listing, EveryColumnOfEveryKindOfEntry) {
  list(mixedArchive());
  ASSERT_EQ(window_->ListView1->rowCount(), 11);
  // Name, sizes, ratio, date, time, attribute, type, password, checksum.
  const QStringList big = cells("gross.xyzq");
  ASSERT_EQ(big.size(), ColumnCount);
  EXPECT_EQ(big[ColSize], "2.100");
  EXPECT_NE(big[ColPackedSize], "");
  EXPECT_TRUE(big[ColRatio].endsWith(" %"));
  EXPECT_EQ(big[ColDate], "05.11.2023");
  EXPECT_EQ(big[ColTime], "14:30:08");
  EXPECT_EQ(big[ColAttribute], "Archiv");
  EXPECT_EQ(big[ColType], "XYZQ Datei");
  EXPECT_EQ(big[ColPassword], "nein");

  const QStringList folder = cells("Ordner/");
  ASSERT_FALSE(folder.isEmpty());
  EXPECT_EQ(folder[ColAttribute], "Verzeichnis");
  EXPECT_EQ(folder[ColType], "Ordner");
  EXPECT_EQ(folder[ColSize], "") << "zero sizes leave their cells empty";
  EXPECT_EQ(cells("Ordner/leer.txt")[ColSize], "");
  EXPECT_EQ(cells("normal.dat")[ColAttribute], "Normal");
  EXPECT_EQ(cells("nurlesen.dat")[ColAttribute], "Scheibgeschützt");
  EXPECT_EQ(cells("versteckt.dat")[ColAttribute], "Versteckt");
  EXPECT_EQ(cells("system.dat")[ColAttribute], "System");
  EXPECT_EQ(cells("seltsam.dat")[ColAttribute], "128");
  EXPECT_EQ(cells("innen.zip")[ColType], "Zip Archiv") << "registered at load";
  EXPECT_TRUE(cells("crc.bin")[ColChecksum].startsWith('-')) << "top bit set shows negative";

  // One icon per row, the folder's from the theme.
  for (const EntryRow& row : window_->ListView1->model()->rows()) EXPECT_FALSE(row.icon.isNull()) << row.name.toStdString();
}

TEST_F(Listing, WindowStateAfterAZipListing) {
  list(mixedArchive());
  EXPECT_EQ(window_->windowTitle(), "Kravix - Archiv 'gemischt.zip' geöffnet");
  EXPECT_FALSE(window_->statusPanel(3)->isHidden());
  EXPECT_FALSE(window_->statusPanel(4)->isHidden());
  EXPECT_EQ(window_->statusPanel(4)->text(), "11");
  EXPECT_EQ(window_->statusPanel(3)->text(), "0");
  EXPECT_EQ(window_->ListView1->selectedCount(), 0);
  EXPECT_EQ(ProgramState().PendingComment, "Kommentar des Archivs");
  EXPECT_TRUE(window_->isEnabled());
  for (const char* name : {"mnu_Update", "mnualöschen", "mnuMarkAll", "mnuSchnellansicht", "mnuaextrakt", "mnutesten",
                           "mnuadateibemerkung", "mnuaeinstellungen", "mnuarchivschliessen", "button:update",
                           "button:delete", "button:extrakt", "button:dateibemerkung", "button:einstellungen"})
    EXPECT_TRUE(enabled(name)) << name;
  // Rows stand ascending by the sort key, the name.
  const auto& rows = window_->ListView1->model()->rows();
  for (std::size_t i = 1; i < rows.size(); ++i)
    EXPECT_LE(rows[i - 1].name.compare(rows[i].name, Qt::CaseInsensitive), 0);

  window_->mnuMarkAll_Click();
  EXPECT_EQ(window_->statusPanel(3)->text(), "11");

  window_->mnuarchivschliessen_Click();
  EXPECT_EQ(window_->windowTitle(), "Kravix - kein Archiv geöffnet");
  EXPECT_EQ(window_->ListView1->rowCount(), 0);
  EXPECT_TRUE(window_->statusPanel(3)->isHidden());
  EXPECT_FALSE(enabled("mnuaextrakt"));
  EXPECT_FALSE(enabled("button:extrakt"));
}

// Status panel 3 counts the marked rows whatever changed the marks: keys,
// a click on empty space, in any of the views.
TEST_F(Listing, TheMarkedCountFollowsEveryChangeOfTheSelection) {
  window_->resize(900, 700);
  list(mixedArchive());
  QTableView* report = window_->ListView1->reportView();
  QListView* icons = window_->ListView1->iconView();
  auto click = [](QAbstractItemView* v, QPoint at, Qt::KeyboardModifiers keys = {}) {
    QTest::mouseClick(v->viewport(), Qt::LeftButton, keys, at);
  };
  auto rowCentre = [](QAbstractItemView* v, int row) { return v->visualRect(v->model()->index(row, 0)).center(); };
  const std::pair<std::function<void()>, QString> steps[] = {
      {[&] { QTest::keyClick(report, Qt::Key_A, Qt::ControlModifier); }, "11"},
      {[&] { click(report, {5, report->viewport()->height() - 5}); }, "0"},
      {[&] { click(report, rowCentre(report, 0)); }, "1"},
      {[&] { QTest::keyClick(report, Qt::Key_Down, Qt::ShiftModifier); }, "2"},
      {[&] { QTest::keyClick(report, Qt::Key_Down, Qt::ShiftModifier); }, "3"},
      {[&] { QTest::keyClick(report, Qt::Key_Up, Qt::ShiftModifier); }, "2"},
      {[&] { window_->mnuicon_Click(2); QTest::keyClick(icons, Qt::Key_A, Qt::ControlModifier); }, "11"},
      {[&] {
         QTest::qWaitFor([&] { return icons->visualRect(icons->model()->index(4, 0)).isValid(); });  // laid out
         click(icons, rowCentre(icons, 4), Qt::ControlModifier);
       },
       "10"},
  };
  for (std::size_t n = 0; n < std::size(steps); ++n) {
    steps[n].first();
    EXPECT_EQ(window_->statusPanel(3)->text(), steps[n].second) << "step " << n;
    EXPECT_EQ(window_->ListView1->selectedCount(), steps[n].second.toInt()) << "step " << n;
  }
}

TEST_F(Listing, AnEmptyArchiveHasNoEntriesState) {
  const auto path = dir_ / "leer.zip";
  ASSERT_EQ(kxtest::Run({"python3", "-c", "import zipfile,sys; zipfile.ZipFile(sys.argv[1],'w').close()", path.string()}).exitCode, 0);
  list(path);
  EXPECT_EQ(window_->ListView1->rowCount(), 0);
  EXPECT_EQ(window_->windowTitle(), "Kravix - Archiv enthält keine Archivdateien ");
  EXPECT_TRUE(window_->statusPanel(3)->isHidden());
  EXPECT_TRUE(window_->statusPanel(4)->isHidden());
  for (const char* name : {"mnu_Update", "mnualöschen", "mnuMarkAll", "mnuaextrakt", "mnutesten", "button:extrakt"})
    EXPECT_FALSE(enabled(name)) << name;
  EXPECT_TRUE(enabled("mnuarchivschliessen"));
  EXPECT_EQ(ProgramState().EncryptedEntries, 0);
}

TEST_F(Listing, TheEncryptedFlagIsSetAndReset) {
  kxtest::WriteFile(dir_ / "geheim.txt", "Geheimnis\n");
  ASSERT_EQ(kxtest::Run({"zip", "-q", "-P", "passwort", "geheim.zip", "geheim.txt"}, dir_.path()).exitCode, 0);
  list(dir_ / "geheim.zip");
  EXPECT_EQ(ProgramState().EncryptedEntries, -1);
  EXPECT_EQ(cells("geheim.txt")[ColPassword], "ja");
  list(mixedArchive());
  EXPECT_EQ(ProgramState().EncryptedEntries, 0);
}

TEST_F(Listing, CommandsFollowTheKindOfArchive) {
  kxtest::WriteFile(dir_ / "src" / "a.txt", kxtest::RandomBytes(300000));
  kxtest::WriteFile(dir_ / "src" / "b.txt", "B\n");

  // A split set: listed whole, nothing that changes it.
  ASSERT_EQ(kxtest::Run({"7zz", "a", "-tzip", "-v100k", "teile.zip", "src"}, dir_.path()).exitCode, 0);
  list(dir_ / "teile.zip.001");
  EXPECT_EQ(window_->windowTitle(), "Kravix - Archiv 'teile.zip.001' geöffnet(ZipMultivolume)");
  for (const char* off : {"mnu_Update", "mnualöschen", "mnuadateibemerkung", "button:update", "button:delete",
                          "button:dateibemerkung"})
    EXPECT_FALSE(enabled(off)) << off;
  for (const char* on : {"mnuaextrakt", "mnutesten", "mnuMarkAll", "button:extrakt"}) EXPECT_TRUE(enabled(on)) << on;

  // An ARJ archive: the packer changes it, the engine neither tests nor comments it.
  ASSERT_EQ(kxtest::Run({"arj", "a", "-y", "archiv.arj", "src/b.txt"}, dir_.path()).exitCode, 0);
  list(dir_ / "archiv.arj");
  EXPECT_EQ(window_->windowTitle(), "Kravix - Archiv 'archiv.arj' geöffnet");
  EXPECT_EQ(window_->ListView1->rowCount(), 1);
  for (const char* on : {"mnu_Update", "mnualöschen", "mnuaextrakt", "button:update", "button:delete"})
    EXPECT_TRUE(enabled(on)) << on;
  for (const char* off : {"mnutesten", "mnuadateibemerkung", "button:dateibemerkung"}) EXPECT_FALSE(enabled(off)) << off;

  // A write-protected ZIP archive.
  ASSERT_EQ(kxtest::Run({"zip", "-q", "-r", "fest.zip", "src"}, dir_.path()).exitCode, 0);
  ASSERT_EQ(::chmod((dir_ / "fest.zip").c_str(), 0444), 0);
  list(dir_ / "fest.zip");
  EXPECT_EQ(window_->windowTitle(), "Kravix - Archiv 'fest.zip' geöffnet (Schreibgeschützt)");
  for (const char* off : {"mnu_Update", "mnualöschen", "button:update", "button:delete"}) EXPECT_FALSE(enabled(off)) << off;
  for (const char* on : {"mnutesten", "mnuadateibemerkung", "mnuaextrakt"}) EXPECT_TRUE(enabled(on)) << on;
}

}  // namespace
}  // namespace kx
