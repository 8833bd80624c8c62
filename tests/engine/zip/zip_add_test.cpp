// Action 2 against the peers: what we write must pass unzip, 7zz and Python,
// with the names, sizes, times and contents of the files; each option changes
// the result in a way a test can see.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/cancel.h"
#include "engine/functions/kx_quick.h"
#include "engine/zip/zip_add.h"
#include "engine/engine_fixture.h"

namespace {

using kxtest::ReadFile;
using kxtest::TempDir;
using kxtest::WriteFile;
namespace fs = std::filesystem;

std::string Text(std::size_t n, unsigned seed = 3) {
  std::string s;
  unsigned x = seed;
  while (s.size() < n) {
    x = x * 1103515245 + 12345;
    s += "Zeile " + std::to_string((x >> 16) % 1000) + " der Datei mit etwas Text\n";
  }
  s.resize(n);
  return s;
}

// docs/a.txt, docs/sub/b.bin, docs/leer.txt, docs/Grüße.txt
void MakeDocs(const fs::path& root) {
  WriteFile(root / "docs/a.txt", Text(5000));
  WriteFile(root / "docs/sub/b.bin", kxtest::RandomBytes(70000));
  WriteFile(root / "docs/leer.txt", "");
  WriteFile(root / "docs/Grüße.txt", "Grüße aus Köln\n");
  fs::permissions(root / "docs/a.txt", fs::perms(0640));
}

TEST(ZipAdd, NewArchivePassesEveryPeerWithNamesSizesTimesAndContents) {
  TempDir dir;
  MakeDocs(dir.path());
  kxwt::SetMtime(dir / "docs/a.txt", 1262347200 + 7);  // an odd second: stored rounded down
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "neu.zip", (dir / "docs").string());
  ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);

  EXPECT_TRUE(kxwt::UnzipTestOk(dir / "neu.zip"));
  EXPECT_TRUE(kxwt::SevenZipTestOk(dir / "neu.zip"));
  const auto entries = kxwt::PyEntries(dir / "neu.zip");
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"docs/", "docs/Grüße.txt", "docs/a.txt", "docs/leer.txt", "docs/sub/",
                                             "docs/sub/b.bin"}));
  for (const auto& e : entries) {
    if (e.name.back() == '/') continue;
    const fs::path file = dir / e.name;
    const std::string content = ReadFile(file);
    EXPECT_EQ(e.size, content.size()) << e.name;
    EXPECT_EQ(e.crc, kxwt::Crc(content)) << e.name;
    EXPECT_EQ(e.time, kxwt::DosTimeText(kxwt::Mtime(file))) << e.name;
    EXPECT_EQ(e.utf8, e.name == "docs/Grüße.txt") << e.name;
    EXPECT_EQ(e.unixMode, static_cast<unsigned>(fs::status(file).permissions()) | 0100000u) << e.name;
    EXPECT_TRUE(e.unixTime) << e.name;
  }
  // Incompressible and empty files are stored, text is deflated.
  for (const auto& e : entries) {
    if (e.name == "docs/sub/b.bin" || e.name == "docs/leer.txt") {
      EXPECT_EQ(e.method, 0) << e.name;
    }
    if (e.name == "docs/a.txt") {
      EXPECT_EQ(e.method, 8);
    }
  }
  TempDir out;
  ASSERT_EQ(kxtest::Run({"unzip", "-q", (dir / "neu.zip").string(), "-d", out.path().string()}).exitCode, 0);
  EXPECT_EQ(ReadFile(out / "docs/sub/b.bin"), ReadFile(dir / "docs/sub/b.bin"));
  EXPECT_EQ(ReadFile(out / "docs/Grüße.txt"), "Grüße aus Köln\n");
  EXPECT_TRUE(kxwt::Leftovers(dir.path()).empty());
}

// The names a request stores, with StorePaths, Recurse and LongNames. In the
// request "@" stands for the temp folder; in the names "<abs>" for the temp
// folder without the root.
struct NamesRow {
  const char* label;
  std::string request;
  std::function<void(kx::KxZip&)> set;
  std::vector<std::string> names;
};

class ZipAddNames : public ::testing::TestWithParam<NamesRow> {};

