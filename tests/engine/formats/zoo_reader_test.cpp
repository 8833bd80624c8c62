// The ZOO directory reader on archives built here from the header layouts
// (no zoo program exists on this system): both entry types, long names and
// folders, deleted entries, the archive comment; then broken links in the
// entry list (backwards, to itself, into its own header, past the end) and
// other damage.
#include <gtest/gtest.h>

#include "engine/formats/zoo.h"
#include "engine/formats/dos_test_util.h"

namespace {

using namespace kxtest::dos;

constexpr std::uint32_t kTag = 0xFDC4A7DC;
constexpr std::size_t kArchiveHeaderLen = 42;

struct Member {
  int type = 2;
  std::string shortName;
  std::string longName;
  std::string folder;
  std::string data;
  bool deleted = false;
  std::uint32_t stamp = DosStamp(1991, 7, 8, 9, 10, 12);
  std::uint32_t fattr = 0;  // type 2 only
};

std::size_t HeaderLen(const Member& m) {
  return m.type == 2 ? 56 + 2 + m.longName.size() + m.folder.size() + 2 + 3 : 51;
}

std::string EntryHeader(const Member& m, std::uint32_t next, std::uint32_t dataAt) {
  std::string h;
  Put32(h, kTag);
  Put8(h, m.type);
  Put8(h, 0);  // stored
  Put32(h, next);
  Put32(h, dataAt);
  Put16(h, m.stamp >> 16);
  Put16(h, m.stamp & 0xffff);
  Put16(h, Crc16(m.data));
  Put32(h, m.data.size());
  Put32(h, m.data.size());
  Put8(h, 2);
  Put8(h, 1);
  Put8(h, m.deleted ? 1 : 0);
  Put8(h, 0);
  Put32(h, 0);
  Put16(h, 0);
  std::string name = m.shortName;
  name.resize(13, '\0');
  h += name;
  if (m.type == 2) {
    const std::size_t varLen = 2 + m.longName.size() + m.folder.size() + 2 + 3;
    Put16(h, varLen);
    Put8(h, 127);
    Put16(h, 0);
    Put8(h, m.longName.size());
    Put8(h, m.folder.size());
    h += m.longName + m.folder;
    Put16(h, 0);
    Put8(h, m.fattr & 0xff);
    Put8(h, (m.fattr >> 8) & 0xff);
    Put8(h, (m.fattr >> 16) & 0xff);
  }
  return h;
}

struct Built {
  std::string bytes;
  std::vector<std::size_t> entryAt;  // offsets of the member headers, then of the end entry
};

Built Build(const std::vector<Member>& members, const std::string& comment) {
  Built b;
  std::string& a = b.bytes;
  a = "ZOO 2.10 Archive.\x1a";
  a.resize(20, '\0');
  const std::uint32_t start = static_cast<std::uint32_t>(kArchiveHeaderLen + comment.size());
  Put32(a, kTag);
  Put32(a, start);
  Put32(a, 0u - start);
  Put8(a, 2);
  Put8(a, 0);
  Put8(a, 1);
  Put32(a, comment.empty() ? 0 : kArchiveHeaderLen);
  Put16(a, comment.size());
  Put8(a, 1);
  a += comment;
  for (const Member& m : members) {
    const std::size_t at = a.size();
    const std::size_t dataAt = at + HeaderLen(m);
    b.entryAt.push_back(at);
    a += EntryHeader(m, static_cast<std::uint32_t>(dataAt + m.data.size()), static_cast<std::uint32_t>(dataAt));
    a += m.data;
  }
  b.entryAt.push_back(a.size());
  Member end;  // only its tag and zero next offset count, so its short form
  end.type = 1;
  a += EntryHeader(end, 0, 0);
  return b;
}

std::vector<Member> Sample() {
  Member longOne{2, "LANGERDA.TXT", "Langer Dateiname.txt", "texte/alt", "Inhalt mit langem Namen\n"};
  longOne.fattr = (1u << 22) | 0444;
  Member shortOne{1, "KURZ.TXT", "", "", "kurz"};
  shortOne.stamp = DosStamp(2010, 10, 10, 10, 10, 10);
  Member gone{2, "WEG.TXT", "", "", "geloescht", true};
  Member umlaut{2, "NDERUNG.TXT", "\x84nderung.txt", "", std::string(700, 'u')};
  umlaut.fattr = (1u << 22) | 0644;
  return {longOne, shortOne, gone, umlaut};
}

TEST(ZooReader, ListsMembersOfBothTypes) {
  const Built b = Build(Sample(), "Archivkommentar\n\x81" "ber alles\n");
  kx::ArchiveDirectory dir;
  ASSERT_EQ(ReadBytes(kx::ReadZooDirectory, b.bytes, dir), kx::rc::Ok);
  EXPECT_EQ(dir.comment, "Archivkommentar\nüber alles\n");
  ASSERT_EQ(dir.entries.size(), 3u);  // the deleted one is not listed
  const auto& a = dir.entries[0];
  EXPECT_EQ(a.name, "texte/alt/Langer Dateiname.txt");
  EXPECT_EQ(a.size, 24u);
  EXPECT_EQ(a.packedSize, 24u);
  EXPECT_EQ(a.crc, Crc16("Inhalt mit langem Namen\n"));
  EXPECT_EQ(a.modified, (kx::DateTime{1991, 7, 8, 9, 10, 12}));
  EXPECT_EQ(a.attributes, kx::attr::ReadOnly);
  EXPECT_EQ(a.method, 0);
  EXPECT_FALSE(a.encrypted);
  EXPECT_FALSE(a.isFolder);
  EXPECT_EQ(dir.entries[1].name, "KURZ.TXT");
  EXPECT_EQ(dir.entries[1].modified, (kx::DateTime{2010, 10, 10, 10, 10, 10}));
  EXPECT_EQ(dir.entries[2].name, "änderung.txt");
  EXPECT_EQ(dir.entries[2].size, 700u);
  EXPECT_EQ(dir.entries[2].attributes, 0u);
  EXPECT_TRUE(Sniff(kx::LooksLikeZoo, b.bytes));
}

TEST(ZooReader, OldArchiveHeaderWithoutComment) {
  Built b = Build({Member{1, "A.TXT", "", "", "a"}}, "");
  // The 34-byte header of early versions: move everything after it down.
  b.bytes.erase(34, kArchiveHeaderLen - 34);
  const std::uint32_t start = 34;
  Set32(b.bytes, 24, start);
  Set32(b.bytes, 28, 0u - start);
  Set32(b.bytes, 34 + 6, start + 51 + 1);  // next
  Set32(b.bytes, 34 + 10, start + 51);     // data
  kx::ArchiveDirectory dir;
  ASSERT_EQ(ReadBytes(kx::ReadZooDirectory, b.bytes, dir), kx::rc::Ok);
  ASSERT_EQ(dir.entries.size(), 1u);
  EXPECT_EQ(dir.entries[0].name, "A.TXT");
  EXPECT_TRUE(dir.comment.empty());
}

TEST(ZooReader, EveryCutFails) { ExpectEveryPrefixFails(kx::ReadZooDirectory, Build(Sample(), "Kommentar").bytes); }

struct Damage {
  const char* label;
  void (*apply)(Built&);
  std::size_t entriesBefore;
};

class ZooHostile : public ::testing::TestWithParam<Damage> {};

TEST_P(ZooHostile, GivesArchiveErrorAndStops) {
  Built b = Build(Sample(), "Kommentar");
  GetParam().apply(b);
  kx::ArchiveDirectory dir;
  EXPECT_EQ(ReadBytes(kx::ReadZooDirectory, b.bytes, dir), kx::rc::ArchiveError);
  EXPECT_EQ(dir.entries.size(), GetParam().entriesBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZooHostile,
    ::testing::Values(
        Damage{"next_points_backwards", [](Built& b) { Set32(b.bytes, b.entryAt[1] + 6, b.entryAt[0]); }, 2},
        Damage{"next_points_to_itself", [](Built& b) { Set32(b.bytes, b.entryAt[1] + 6, b.entryAt[1]); }, 2},
        Damage{"next_points_into_own_header", [](Built& b) { Set32(b.bytes, b.entryAt[0] + 6, b.entryAt[0] + 20); }, 1},
        Damage{"next_points_past_end", [](Built& b) { Set32(b.bytes, b.entryAt[0] + 6, 0xfffffff0); }, 1},
        Damage{"start_check_wrong", [](Built& b) { Set32(b.bytes, 28, 12345); }, 0},
        Damage{"start_past_end", [](Built& b) {
                 Set32(b.bytes, 24, 0x7ffffff0);
                 Set32(b.bytes, 28, 0u - 0x7ffffff0u);
               }, 0},
        Damage{"start_inside_archive_header", [](Built& b) {
                 Set32(b.bytes, 24, 8);
                 Set32(b.bytes, 28, 0u - 8u);
               }, 0},
        Damage{"comment_past_end", [](Built& b) { Set16(b.bytes, 39, 0xffff); }, 0},
        Damage{"data_past_end", [](Built& b) { Set32(b.bytes, b.entryAt[1] + 24, 0xffffff00); }, 1},
        Damage{"data_offset_huge", [](Built& b) { Set32(b.bytes, b.entryAt[0] + 10, 0xffffffff); }, 0},
        Damage{"variable_part_past_end", [](Built& b) { Set16(b.bytes, b.entryAt[3] + 51, 0xffff); }, 2},
        Damage{"tag_wrong", [](Built& b) { b.bytes[b.entryAt[1]] ^= 1; }, 1}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ZooSniff, NeedsHeaderAndFirstEntry) {
  Built b = Build(Sample(), "");
  EXPECT_TRUE(Sniff(kx::LooksLikeZoo, b.bytes));
  EXPECT_FALSE(Sniff(kx::LooksLikeZoo, b.bytes.substr(0, kArchiveHeaderLen)));  // no first entry
  std::string tagOnly = b.bytes;
  Set32(tagOnly, 28, 1);
  EXPECT_FALSE(Sniff(kx::LooksLikeZoo, tagOnly));
  EXPECT_FALSE(Sniff(kx::LooksLikeZoo, ""));
  EXPECT_FALSE(Sniff(kx::LooksLikeZoo, kxtest::RandomBytes(500, 2)));
}

}  // namespace
