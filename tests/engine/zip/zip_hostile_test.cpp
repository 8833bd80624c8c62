// Hostile archives, each a small fixture built here byte by byte (RawZip):
// names that climb out, hide behind a NUL or a second name field, links
// that point outside, links an earlier extraction left, set-id modes, and
// directories that lie. Extraction must write nothing outside its target,
// report each refused or changed name, and fail with a clear code.
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

#include "engine/kxzip.h"
#include "engine/read_directory.h"
#include "engine/raw_zip.h"
#include "support/test_support.h"

namespace {

using kxtest::FileEntry;
using kxtest::LinkEntry;
using kxtest::RawEntry;
using kxtest::RawZip;
using kxtest::ReadFile;
using kxtest::TempDir;
using kxtest::WriteFile;
namespace fs = std::filesystem;

using FileMap = std::map<std::string, std::string>;

// Everything below root: regular files with content, links as "->target", folders as "/".
FileMap Tree(const fs::path& root) {
  FileMap out;
  if (!fs::exists(root)) return out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = e.path().lexically_relative(root).generic_string();
    if (e.is_symlink()) out[rel] = "->" + fs::read_symlink(e.path()).string();
    else if (e.is_directory()) out[rel] = "/";
    else out[rel] = ReadFile(e.path());
  }
  return out;
}

// The target lies three levels deep, so names climbing out still land in
// the test's own folder, where Outside() sees them.
struct Scene {
  TempDir dir;
  kx::KxZip zip;
  std::vector<kx::ProgressEvent> messages;
  Scene() {
    zip.ZipFile = (dir / "h.zip").string();
    zip.TargetDir = (dir / "a/b/out").string();
    zip.Progress = [this](kx::ProgressEvent& e) {
      if (e.MsgType != 0) messages.push_back(e);
    };
  }
  fs::path out() const { return dir / "a/b/out"; }
  void Write(const std::string& bytes) { WriteFile(dir / "h.zip", bytes); }
  std::int16_t Extract() {
    zip.SetAction(kx::action::Extract);
    return zip.LastResult();
  }
  // Whatever exists in the test folder besides the archive and the target.
  FileMap Outside() {
    FileMap all = Tree(dir.path());
    FileMap extra;
    for (const auto& [k, v] : all) {
      if (k == "h.zip" || k == "a" || k == "a/b" || k.rfind("a/b/out", 0) == 0 || k.rfind("draussen", 0) == 0) continue;
      extra[k] = v;
    }
    return extra;
  }
  bool Named(const std::string& name, kx::Result code) const {
    return std::any_of(messages.begin(), messages.end(),
                       [&](const kx::ProgressEvent& e) { return e.FileName == name && e.MsgType == code; });
  }
};

struct NameRow {
  const char* label;
  std::string stored;        // the hostile entry's name bytes
  kx::Result result;         // of the action; the same code names the entry in a message
  std::string writtenAs;     // where its content lands; empty when refused
};

class HostileNames : public ::testing::TestWithParam<NameRow> {};