TEST_P(ZipAddNames, StoredAsTheOptionsSay) {
  TempDir dir;
  for (const char* f : {"docs/a.txt", "docs/sub/b.txt", "src/x.c", "src/y.h", "src/lib/z.c",
                        "Ordner mit Namen/Langer Dateiname.html", "Ordner mit Namen/Langer Dateiname B.html",
                        "Ordner mit Namen/kurz.txt"})
    WriteFile(dir / f, f);
  std::string request = GetParam().request;
  request.replace(request.find('@'), 1, dir.path().string());
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "n.zip", request);
  if (GetParam().set) GetParam().set(zip);
  ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
  std::vector<std::string> expected;
  for (auto n : GetParam().names) {
    if (n.rfind("<abs>", 0) == 0) n = dir.path().relative_path().generic_string() + n.substr(5);
    expected.push_back(n);
  }
  auto got = kxwt::PyNames(dir / "n.zip");
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ZipAddNames,
    ::testing::Values(
        NamesRow{"names_only", "@/docs", [](kx::KxZip& z) { z.StorePaths = 0; }, {"a.txt", "b.txt"}},
        NamesRow{"full_paths", "@/docs", [](kx::KxZip& z) { z.StorePaths = 1; },
                 {"<abs>/docs/", "<abs>/docs/a.txt", "<abs>/docs/sub/", "<abs>/docs/sub/b.txt"}},
        NamesRow{"relative_paths", "@/docs", [](kx::KxZip& z) { z.StorePaths = 2; },
                 {"docs/", "docs/a.txt", "docs/sub/", "docs/sub/b.txt"}},
        // A dropped folder's pattern stores the paths below the folder's parent.
        NamesRow{"folder_pattern", "@/docs/*.*", nullptr, {"docs/a.txt", "docs/sub/", "docs/sub/b.txt"}},
        NamesRow{"recurse", "\"@/src/*.c\"", [](kx::KxZip& z) { z.Recurse = true; }, {"src/lib/z.c", "src/x.c"}},
        NamesRow{"no_recurse", "\"@/src/*.c\"", [](kx::KxZip& z) { z.Recurse = false; }, {"src/x.c"}},
        NamesRow{"short_names", "\"@/Ordner mit Namen\"", [](kx::KxZip& z) { z.LongNames = false; },
                 {"ORDNERMI/", "ORDNERMI/LANGERDA.HTM", "ORDNERMI/LANGER~1.HTM", "ORDNERMI/KURZ.TXT"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ZipAdd, LevelsGiveSmallerArchivesAndOptimalIsNoLargerThanZip6) {
  TempDir dir;
  // Real C text: the system's own headers, about 2 MB of them.
  std::string text;
  for (const auto& e : fs::directory_iterator("/usr/include")) {
    if (e.is_regular_file() && e.path().extension() == ".h" && text.size() < (2u << 20)) text += ReadFile(e.path());
  }
  ASSERT_GT(text.size(), 500000u);
  WriteFile(dir / "t.txt", text);
  std::uint64_t sizes[5] = {};
  for (std::int16_t level = 1; level <= 4; ++level) {
    const fs::path archive = dir / ("l" + std::to_string(level) + ".zip");
    kx::KxZip zip;
    kxwt::Aim(zip, archive, (dir / "t.txt").string());
    zip.CompressionLevel = level;
    ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
    sizes[level] = fs::file_size(archive);
  }
  EXPECT_GT(sizes[1], sizes[2]);
  EXPECT_GT(sizes[2], sizes[3]);
  EXPECT_GT(sizes[3], sizes[4]);
  ASSERT_EQ(kxtest::Run({"zip", "-6", "-q", "-j", (dir / "ref.zip").string(), (dir / "t.txt").string()}).exitCode, 0);
  EXPECT_LE(sizes[3], fs::file_size(dir / "ref.zip"));
}

TEST(ZipAdd, CompareReplacesOnlyEntriesWhoseFileIsNewer) {
  TempDir dir;
  WriteFile(dir / "alt.txt", "alt");
  WriteFile(dir / "neu.txt", "neu");
  kxwt::SetMtime(dir / "alt.txt", 1500000000);
  kxwt::SetMtime(dir / "neu.txt", 1500000000);
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "c.zip", (dir / "alt.txt").string() + " " + (dir / "neu.txt").string());
  zip.StorePaths = 0;
  ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
  // Both change on disk; only neu.txt gets a newer time (1 s is within the DOS granularity for alt.txt).
  WriteFile(dir / "alt.txt", "alt geändert");
  WriteFile(dir / "neu.txt", "neu geändert");
  kxwt::SetMtime(dir / "alt.txt", 1500000001);
  kxwt::SetMtime(dir / "neu.txt", 1500000100);
  WriteFile(dir / "dazu.txt", "dazu");
  zip.FileSpec += " " + (dir / "dazu.txt").string();
  ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
  std::map<std::string, std::uint32_t> crcs;
  for (const auto& e : kxwt::PyEntries(dir / "c.zip")) crcs[e.name] = e.crc;
  EXPECT_EQ(crcs["alt.txt"], kxwt::Crc("alt"));
  EXPECT_EQ(crcs["neu.txt"], kxwt::Crc("neu geändert"));
  EXPECT_EQ(crcs["dazu.txt"], kxwt::Crc("dazu"));
  EXPECT_TRUE(kxwt::UnzipTestOk(dir / "c.zip"));
}

// MoveFiles deletes the files stored, and only those: not one that was up
// to date, and none when the add fails (the archive named is no ZIP).
TEST(ZipAdd, MoveFilesDeletesOnlyTheFilesStored) {
  TempDir dir;
  WriteFile(dir / "schon.txt", "schon drin");
  WriteFile(dir / "neu.txt", "neu");
  WriteFile(dir / "kein.zip", "this is not a zip archive at all, just text");
  const std::string both = (dir / "schon.txt").string() + " " + (dir / "neu.txt").string();
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "kein.zip", both);
  zip.MoveFiles = true;
  EXPECT_NE(kx::AddFiles(zip), kx::rc::Ok);
  EXPECT_TRUE(fs::exists(dir / "neu.txt") && fs::exists(dir / "schon.txt"));
  EXPECT_EQ(ReadFile(dir / "kein.zip"), "this is not a zip archive at all, just text");
  kx::KxZip first;
  kxwt::Aim(first, dir / "m.zip", (dir / "schon.txt").string());
  ASSERT_EQ(kx::AddFiles(first), kx::rc::Ok);
  kxwt::Aim(zip, dir / "m.zip", both);
  ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
  EXPECT_FALSE(fs::exists(dir / "neu.txt"));
  EXPECT_TRUE(fs::exists(dir / "schon.txt"));  // up to date, so not stored this time
  EXPECT_EQ(kxwt::PyNames(dir / "m.zip"), (std::vector<std::string>{"schon.txt", "neu.txt"}));
}

