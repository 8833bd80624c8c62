// Action 1 and KxIdentifyFile on archives the peers make at test time:
// names, sizes, CRCs, German date and time texts, the encrypted flag, code
// page 437 names, the comment; the kind decided by content.
#include <gtest/gtest.h>

#include <map>

#include "engine/kx_functions.h"
#include "engine/kxzip.h"
#include "engine/operations.h"
#include "raw_zip.h"
#include "support/test_support.h"

namespace {

using kxtest::ReadFile;
using kxtest::TempDir;
using kxtest::WriteFile;
namespace fs = std::filesystem;

// The sample tree every peer packs: a folder, an empty file, text, random data.
void MakeTree(const TempDir& dir) {
  WriteFile(dir / "src/text.txt", std::string(3000, 'k'));
  WriteFile(dir / "src/leer.txt", "");
  WriteFile(dir / "src/ordner/zufall.bin", kxtest::RandomBytes(70000, 9));
  for (const char* f : {"src/text.txt", "src/leer.txt", "src/ordner/zufall.bin"})
    ASSERT_EQ(kxtest::Run({"touch", "-d", "2021-03-04 05:06:08", (dir / f).string()}).exitCode, 0);
}

struct PeerRow {
  const char* peer;
  std::vector<std::string> argv;  // run in dir/src; "@" is the archive path
};

class ZipListPeers : public ::testing::TestWithParam<PeerRow> {};

TEST_P(ZipListPeers, NamesSizesCrcsAndDatesAsStored) {
  TempDir dir;
  MakeTree(dir);
  const fs::path archive = dir / "a.zip";
  std::vector<std::string> argv = GetParam().argv;
  for (auto& a : argv) if (a == "@") a = archive.string();
  const auto made = kxtest::Run(argv, dir / "src");
  ASSERT_EQ(made.exitCode, 0) << made.output;

  kx::KxZip zip;
  zip.ZipFile = archive.string();
  zip.SetAction(kx::action::ReadDirectory);
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  std::map<std::string, int> index;
  for (int i = 0; i < zip.EntryCount(); ++i) {
    zip.SetEntryIndex(i);
    index[zip.EntryName()] = i;
  }
  const std::map<std::string, std::string> files = {
      {"text.txt", ReadFile(dir / "src/text.txt")},
      {"leer.txt", ""},
      {"ordner/zufall.bin", ReadFile(dir / "src/ordner/zufall.bin")}};
  for (const auto& [name, content] : files) {
    ASSERT_TRUE(index.count(name)) << GetParam().peer << " " << name;
    zip.SetEntryIndex(index[name]);
    EXPECT_EQ(zip.EntrySize(), static_cast<std::int32_t>(content.size())) << name;
    EXPECT_EQ(static_cast<std::uint32_t>(zip.EntryCrc()), kxtest::Crc32(content)) << name;
    EXPECT_EQ(zip.EntryDate(), "04.03.2021") << name;
    EXPECT_EQ(zip.EntryTime(), "05:06:08") << name;
    EXPECT_FALSE(zip.EntryEncrypted());
    EXPECT_FALSE(zip.Entry()->isFolder);
  }
  zip.SetEntryIndex(index["text.txt"]);
  EXPECT_LT(zip.EntryPackedSize(), 100);  // 3000 equal bytes deflate to a few
  if (index.count("ordner/")) {
    zip.SetEntryIndex(index["ordner/"]);
    EXPECT_TRUE(zip.Entry()->isFolder);
    EXPECT_TRUE(zip.EntryAttributes() & kx::attr::Folder);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ZipListPeers,
    ::testing::Values(PeerRow{"zip", {"zip", "-q", "-r", "@", "."}},
                      PeerRow{"7zz", {"7zz", "a", "-tzip", "-bd", "@", "."}},
                      PeerRow{"bsdtar", {"bsdtar", "--format", "zip", "-cf", "@", "text.txt", "leer.txt", "ordner"}},
                      PeerRow{"python",
                              {"python3", "-c",
                               "import sys,zipfile,os\n"
                               "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n"
                               "for root,dirs,files in sorted(os.walk('.')):\n"
                               "  for f in sorted(files): z.write(os.path.join(root,f), os.path.relpath(os.path.join(root,f)))\n"
                               "z.close()",
                               "@"}}),
    [](const auto& info) { return std::string(info.param.peer == std::string("7zz") ? "sevenzip" : info.param.peer); });

TEST(ZipList, EncryptedFlagForTraditionalAndAesEntries) {
  TempDir dir;
  WriteFile(dir / "geheim.txt", std::string(500, 'g'));
  ASSERT_EQ(kxtest::Run({"zip", "-q", "-P", "pw", "trad.zip", "geheim.txt"}, dir.path()).exitCode, 0);
  ASSERT_EQ(kxtest::Run({"7zz", "a", "-tzip", "-mem=AES256", "-ppw", "-bd", "aes.zip", "geheim.txt"}, dir.path()).exitCode, 0);
  for (const char* name : {"trad.zip", "aes.zip"}) {
    kx::KxZip zip;
    zip.ZipFile = (dir / name).string();
    zip.SetAction(kx::action::ReadDirectory);
    ASSERT_EQ(zip.LastResult(), kx::rc::Ok) << name;
    ASSERT_EQ(zip.EntryCount(), 1);
    EXPECT_TRUE(zip.EntryEncrypted()) << name;
    EXPECT_EQ(zip.EntrySize(), 500);
    EXPECT_EQ(zip.Entry()->method, 8) << name;  // AES entries show the real method, deflate
  }
}

struct NameRow {
  const char* label;
  std::string stored;
  std::uint16_t flags;
  std::string shown;
};

class ZipListNames : public ::testing::TestWithParam<NameRow> {};

// Names without the UTF-8 flag are code page 437, as Python's zipfile reads them too.
TEST_P(ZipListNames, DecodedAsUtf8OrCodePage437) {
  TempDir dir;
  kxtest::RawZip raw;
  kxtest::RawEntry e = kxtest::FileEntry(GetParam().stored, "x");
  e.flags = GetParam().flags;
  raw.Add(e);
  WriteFile(dir / "n.zip", raw.Finish());
  kx::KxZip zip;
  zip.ZipFile = (dir / "n.zip").string();
  zip.SetAction(kx::action::ReadDirectory);
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  zip.SetEntryIndex(0);
  EXPECT_EQ(zip.EntryName(), GetParam().shown);
  const auto py = kxtest::Run({"python3", "-c", "import sys,zipfile;sys.stdout.write(zipfile.ZipFile(sys.argv[1]).namelist()[0])",
                       (dir / "n.zip").string()});
  if (GetParam().flags == 0) EXPECT_EQ(py.output, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Rows, ZipListNames,
                         ::testing::Values(NameRow{"cp437", "\x84rger \x94l \x81" "ber Gr\x81\xe1" "e.txt", 0,
                                                   "ärger öl über Grüße.txt"},
                                           NameRow{"utf8", "ärger.txt", 0x0800, "ärger.txt"},
                                           NameRow{"ascii", "plain/name.txt", 0, "plain/name.txt"}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ZipList, CommentAndEmptyArchive) {
  TempDir dir;
  kxtest::RawZip raw;
  WriteFile(dir / "leer.zip", raw.Finish(-1, 0, "Kommentar \x84"));
  kx::KxZip zip;
  zip.ZipFile = (dir / "leer.zip").string();
  zip.SetAction(kx::action::ReadDirectory);
  EXPECT_EQ(zip.LastResult(), kx::rc::Ok);
  EXPECT_EQ(zip.EntryCount(), 0);
  EXPECT_EQ(zip.ZipComment(), "Kommentar ä");
  EXPECT_EQ(kx::TestEntries(zip), kx::rc::NoFiles);
}

struct KindRow {
  const char* label;
  std::int16_t kind;
  kx::Result result;
};

std::string MakeKindFixture(const TempDir& dir, const std::string& label) {
  WriteFile(dir / "a.txt", "inhalt");
  const fs::path out = dir / ("probe-" + label + ".dat");  // never a telling extension
  if (label == "zip") {
    EXPECT_EQ(kxtest::Run({"zip", "-q", out.string(), "a.txt"}, dir.path()).exitCode, 0);
  } else if (label == "spanned") {
    kxtest::RawZip raw(std::string("PK\x07\x08", 4));
    raw.Add(kxtest::FileEntry("a.txt", "inhalt"));
    WriteFile(out, raw.Finish());
  } else if (label == "stub") {
    // A self-extractor: a program in front, offsets adjusted by zip -A.
    EXPECT_EQ(kxtest::Run({"zip", "-q", (dir / "inner.zip").string(), "a.txt"}, dir.path()).exitCode, 0);
    WriteFile(out, std::string(5000, '\x90') + ReadFile(dir / "inner.zip"));
    EXPECT_EQ(kxtest::Run({"zip", "-q", "-A", out.string()}).exitCode, 0);
  } else if (label == "random") {
    WriteFile(out, kxtest::RandomBytes(30000, 5));
  } else if (label == "empty") {
    WriteFile(out, "");
  } else if (label == "truncated") {
    EXPECT_EQ(kxtest::Run({"zip", "-q", (dir / "t.zip").string(), "a.txt"}, dir.path()).exitCode, 0);
    const std::string whole = ReadFile(dir / "t.zip");
    WriteFile(out, whole.substr(0, whole.size() / 2));
  }
  return out.string();
}

class IdentifyKinds : public ::testing::TestWithParam<KindRow> {};

TEST_P(IdentifyKinds, DecidedByContent) {
  TempDir dir;
  const std::string path = MakeKindFixture(dir, GetParam().label);
  std::int16_t kind = 99;
  EXPECT_EQ(KxIdentifyFile(path, kind), GetParam().result);
  EXPECT_EQ(kind, GetParam().kind);
  if (GetParam().kind == kx::kind::None) return;
  kx::KxZip zip;
  zip.ZipFile = path;
  zip.SetAction(kx::action::ReadDirectory);
  if (std::string(GetParam().label) == "truncated") {
    EXPECT_EQ(zip.LastResult(), kx::rc::ArchiveError);  // looks like a ZIP, but its end is gone
  } else {
    ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
    ASSERT_EQ(zip.EntryCount(), 1);
    EXPECT_EQ(zip.EntryName(), "a.txt");
    TempDir out;
    zip.TargetDir = out.path().string();
    zip.SetAction(kx::action::Extract);
    EXPECT_EQ(zip.LastResult(), kx::rc::Ok);
    EXPECT_EQ(ReadFile(out / "a.txt"), "inhalt");
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, IdentifyKinds,
                         ::testing::Values(KindRow{"zip", kx::kind::Zip, kx::rc::Ok},
                                           KindRow{"spanned", kx::kind::Spanned, kx::rc::Ok},
                                           KindRow{"stub", kx::kind::Zip, kx::rc::Ok},
                                           KindRow{"truncated", kx::kind::Zip, kx::rc::Ok},
                                           KindRow{"random", kx::kind::None, kx::rc::UnknownArchiveType},
                                           KindRow{"empty", kx::kind::None, kx::rc::UnknownArchiveType}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Identify, MissingFileAndFolder) {
  TempDir dir;
  std::int16_t kind = 99;
  EXPECT_EQ(KxIdentifyFile((dir / "fehlt.zip").string(), kind), kx::rc::FileNotFound);
  EXPECT_EQ(kind, kx::kind::None);
  kind = 99;
  EXPECT_EQ(KxIdentifyFile(dir.path().string(), kind), kx::rc::FileNotFound);
  EXPECT_EQ(kind, kx::kind::None);
}

}  // namespace
