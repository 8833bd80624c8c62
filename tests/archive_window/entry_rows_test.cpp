#include "archive_window/entry_rows.h"

#include <gtest/gtest.h>

#include "archive_window/entry_model.h"
#include "archive_window/window_fixture.h"
#include "platform/class_keys.h"

namespace kx {
namespace {

using kxtest::FreshStart;

EntryInfo Entry(const char* name, std::uint64_t size = 10, std::uint32_t attributes = attr::Archive) {
  EntryInfo e;
  e.name = name;
  e.size = size;
  e.packedSize = size / 2;
  e.attributes = attributes;
  e.modified = {2024, 3, 9, 7, 5, 3};
  return e;
}

class EntryRows : public FreshStart {};

TEST_F(EntryRows, AttributeWordsFollowTheFirstMatchingBit) {
  const std::tuple<std::int16_t, const char*, bool> rows[] = {
      {0, "Normal", false},          {1, "Scheibgeschützt", false}, {33, "Scheibgeschützt", false},
      {34, "Versteckt", false},      {4, "System", false},          {16, "Verzeichnis", true},
      {48, "Verzeichnis", true},     {32, "Archiv", false},         {128, "128", false},
      {-32768, "-32768", false},
  };
  for (const auto& [bits, word, folder] : rows) {
    bool isFolder = !folder;
    EXPECT_EQ(AttributeWord(bits, isFolder), QString::fromUtf8(word)) << bits;
    EXPECT_EQ(isFolder, folder) << bits;
  }
}

TEST_F(EntryRows, CellsShowSizesRatioDateAndSignedChecksum) {
  FileTypeCache types;
  EntryInfo e = Entry("Texte/Brief.txt", 1234567);
  e.packedSize = 234567;
  e.crc = 0xFFFFFFFF;
  e.encrypted = true;
  const EntryRow row = MakeEntryRow(e, types);
  EXPECT_EQ(EntryTableModel::CellText(row, ColName), "Texte/Brief.txt");
  EXPECT_EQ(EntryTableModel::CellText(row, ColSize), "1.234.567") << "German separators when the locale is C";
  EXPECT_EQ(EntryTableModel::CellText(row, ColPackedSize), "234.567");
  EXPECT_EQ(EntryTableModel::CellText(row, ColRatio), "81 %");
  EXPECT_EQ(EntryTableModel::CellText(row, ColDate), "09.03.2024");
  EXPECT_EQ(EntryTableModel::CellText(row, ColTime), "07:05:03");
  EXPECT_EQ(EntryTableModel::CellText(row, ColAttribute), "Archiv");
  EXPECT_EQ(EntryTableModel::CellText(row, ColPassword), "ja");
  EXPECT_EQ(EntryTableModel::CellText(row, ColChecksum), "-1");

  const EntryRow empty = MakeEntryRow(Entry("leer.dat", 0), types);
  EXPECT_EQ(EntryTableModel::CellText(empty, ColSize), "");
  EXPECT_EQ(EntryTableModel::CellText(empty, ColPackedSize), "");
  EXPECT_EQ(EntryTableModel::CellText(empty, ColRatio), "0 %");
  EXPECT_EQ(EntryTableModel::CellText(empty, ColPassword), "nein");
  EXPECT_EQ(EntryTableModel::CellText(MakeEntryRow(Entry("g.bin", 5'000'000'000ull), types), ColSize),
            "5.000.000.000") << "sizes beyond 32 bits";
}

TEST_F(EntryRows, FileTypesComeFromTheKeyStoreOrTheExtension) {
  ClassKeyStore store;
  ASSERT_TRUE(store.setDefault(".kxt", "KravixText"));
  ASSERT_TRUE(store.setDefault("KravixText", "Kravix Textdatei"));
  FileTypeCache types;
  EXPECT_EQ(MakeEntryRow(Entry("a/brief.kxt"), types).type, "Kravix Textdatei");
  EXPECT_EQ(MakeEntryRow(Entry("daten.xyzq"), types).type, "XYZQ Datei");
  EXPECT_EQ(MakeEntryRow(Entry("docs.v1/readme.txt"), types).type, "V1/README.TXT Datei")
      << "the first dot of the whole name starts the extension";
  EXPECT_EQ(MakeEntryRow(Entry("Makefile"), types).type, "Datei");
  // The system's MIME names, in German whatever the locale (the tests run in C).
  for (const auto& [name, type] : {std::pair{"bild.png", "PNG-Bild"}, {"kopf.h", "C-Header"},
                                   {"liesmich.txt", "Einfaches Textdokument"}})
    EXPECT_EQ(MakeEntryRow(Entry(name), types).type, QString::fromUtf8(type)) << name;
  const EntryRow folder = MakeEntryRow(Entry("docs.v1/", 0, attr::Folder), types);
  EXPECT_EQ(folder.type, "Ordner");
  EXPECT_EQ(folder.attribute, "Verzeichnis");
  EXPECT_FALSE(folder.icon.isNull());
  EXPECT_EQ(ExtensionOf("a.b.c"), ".b.c");
  EXPECT_EQ(ExtensionOf(""), "");
  EXPECT_EQ(WithTrailingSlash("/tmp"), "/tmp/");
  EXPECT_EQ(WithTrailingSlash("/tmp/"), "/tmp/");
  EXPECT_EQ(RegQueryDefault(0, ".kxt"), "") << "no root, no answer";
  EXPECT_EQ(RegQueryDefault(kClassesRoot, ".kxt"), "KravixText");
}

// Sorting compares values: "1.234" comes after "999", 2019 before 2020.
TEST_F(EntryRows, SortingComparesValuesNotTexts) {
  FileTypeCache types;
  std::vector<EntryRow> rows;
  EntryInfo a = Entry("b.txt", 1234);
  a.modified = {2020, 2, 1, 9, 0, 0};
  a.crc = 0x80000000;  // negative when shown
  EntryInfo b = Entry("A.txt", 999);
  b.modified = {2019, 12, 31, 23, 0, 0};
  b.crc = 5;
  EntryInfo c = Entry("c.txt", 10000);
  c.modified = {2019, 1, 31, 10, 0, 0};
  c.crc = 7;
  for (const auto& e : {a, b, c}) rows.push_back(MakeEntryRow(e, types));
  EntryTableModel model;
  model.setRows(rows);
  auto names = [&] {
    QStringList n;
    for (const auto& r : model.rows()) n << r.name;
    return n.join(',');
  };
  model.sort(ColSize, Qt::AscendingOrder);
  EXPECT_EQ(names(), "A.txt,b.txt,c.txt");
  model.sort(ColDate, Qt::AscendingOrder);
  EXPECT_EQ(names(), "c.txt,A.txt,b.txt");
  model.sort(ColTime, Qt::DescendingOrder);
  EXPECT_EQ(names(), "A.txt,c.txt,b.txt");
  model.sort(ColChecksum, Qt::AscendingOrder);
  EXPECT_EQ(names(), "b.txt,A.txt,c.txt");
  model.sort(ColName, Qt::AscendingOrder);
  EXPECT_EQ(names(), "A.txt,b.txt,c.txt") << "names compare without regard to case";
}

}  // namespace
}  // namespace kx