TEST_P(HostileNames, StrippedOrRefusedWithAMessageAndNothingOutside) {
  Scene s;
  RawZip raw;
  raw.Add(FileEntry(GetParam().stored, "boese"));
  raw.Add(FileEntry("gut.txt", "gut"));
  s.Write(raw.Finish());
  EXPECT_EQ(s.Extract(), GetParam().result);
  FileMap expected = {{"gut.txt", "gut"}};
  if (!GetParam().writtenAs.empty()) {
    expected[GetParam().writtenAs] = "boese";
    for (fs::path p = fs::path(GetParam().writtenAs).parent_path(); !p.empty(); p = p.parent_path())
      expected[p.generic_string()] = "/";
  }
  EXPECT_EQ(Tree(s.out()), expected);
  EXPECT_TRUE(s.Outside().empty());
  if (GetParam().result != kx::rc::Ok) EXPECT_TRUE(s.Named(GetParam().stored, GetParam().result));
  else EXPECT_TRUE(s.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HostileNames,
    ::testing::Values(NameRow{"parent", "../../boese.txt", kx::rc::ArchiveError, ""},
                      NameRow{"inner_parent", "x/../../../boese.txt", kx::rc::ArchiveError, ""},
                      NameRow{"absolute", "/abs/boese.txt", kx::rc::PartiallyDone, "abs/boese.txt"},
                      NameRow{"drive", "C:\\boese.txt", kx::rc::PartiallyDone, "boese.txt"},
                      NameRow{"drive_parent", "C:..\\..\\boese.txt", kx::rc::ArchiveError, ""},
                      NameRow{"backslash_parent", "..\\..\\boese.txt", kx::rc::ArchiveError, ""},
                      NameRow{"backslash_folder", "ordner\\boese.txt", kx::rc::Ok, "ordner/boese.txt"},
                      NameRow{"nul", std::string("gut2.txt\0/../../boese.txt", 25), kx::rc::ArchiveError, ""},
                      NameRow{"empty", "", kx::rc::ArchiveError, ""},
                      NameRow{"dots", "././/boese.txt", kx::rc::Ok, "boese.txt"}),
    [](const auto& info) { return std::string(info.param.label); });

// An entry whose header says "harmlos.txt" and whose Unicode-path field
// (0x7075) says something else. A field with the right CRC gives the entry
// its one name: listing shows it, and that is the name extraction judges.
struct UnicodePathRow {
  const char* label;
  std::string fieldName;
  bool crcMatches;
  std::string listed;
  kx::Result result;   // of the extraction; a refusal names the listed entry
  FileMap written;
};

class HostileUnicodePath : public ::testing::TestWithParam<UnicodePathRow> {};

TEST_P(HostileUnicodePath, TheListedNameIsTheJudgedAndWrittenName) {
  Scene s;
  const std::string header = "harmlos.txt";
  RawEntry e = FileEntry(header, "inhalt");
  std::string field;
  field += '\x01';
  kxtest::Put32(field, kxtest::Crc32(GetParam().crcMatches ? header : header + "x"));
  field += GetParam().fieldName;
  kxtest::Put16(e.extra, 0x7075);
  kxtest::Put16(e.extra, static_cast<std::uint32_t>(field.size()));
  e.extra += field;
  RawZip raw;
  raw.Add(e);
  s.Write(raw.Finish());
  s.zip.SetAction(kx::action::ReadDirectory);
  ASSERT_EQ(s.zip.LastResult(), kx::rc::Ok);
  EXPECT_EQ(s.zip.EntryName(), GetParam().listed);
  s.messages.clear();
  EXPECT_EQ(s.Extract(), GetParam().result);
  EXPECT_EQ(Tree(s.out()), GetParam().written);
  EXPECT_TRUE(s.Outside().empty());
  if (GetParam().result != kx::rc::Ok) {
    EXPECT_TRUE(s.Named(GetParam().listed, GetParam().result));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HostileUnicodePath,
    ::testing::Values(
        UnicodePathRow{"climbs_out", "../../boese.txt", true, "../../boese.txt", kx::rc::ArchiveError, {}},
        UnicodePathRow{"stale_crc", "../../boese.txt", false, "harmlos.txt", kx::rc::Ok, {{"harmlos.txt", "inhalt"}}},
        UnicodePathRow{"nul_inside", std::string("gut.txt\0/../../boese.txt", 24), true,
                       std::string("gut.txt\0/../../boese.txt", 24), kx::rc::ArchiveError, {}},
        UnicodePathRow{"not_utf8", "b\xf6se.txt", true, "harmlos.txt", kx::rc::Ok, {{"harmlos.txt", "inhalt"}}},
        UnicodePathRow{"empty", "", true, "harmlos.txt", kx::rc::Ok, {{"harmlos.txt", "inhalt"}}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(HostileArchive, LinkPointingOutsideThenAFileThroughIt) {
  Scene s;
  fs::create_directories(s.dir / "draussen");
  RawZip raw;
  raw.Add(LinkEntry("link", "../../../draussen"));
  raw.Add(LinkEntry("absolut", "/etc"));
  raw.Add(FileEntry("link/boese.txt", "boese"));
  s.Write(raw.Finish());
  EXPECT_EQ(s.Extract(), kx::rc::ArchiveError);
  EXPECT_TRUE(s.Named("link", kx::rc::ArchiveError));
  EXPECT_TRUE(s.Named("absolut", kx::rc::ArchiveError));
  // The file lands in a real folder named like the refused link.
  EXPECT_EQ(Tree(s.out()), (FileMap{{"link", "/"}, {"link/boese.txt", "boese"}}));
  EXPECT_TRUE(Tree(s.dir / "draussen").empty());
  EXPECT_TRUE(s.Outside().empty());
}

TEST(HostileArchive, LinkInsideIsRestoredButNeverWrittenThrough) {
  Scene s;
  RawZip raw;
  RawEntry folder = FileEntry("ordner/", "");
  folder.externalAttributes = kxtest::UnixAttributes(kxtest::kFolder | 0755);
  raw.Add(folder);
  raw.Add(LinkEntry("innen", "ordner"));
  raw.Add(FileEntry("innen/boese.txt", "boese"));
  s.Write(raw.Finish());
  EXPECT_EQ(s.Extract(), kx::rc::AccessDenied);
  EXPECT_TRUE(s.Named("innen/boese.txt", kx::rc::AccessDenied));
  EXPECT_EQ(Tree(s.out()), (FileMap{{"ordner", "/"}, {"innen", "->ordner"}}));
}

// Links left in the target by an earlier extraction (or anyone else).
TEST(HostileArchive, LinksAlreadyInTheTargetAreNeverFollowed) {
  Scene s;
  fs::create_directories(s.out());
  fs::create_directories(s.dir / "draussen");
  WriteFile(s.dir / "draussen/opfer.txt", "original");
  fs::create_directory_symlink(s.dir / "draussen", s.out() / "frueher");
  fs::create_symlink(s.dir / "draussen/opfer.txt", s.out() / "datei.txt");
  RawZip raw;
  raw.Add(FileEntry("frueher/boese.txt", "boese"));
  raw.Add(FileEntry("datei.txt", "neu"));
  s.Write(raw.Finish());
  s.zip.OverwriteMode = 1;
  EXPECT_EQ(s.Extract(), kx::rc::AccessDenied);
  EXPECT_TRUE(s.Named("frueher/boese.txt", kx::rc::AccessDenied));
  EXPECT_EQ(Tree(s.dir / "draussen"), (FileMap{{"opfer.txt", "original"}}));
  // The link at the file's own name is replaced, not written through.
  EXPECT_FALSE(fs::is_symlink(s.out() / "datei.txt"));
  EXPECT_EQ(ReadFile(s.out() / "datei.txt"), "neu");
}

// The owner's bits are kept (read-only stays read-only, executable stays
// executable); set-id, sticky and write-for-others bits are dropped.
TEST(HostileArchive, SetIdStickyAndWorldWritableModesAreDropped) {
  Scene s;
  RawZip raw;
  raw.Add(FileEntry("setuid", "x", 04777));
  raw.Add(FileEntry("setgid", "x", 02775));
  raw.Add(FileEntry("sticky", "x", 01666));
  raw.Add(FileEntry("nurlesen", "x", 0444));
  s.Write(raw.Finish());
  ASSERT_EQ(s.Extract(), kx::rc::Ok);
  const auto mode = [&](const char* name) {
    struct stat st {};
    EXPECT_EQ(::stat((s.out() / name).c_str(), &st), 0) << name;
    return st.st_mode;
  };
  for (const char* name : {"setuid", "setgid", "sticky", "nurlesen"}) {
    EXPECT_EQ(mode(name) & (S_ISUID | S_ISGID | S_IWOTH | S_ISVTX), 0u) << name;
    EXPECT_TRUE(mode(name) & S_IRUSR) << name;
  }
  EXPECT_TRUE(mode("setuid") & S_IXUSR);
  EXPECT_FALSE(mode("sticky") & S_IXUSR);
  EXPECT_FALSE(mode("nurlesen") & S_IWUSR);
}

struct LieRow {
  const char* label;
  kx::Result list;      // action 1
  kx::Result check;     // actions 6 and 7
  std::string named;    // the entry the refusal names; empty for none
};

// Builds the lying archive of a row.
std::string LyingArchive(const std::string& label, const fs::path& dir) {
  RawZip raw;
  if (label == "overlap") {
    raw.Add(FileEntry("a.txt", std::string(1000, 'a')));
    RawEntry twin = raw.central[0];
    twin.name = "b.txt";  // same length: the local header fits both
    raw.central.push_back(twin);
    return raw.Finish();
  }
  if (label == "nested_bomb") {
    // Entry a's data holds entry b whole: b is also unpacked as part of a.
    RawZip inner;
    inner.Add(FileEntry("b.txt", std::string(5000, 'b')));
    const std::string bBytes = inner.bytes();
    raw.Add(FileEntry("a.txt", bBytes));
    RawEntry b = inner.central[0];
    b.localOffset = raw.central[0].localOffset + 30 + 5;  // a's header and name
    raw.central.push_back(b);
    return raw.Finish();
  }
  if (label == "data_past_end") {
    raw.Add(FileEntry("a.txt", "abc"));
    raw.central[0].packedOverride = 1u << 30;
    return raw.Finish();
  }
  if (label == "no_local_header") {
    raw.Add(FileEntry("a.txt", "abc"));
    raw.central[0].localOffset = 7;
    return raw.Finish();
  }
  if (label == "directory_past_end") {
    raw.Add(FileEntry("a.txt", "abc"));
    return raw.Finish(-1, 1000);
  }
  if (label == "count_too_big") {
    raw.Add(FileEntry("a.txt", "abc"));
    return raw.Finish(60000);
  }
  if (label == "duplicate") {
    raw.Add(FileEntry("a.txt", "eins"));
    raw.Add(FileEntry("a.txt", "zwei"));
    return raw.Finish();
  }
  if (label == "duplicate_cleaned") {
    raw.Add(FileEntry("dir/a.txt", "eins"));
    raw.Add(FileEntry("dir//./a.txt", "zwei"));
    return raw.Finish();
  }
  if (label == "truncated") {
    WriteFile(dir / "t/a.txt", kxtest::RandomBytes(5000, 3));
    EXPECT_EQ(kxtest::Run({"zip", "-q", "-r", (dir / "t.zip").string(), "a.txt"}, dir / "t").exitCode, 0);
    const std::string whole = ReadFile(dir / "t.zip");
    return whole.substr(0, whole.size() * 6 / 10);
  }
  if (label == "lying_size") {
    RawEntry e = FileEntry("a.txt", std::string(100, 'x'));
    e.size = 10;
    e.sizeOverride = true;
    raw.Add(e);
    return raw.Finish();
  }
  return {};
}

class LyingArchives : public ::testing::TestWithParam<LieRow> {};

TEST_P(LyingArchives, ClearCodeNoCrashNothingWritten) {
  Scene s;
  s.Write(LyingArchive(GetParam().label, s.dir.path() / "work"));
  s.zip.SetAction(kx::action::ReadDirectory);
  EXPECT_EQ(s.zip.LastResult(), GetParam().list);
  s.zip.SetAction(kx::action::Test);
  EXPECT_EQ(s.zip.LastResult(), GetParam().check);
  EXPECT_EQ(s.Extract(), GetParam().check);
  EXPECT_EQ(Tree(s.out()), FileMap{});
  if (!GetParam().named.empty()) {
    EXPECT_TRUE(s.Named(GetParam().named, GetParam().check));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LyingArchives,
    ::testing::Values(LieRow{"overlap", kx::rc::Ok, kx::rc::ArchiveError, "b.txt"},
                      LieRow{"nested_bomb", kx::rc::Ok, kx::rc::ArchiveError, "b.txt"},
                      LieRow{"data_past_end", kx::rc::Ok, kx::rc::ArchiveError, "a.txt"},
                      LieRow{"no_local_header", kx::rc::Ok, kx::rc::ArchiveError, "a.txt"},
                      LieRow{"directory_past_end", kx::rc::ArchiveError, kx::rc::ArchiveError, ""},
                      LieRow{"count_too_big", kx::rc::ArchiveError, kx::rc::ArchiveError, ""},
                      LieRow{"duplicate", kx::rc::Ok, kx::rc::ArchiveError, "a.txt"},
                      LieRow{"duplicate_cleaned", kx::rc::Ok, kx::rc::ArchiveError, "dir//./a.txt"},
                      LieRow{"truncated", kx::rc::ArchiveError, kx::rc::ArchiveError, ""},
                      LieRow{"lying_size", kx::rc::Ok, kx::rc::CrcError, "a.txt"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
