// The ARJ directory reader against archives made by the arj peer at test
// time: names, sizes, dates, attributes, method and the garbled flag as
// `arj v` lists them, CRC-32 against the files themselves, the archive
// comment, folders; then damaged copies of a real archive.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <sstream>

#include "engine/io/byte_source.h"
#include "engine/formats/arj.h"
#include "engine/formats/dos_test_util.h"
#include "support/test_support.h"

namespace {

using namespace kxtest::dos;
namespace fs = std::filesystem;

// One entry as `arj v` shows it.
struct PeerRow {
  std::string name;
  std::uint64_t size = 0, packed = 0;
  std::string date, time, mode;
  char method = ' ';
  bool garbled = false;
};

struct PeerListing {
  std::vector<PeerRow> rows;
  std::string comment;
};

PeerListing ArjVerbose(const fs::path& archive) {
  const auto r = kxtest::Run({"arj", "v", archive.string()});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  PeerListing out;
  std::istringstream in(r.output);
  std::string line;
  bool inComment = false;
  while (std::getline(in, line)) {
    if (line.rfind("Archive created:", 0) == 0) {
      inComment = true;
      continue;
    }
    if (line.rfind("Sequence/Pathname", 0) == 0) inComment = false;
    if (inComment) out.comment += line + "\n";
    if (line.size() > 5 && line[3] == ')' && std::isdigit(static_cast<unsigned char>(line[0]))) {
      PeerRow row;
      row.name = line.substr(5);
      std::string info;
      std::getline(in, info);
      std::istringstream f(info);
      std::string rev, host, ratio;
      f >> rev >> host >> row.size >> row.packed >> ratio >> row.date >> row.time >> row.mode;
      const auto dashes = info.find("---", info.find(row.mode) + row.mode.size());
      const std::string bpmgs = (info + "      ").substr(dashes + 4, 5);
      row.method = bpmgs[2];
      row.garbled = bpmgs[3] != ' ';
      out.rows.push_back(row);
    }
  }
  return out;
}

std::string ArjDate(const kx::DateTime& d) {
  char b[32];
  std::snprintf(b, sizeof b, "%02d-%02d-%02d", d.year % 100, d.month, d.day);
  return b;
}

std::string ArjTime(const kx::DateTime& d) {
  char b[32];
  std::snprintf(b, sizeof b, "%02d:%02d:%02d", d.hour, d.minute, d.second);
  return b;
}

kx::ArchiveDirectory ReadArchive(const fs::path& p, kx::Result expected = kx::rc::Ok) {
  kx::FileSource src(p.string());
  EXPECT_TRUE(src.ok());
  kx::ArchiveDirectory dir;
  EXPECT_EQ(kx::ReadArjDirectory(src, dir), expected);
  EXPECT_TRUE(kx::LooksLikeArj(src));
  return dir;
}

// A small tree: a read-only text with an old date, a compressible file, an
// incompressible one, and a nested folder.
void MakeTree(const fs::path& root) {
  fs::create_directories(root / "sub" / "tief");
  WriteFile(root / "alt.txt", "hallo\n");
  ASSERT_EQ(kxtest::Run({"touch", "-d", "2021-03-04 05:06:08", (root / "alt.txt").string()}).exitCode, 0);
  ::chmod((root / "alt.txt").c_str(), 0444);
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "Zeile " + std::to_string(i % 7) + "\n";
  WriteFile(root / "sub" / "text.txt", text);
  WriteFile(root / "sub" / "tief" / "zufall.bin", kxtest::RandomBytes(5000, 7));
  ASSERT_EQ(kxtest::Run({"touch", "-d", "1999-12-31 23:59:58", (root / "sub" / "tief" / "zufall.bin").string()}).exitCode, 0);
}

struct ArjCase {
  const char* label;
  std::vector<std::string> switches;
  bool garbled;
  bool withComment;
};

class ArjPeer : public ::testing::TestWithParam<ArjCase> {};

TEST_P(ArjPeer, ListingAgreesWithArjVerbose) {
  const ArjCase& c = GetParam();
  TempDir dir;
  MakeTree(dir / "d");
  WriteFile(dir / "cmt.txt", "Archiv-Kommentar\nZweite Zeile\n");
  std::vector<std::string> argv = {"arj", "a", (dir / "t.arj").string()};
  argv.insert(argv.end(), c.switches.begin(), c.switches.end());
  argv.push_back("d");
  const auto made = kxtest::Run(argv, dir.path());
  ASSERT_EQ(made.exitCode, 0) << made.output;

  const PeerListing peer = ArjVerbose(dir / "t.arj");
  const kx::ArchiveDirectory ours = ReadArchive(dir / "t.arj");
  ASSERT_FALSE(peer.rows.empty());
  ASSERT_EQ(ours.entries.size(), peer.rows.size());
  EXPECT_EQ(ours.comment, peer.comment);
  if (c.withComment) {
    EXPECT_EQ(ours.comment, "Archiv-Kommentar\nZweite Zeile\n");
  }

  for (std::size_t i = 0; i < ours.entries.size(); ++i) {
    const kx::EntryInfo& e = ours.entries[i];
    const PeerRow& p = peer.rows[i];
    SCOPED_TRACE(p.name);
    const bool folder = p.mode[0] == 'd';
    EXPECT_EQ(e.name, folder ? p.name + "/" : p.name);
    EXPECT_EQ(e.isFolder, folder);
    EXPECT_EQ((e.attributes & kx::attr::Folder) != 0, folder);
    EXPECT_EQ((e.attributes & kx::attr::ReadOnly) != 0, p.mode[2] != 'w');
    EXPECT_EQ(e.size, p.size);
    EXPECT_EQ(e.packedSize, p.packed);
    EXPECT_EQ(ArjDate(e.modified), p.date);
    EXPECT_EQ(ArjTime(e.modified), p.time);
    EXPECT_EQ(e.method, p.method - '0');
    EXPECT_EQ(e.encrypted, p.garbled);
    EXPECT_EQ(e.encrypted, c.garbled);
    if (!folder) {
      EXPECT_EQ(e.crc, Crc32(ReadFile(dir / e.name)));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Archives, ArjPeer,
    ::testing::Values(ArjCase{"plain", {"-r"}, false, false},
                      ArjCase{"folders_and_comment", {"-r", "-a1", "-zcmt.txt"}, false, true},
                      ArjCase{"stored", {"-r", "-m0"}, false, false},
                      ArjCase{"garbled", {"-r", "-gGeheim"}, true, false}),
    [](const auto& info) { return std::string(info.param.label); });

// A real archive of three small files, made once per test.
std::string MakeSmallArchive(const TempDir& dir) {
  WriteFile(dir / "eins.txt", "eins\n");
  WriteFile(dir / "zwei.txt", "zwei zwei\n");
  WriteFile(dir / "drei.txt", "drei drei drei\n");
  const auto made = kxtest::Run({"arj", "a", "t.arj", "eins.txt", "zwei.txt", "drei.txt"}, dir.path());
  EXPECT_EQ(made.exitCode, 0) << made.output;
  return ReadFile(dir / "t.arj");
}

constexpr std::size_t kBasicAt = 4;

std::size_t BasicSize(const std::string& a, std::size_t header) {
  return static_cast<unsigned char>(a[header + 2]) | (static_cast<unsigned char>(a[header + 3]) << 8);
}

// Offset of the header after the one at `header` (no extended headers, as arj writes them).
std::size_t NextHeader(const std::string& a, std::size_t header, bool withData) {
  std::size_t next = header + kBasicAt + BasicSize(a, header) + 4 + 2;
  if (withData) {
    const std::size_t at = header + kBasicAt + 12;
    next += static_cast<unsigned char>(a[at]) | (static_cast<unsigned char>(a[at + 1]) << 8) |
            (static_cast<unsigned char>(a[at + 2]) << 16);
  }
  return next;
}

// Puts the basic header's CRC right again after a change, so the checks
// behind the CRC are what rejects the header.
void FixCrc(std::string& a, std::size_t header) {
  const std::size_t n = BasicSize(a, header);
  Set32(a, header + kBasicAt + n, Crc32(std::string_view(a).substr(header + kBasicAt, n)));
}

struct Damage {
  const char* label;
  std::function<void(std::string&)> apply;
  std::size_t entriesBefore;  // entries read before the damage
  bool stillLooksLikeArj;
};

class ArjHostile : public ::testing::TestWithParam<Damage> {};

TEST_P(ArjHostile, DamagedArchiveGivesArchiveError) {
  TempDir dir;
  std::string a = MakeSmallArchive(dir);
  GetParam().apply(a);
  kx::ArchiveDirectory out;
  EXPECT_EQ(ReadBytes(kx::ReadArjDirectory, a, out), kx::rc::ArchiveError);
  EXPECT_EQ(out.entries.size(), GetParam().entriesBefore);
  EXPECT_EQ(Sniff(kx::LooksLikeArj, a), GetParam().stillLooksLikeArj);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArjHostile,
    ::testing::Values(
        Damage{"absurd_basic_size", [](std::string& a) { Set16(a, 2, 0xffff); }, 0, false},
        Damage{"basic_size_past_end", [](std::string& a) { Set16(a, 2, 2600); }, 0, false},
        Damage{"main_crc_wrong", [](std::string& a) { a[kBasicAt + 10] ^= 0x55; }, 0, false},
        Damage{"first_size_past_basic", [](std::string& a) { a[kBasicAt] = char(200); FixCrc(a, 0); }, 0, false},
        Damage{"first_size_too_small", [](std::string& a) { a[kBasicAt] = 10; FixCrc(a, 0); }, 0, false},
        Damage{"name_without_nul",
               [](std::string& a) {
                 const std::size_t n = BasicSize(a, 0);
                 for (std::size_t i = static_cast<unsigned char>(a[kBasicAt]); i < n; ++i) a[kBasicAt + i] = 'A';
                 FixCrc(a, 0);
               },
               0, false},
        Damage{"main_header_not_main", [](std::string& a) { a[kBasicAt + 6] = 0; FixCrc(a, 0); }, 0, false},
        Damage{"packed_size_past_end",
               [](std::string& a) {
                 const std::size_t f = NextHeader(a, 0, false);
                 Set32(a, f + kBasicAt + 12, 0x7fffffff);
                 FixCrc(a, f);
               },
               0, true},
        Damage{"extended_header_past_end",
               [](std::string& a) {
                 const std::size_t f = NextHeader(a, 0, false);
                 Set16(a, f + kBasicAt + BasicSize(a, f) + 4, 0xfff0);
               },
               0, true},
        Damage{"second_header_id_wrong",
               [](std::string& a) { Set16(a, NextHeader(a, NextHeader(a, 0, false), true), 0x1234); }, 1, true}),
    [](const auto& info) { return std::string(info.param.label); });

// arj here writes Unix hosts only; a DOS host stores a DOS date and time and
// DOS attributes in the same fields.
TEST(ArjDosHost, DosDateAndAttributes) {
  TempDir dir;
  std::string a = MakeSmallArchive(dir);
  const std::size_t f = NextHeader(a, 0, false);
  a[f + kBasicAt + 3] = 0;  // host OS: MS-DOS
  Set32(a, f + kBasicAt + 8, DosStamp(1994, 6, 7, 8, 9, 10));
  Set16(a, f + kBasicAt + 26, kx::attr::ReadOnly | kx::attr::Hidden | kx::attr::Archive);
  FixCrc(a, f);
  kx::ArchiveDirectory out;
  ASSERT_EQ(ReadBytes(kx::ReadArjDirectory, a, out), kx::rc::Ok);
  ASSERT_EQ(out.entries.size(), 3u);
  EXPECT_EQ(out.entries[0].modified, (kx::DateTime{1994, 6, 7, 8, 9, 10}));
  EXPECT_EQ(out.entries[0].attributes, kx::attr::ReadOnly | kx::attr::Hidden | kx::attr::Archive);
  EXPECT_EQ(out.entries[1].attributes, 0u);  // still a Unix host: rw-r--r--
}

TEST(ArjHostilePrefix, EveryCutOfARealArchiveFails) {
  TempDir dir;
  ExpectEveryPrefixFails(kx::ReadArjDirectory, MakeSmallArchive(dir));
}

TEST(ArjSniff, OtherFormatsAndNoiseAreNotArj) {
  EXPECT_FALSE(Sniff(kx::LooksLikeArj, ""));
  EXPECT_FALSE(Sniff(kx::LooksLikeArj, std::string("\x60\xea\x00\x00", 4)));  // only an end header
  EXPECT_FALSE(Sniff(kx::LooksLikeArj, kxtest::RandomBytes(4000, 3)));
  std::string magicOnly("\x60\xea\x40\x00", 4);
  magicOnly += kxtest::RandomBytes(200, 4);
  EXPECT_FALSE(Sniff(kx::LooksLikeArj, magicOnly));
}

}  // namespace