TEST(ZipAdd, ArchiveDateModes) {
  const std::time_t older = 1000000000, newest = 1300000000;
  for (std::int16_t mode = 0; mode <= 2; ++mode) {
    TempDir dir;
    WriteFile(dir / "a.txt", "a");
    kxwt::SetMtime(dir / "a.txt", newest - 100);
    kx::KxZip zip;
    kxwt::Aim(zip, dir / "t.zip", (dir / "a.txt").string());
    ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
    kxwt::SetMtime(dir / "t.zip", older);
    WriteFile(dir / "b.txt", "b");
    kxwt::SetMtime(dir / "b.txt", newest);
    zip.FileSpec = (dir / "b.txt").string();
    zip.ArchiveDateMode = mode;
    const std::time_t start = std::time(nullptr);
    ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
    const std::time_t t = kxwt::Mtime(dir / "t.zip");
    if (mode == 0) {
      EXPECT_GE(t, start - 1) << "mode 0";
    } else if (mode == 1) {
      EXPECT_EQ(t, older) << "mode 1";
    } else {
      EXPECT_EQ(t, newest) << "mode 2";
    }
  }
}

TEST(ZipAdd, PasswordEncryptsWithAesThat7zzOpens) {
  TempDir dir;
  WriteFile(dir / "geheim.txt", Text(20000));
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "aes.zip", (dir / "geheim.txt").string());
  zip.Password = "Sesam";
  ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
  EXPECT_TRUE(kxwt::SevenZipTestOk(dir / "aes.zip", "Sesam"));
  EXPECT_FALSE(kxwt::SevenZipTestOk(dir / "aes.zip", "falsch"));
  const auto entries = kxwt::PyEntries(dir / "aes.zip");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].encrypted);
  EXPECT_EQ(entries[0].method, 99);  // the AES marker method
  const auto run = kxtest::Run({"7zz", "x", "-so", "-pSesam", (dir / "aes.zip").string()});
  EXPECT_NE(run.output.find(Text(20000)), std::string::npos);
}

