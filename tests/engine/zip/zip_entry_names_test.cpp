// Names with umlauts from each way archives store them: Info-ZIP's zip on
// Linux (UTF-8 bytes, no flag), Python's zipfile (UTF-8 with bit 11), a DOS
// packer (code page 437), a packer that adds Info-ZIP's Unicode-path field
// (0x7075) to a code page 437 header. Each lists and extracts under the same
// right names, and where Python's zipfile reads the names too (code page 437
// without the flag, UTF-8 with it) it reads the same.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "engine/kxzip.h"
#include "engine/engine_fixture.h"
#include "engine/raw_zip.h"

namespace {

using kxtest::TempDir;
using kxtest::WriteFile;
namespace fs = std::filesystem;

const std::string kGruesse = "Grüße, ärger öl.txt";
const std::string kUebersicht = "Übersicht/Ä.txt";

void MakeSources(const TempDir& dir) {
  WriteFile(dir / "src" / kGruesse, "hallo");
  WriteFile(dir / "src" / kUebersicht, "ae");
}

// A file entry as a DOS packer writes it: host 0, code page 437 name.
kxtest::RawEntry DosEntry(const std::string& cp437Name, const std::string& data) {
  kxtest::RawEntry e = kxtest::FileEntry(cp437Name, data);
  e.madeBy = 0x0014;
  e.externalAttributes = 0x20;  // archive bit
  return e;
}

void AddUnicodePath(kxtest::RawEntry& e, const std::string& utf8) {
  std::string field;
  field += '\x01';
  kxtest::Put32(field, kxtest::Crc32(e.name));
  field += utf8;
  kxtest::Put16(e.extra, 0x7075);
  kxtest::Put16(e.extra, static_cast<std::uint32_t>(field.size()));
  e.extra += field;
}

struct MakerRow {
  const char* label;
  std::function<void(const TempDir&, const fs::path&)> make;
  bool pythonReadsTheSame = true;
};

class ZipEntryNames : public ::testing::TestWithParam<MakerRow> {};

TEST_P(ZipEntryNames, ListedAndExtractedUnderTheRightNames) {
  TempDir dir;
  MakeSources(dir);
  const fs::path archive = dir / "namen.zip";
  GetParam().make(dir, archive);
  ASSERT_TRUE(fs::exists(archive));

  kx::KxZip zip;
  zip.ZipFile = archive.string();
  zip.SetAction(kx::action::ReadDirectory);
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  std::set<std::string> files;
  for (int i = 0; i < zip.EntryCount(); ++i) {
    zip.SetEntryIndex(i);
    if (!zip.Entry()->isFolder) files.insert(zip.EntryName());
  }
  EXPECT_EQ(files, (std::set<std::string>{kGruesse, kUebersicht}));
  if (GetParam().pythonReadsTheSame) {
    std::set<std::string> python;
    for (const std::string& n : kxwt::PyNames(archive))
      if (n.back() != '/') python.insert(n);
    EXPECT_EQ(python, files);
  }

  zip.TargetDir = (dir / "aus").string();
  zip.SetAction(kx::action::Extract);
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  EXPECT_EQ(kxwt::Files(dir / "aus"), (kxwt::FileMap{{kGruesse, "hallo"}, {kUebersicht, "ae"}}));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ZipEntryNames,
    ::testing::Values(
        // Without a UTF-8 locale of its own, zip stores the bytes as they are, flag clear.
        MakerRow{"infozip",
                 [](const TempDir& dir, const fs::path& archive) {
                   const auto r = kxtest::Run({"zip", "-q", "-r", archive.string(), kGruesse, "Übersicht"}, dir / "src");
                   ASSERT_EQ(r.exitCode, 0) << r.output;
                 },
                 false},  // Python reads unflagged names as code page 437
        MakerRow{"python",
                 [](const TempDir& dir, const fs::path& archive) {
                   const auto r = kxtest::Run({"python3", "-c",
                                               "import sys,zipfile\n"
                                               "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n"
                                               "for n in sys.argv[2:]: z.write(n)\n"
                                               "z.close()\n"
                                               "assert all(i.flag_bits & 0x800 for i in zipfile.ZipFile(sys.argv[1]).infolist())",
                                               archive.string(), kGruesse, kUebersicht},
                                              dir / "src");
                   ASSERT_EQ(r.exitCode, 0) << r.output;
                 }},
        MakerRow{"dos_cp437",
                 [](const TempDir&, const fs::path& archive) {
                   kxtest::RawZip raw;
                   raw.Add(DosEntry("Gr\x81\xe1" "e, \x84rger \x94l.txt", "hallo"));
                   raw.Add(DosEntry("\x9a" "bersicht/\x8e.txt", "ae"));
                   WriteFile(archive, raw.Finish());
                 }},
        MakerRow{"unicode_path_field",
                 [](const TempDir&, const fs::path& archive) {
                   kxtest::RawZip raw;
                   kxtest::RawEntry a = DosEntry("Gr\x81\xe1" "e, \x84rger \x94l.txt", "hallo");
                   AddUnicodePath(a, kGruesse);
                   // The header name is a lossy stand-in; the field has the real one.
                   kxtest::RawEntry b = DosEntry("_bersicht/_.txt", "ae");
                   AddUnicodePath(b, kUebersicht);
                   raw.Add(a);
                   raw.Add(b);
                   WriteFile(archive, raw.Finish());
                 },
                 false}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
