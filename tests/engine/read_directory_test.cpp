// Action 1 on an empty archive with a code page 437 comment, and
// KxIdentifyFile: the kind decided by content, never by the extension.
// Listing the peers' archives is zip_extract_test's (ZipExtractPeers,
// ZipPasswords); names with umlauts are zip_entry_names_test's.
#include <gtest/gtest.h>

#include <map>

#include "engine/functions/kx_identify.h"
#include "engine/kxzip.h"
#include "engine/read_directory.h"
#include "engine/zip/zip_extract.h"
#include "engine/raw_zip.h"
#include "support/test_support.h"

namespace {

using kxtest::ReadFile;
using kxtest::TempDir;
using kxtest::WriteFile;
namespace fs = std::filesystem;

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
