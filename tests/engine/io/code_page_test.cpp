// Code pages for names without the UTF-8 flag: each page's bytes decode to
// the right characters, and archives that Python's zipfile writes with
// Shift-JIS and CP866 names list, extract, delete and replace under the names
// Python reads with that encoding, once the page is chosen. Automatic reads
// them as code page 437, as Python does by default.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/engine_fixture.h"
#include "engine/io/code_page.h"
#include "engine/kxzip.h"

namespace {

using kx::CodePage;
using kxtest::TempDir;
namespace fs = std::filesystem;

struct DecodeRow {
  CodePage page;
  std::string bytes;
  std::string utf8;
};

TEST(CodePage, DecodesEachPage) {
  const DecodeRow rows[] = {
      {CodePage::Automatic, "\x84gypten.txt", "ägypten.txt"},
      {CodePage::Cp437, "\x9b", "¢"},
      {CodePage::Cp850, "\x9b\xd8", "øÏ"},
      {CodePage::Cp866, "\x8f\xe0\xa8\xa2\xa5\xe2 \xf1", "Привет ё"},
      {CodePage::Windows1252, "\x80 \x81 \xe9", "€ \xc2\x81 é"},
      {CodePage::ShiftJis, "\x93\xfa\x96\x7b\\\x95\x5c~", "日本\\表~"},  // 0x5C stays a backslash
      {CodePage::ShiftJis, "a\x93", "a\xef\xbf\xbd"},                    // a lead byte cut off
      {CodePage::ShiftJis, "\xa0z", "\xef\xbf\xbdz"},                     // a byte without a character
      {CodePage::Gbk, "\xd6\xd0\xce\xc4.txt", "中文.txt"},
  };
  for (const DecodeRow& row : rows) EXPECT_EQ(kx::DecodeCodePage(row.page, row.bytes), row.utf8) << row.utf8;
  EXPECT_EQ(kx::CodePageOf(866), CodePage::Cp866);
  EXPECT_EQ(kx::CodePageOf(1251), CodePage::Automatic);
}

struct ArchiveRow {
  const char* codec;  // Python's name of the page
  CodePage page;
  std::vector<std::string> names;  // the second is replaced, the last deleted
};

// Python's zipfile writing the names' bytes in codec without the UTF-8 flag,
// as a DOS or Windows packer does; each entry holds its name.
void MakeArchive(const fs::path& archive, const ArchiveRow& row) {
  std::vector<std::string> argv = {"python3", "-c",
                                   "import sys, zipfile\n"
                                   "class Raw(zipfile.ZipInfo):\n"
                                   "    def _encodeFilenameFlags(self):\n"
                                   "        return self.filename.encode(sys.argv[2]), self.flag_bits & ~0x800\n"
                                   "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                   "    for n in sys.argv[3:]:\n"
                                   "        i = Raw(n, (2020, 5, 6, 7, 8, 10)); i.create_system = 0\n"
                                   "        z.writestr(i, n.encode())",
                                   archive.string(), row.codec};
  argv.insert(argv.end(), row.names.begin(), row.names.end());
  ASSERT_EQ(kxtest::Run(argv).exitCode, 0);
}

std::vector<std::string> PythonNames(const fs::path& archive, const std::string& codec) {
  const auto out = kxtest::Run({"python3", "-c",
                                "import sys, zipfile\n"
                                "for n in zipfile.ZipFile(sys.argv[1], metadata_encoding=sys.argv[2]).namelist():\n"
                                "    print(n)",
                                archive.string(), codec});
  std::vector<std::string> names;
  std::istringstream lines(out.output);
  for (std::string line; std::getline(lines, line);) names.push_back(line);
  return names;
}

std::vector<std::string> Listed(kx::KxZip& zip) {
  zip.SetAction(kx::action::ReadDirectory);
  std::vector<std::string> names;
  for (const auto& e : zip.Directory().entries) names.push_back(e.name);
  return names;
}

class CodePageArchives : public ::testing::TestWithParam<ArchiveRow> {};

TEST_P(CodePageArchives, ListExtractDeleteAndReplaceUnderTheChosenNames) {
  const ArchiveRow& row = GetParam();
  TempDir dir;
  const fs::path archive = dir / "namen.zip";
  MakeArchive(archive, row);
  kx::KxZip zip;
  kxwt::Aim(zip, archive, "", dir / "aus");
  EXPECT_EQ(Listed(zip), PythonNames(archive, "cp437"));  // automatic: as before

  zip.NameCodePage = kx::OptionCode(row.page);
  ASSERT_EQ(Listed(zip), row.names);
  EXPECT_EQ(PythonNames(archive, row.codec), row.names);
  zip.SetAction(kx::action::Extract);
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  kxwt::FileMap expected;
  for (const auto& n : row.names) expected[n] = n;
  EXPECT_EQ(kxwt::Files(dir / "aus"), expected);

  zip.FileSpec = "\"" + row.names.back() + "\"";
  zip.SetAction(kx::action::Delete);
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  const std::vector<std::string> kept(row.names.begin(), row.names.end() - 1);
  EXPECT_EQ(PythonNames(archive, row.codec), kept);

  // A newer file of the second name replaces that entry, under its stored bytes.
  const fs::path source = dir / "neu" / row.names[1];
  kxtest::WriteFile(source, "neu");
  const fs::path before = fs::current_path();
  fs::current_path(dir / "neu");
  zip.FileSpec = "\"" + row.names[1] + "\"";
  zip.SetAction(kx::action::Add);
  fs::current_path(before);
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  EXPECT_EQ(PythonNames(archive, row.codec), kept);
  EXPECT_EQ(kxwt::PyEntries(archive).at(1).size, 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, CodePageArchives,
    ::testing::Values(ArchiveRow{"cp932", CodePage::ShiftJis, {"日本語/説明書.txt", "表.txt", "ソフト.txt"}},
                      ArchiveRow{"cp866", CodePage::Cp866, {"Привет/Документ.txt", "ёж.txt", "Щука.txt"}}),
    [](const auto& info) { return std::string(info.param.codec); });

}  // namespace