// Four small files compressed ahead by the pool, then one big one in chunks:
// a cancel halfway through the big one leaves no archive; events name every
// entry, come within the big one, never pull the bar back and end at 100.
TEST(ZipAdd, ProgressCancelAndALargeFileInChunks) {
  TempDir dir;
  for (int i = 0; i < 4; ++i) WriteFile(dir / ("f" + std::to_string(i) + ".txt"), Text(1000 + i * 50000));
  const std::string big = Text(70u << 20, 5);  // above the whole-file limit: in chunks
  WriteFile(dir / "f4.txt", big);
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "p.zip", (dir / "*.txt").string());
  zip.Progress = [](kx::ProgressEvent& ev) {
    if (ev.Percent >= 50) KxCancel();
  };
  EXPECT_EQ(kx::AddFiles(zip), kx::rc::Cancelled);
  EXPECT_FALSE(fs::exists(dir / "p.zip"));
  EXPECT_TRUE(kxwt::Leftovers(dir.path()).empty());

  // A pattern's folder is the thing named, so its name stays in front.
  const std::string folder = dir.path().filename().string() + "/";
  std::vector<std::string> names;
  std::vector<int> percents;
  int inBig = 0;
  zip.Progress = [&](kx::ProgressEvent& ev) {
    EXPECT_EQ(ev.Operation, kx::action::Add);
    if (names.empty() || names.back() != ev.FileName) names.push_back(ev.FileName);
    percents.push_back(ev.Percent);
    inBig += ev.FileName == folder + "f4.txt";
  };
  ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
  EXPECT_EQ(names, (std::vector<std::string>{folder + "f0.txt", folder + "f1.txt", folder + "f2.txt", folder + "f3.txt",
                                             folder + "f4.txt"}));
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(percents.back(), 100);
  EXPECT_GE(inBig, 20);  // within the entry, not just at its start and end
  const auto entries = kxwt::PyEntries(dir / "p.zip");
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[4].name, folder + "f4.txt");
  EXPECT_EQ(entries[4].size, big.size());
  EXPECT_EQ(entries[4].crc, kxwt::Crc(big));
  EXPECT_LT(entries[4].packed, big.size() / 2);
}

TEST(ZipAdd, SymbolicLinksToFilesAreFollowedLinksToFoldersAreNot) {
  TempDir dir;
  WriteFile(dir / "ziel.txt", "Inhalt des Ziels");
  WriteFile(dir / "anderswo/x.txt", "x");
  WriteFile(dir / "d/echt.txt", "echt");
  fs::create_symlink(dir / "ziel.txt", dir / "d/verweis.txt");
  fs::create_directory_symlink(dir / "anderswo", dir / "d/ordnerverweis");
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "l.zip", (dir / "d").string());
  ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
  std::map<std::string, kxwt::PyEntry> byName;
  for (const auto& e : kxwt::PyEntries(dir / "l.zip")) byName[e.name] = e;
  EXPECT_EQ(byName.size(), 3u);  // d/, d/echt.txt, d/verweis.txt
  ASSERT_TRUE(byName.count("d/verweis.txt"));
  EXPECT_EQ(byName["d/verweis.txt"].crc, kxwt::Crc("Inhalt des Ziels"));
  EXPECT_FALSE(byName.count("d/ordnerverweis/x.txt"));
}

TEST(ZipAdd, MissingFileGivesFileNotFoundAndNoArchive) {
  TempDir dir;
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "x.zip", (dir / "fehlt.txt").string());
  EXPECT_EQ(kx::AddFiles(zip), kx::rc::FileNotFound);
  EXPECT_FALSE(fs::exists(dir / "x.zip"));
}

TEST(ZipAdd, TheArchiveNeverContainsItself) {
  TempDir dir;
  WriteFile(dir / "a.txt", "a");
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "selbst.zip", (dir / "*.*").string());
  ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
  WriteFile(dir / "b.txt", "b");
  ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
  const std::string folder = dir.path().filename().string() + "/";
  EXPECT_EQ(kxwt::PyNames(dir / "selbst.zip"), (std::vector<std::string>{folder + "a.txt", folder + "b.txt"}));
}

// Without switches: no recursion, no password; with -r and -s both take effect.
TEST(ZipAdd, QuickZipTakesItsSwitches) {
  TempDir dir;
  WriteFile(dir / "q/eins.txt", Text(3000));
  WriteFile(dir / "q/unter/zwei.txt", Text(3000, 9));
  ASSERT_EQ(KxQZip((dir / "q.zip").string(), (dir / "q").string() + "/*.txt", ""), kx::rc::Ok);
  const auto plain = kxwt::PyEntries(dir / "q.zip");
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(plain[0].name, "q/eins.txt");
  EXPECT_FALSE(plain[0].encrypted);
  EXPECT_TRUE(kxwt::UnzipTestOk(dir / "q.zip"));
  ASSERT_EQ(KxQZip((dir / "qs.zip").string(), (dir / "q").string() + "/*.txt", "-r -sgeheim"), kx::rc::Ok);
  const auto entries = kxwt::PyEntries(dir / "qs.zip");
  ASSERT_EQ(entries.size(), 2u);  // -r reached the subfolder
  EXPECT_TRUE(entries[0].encrypted);
  EXPECT_TRUE(kxwt::SevenZipTestOk(dir / "qs.zip", "geheim"));
}

}  // namespace
