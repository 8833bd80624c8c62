// Rewriting DOS archives without some of their items, in memory: every item
// of archives of all four kinds deleted in turn (the rest listed, checked and
// byte for byte as before, and accepted by unar), ZOO's pointers, comments
// and deleted entries, ARC folders whose nested run shrinks, the forms of an
// archive without entries, and the choice of entries by name.
#include <gtest/gtest.h>

#include "engine/codecs/member_codec.h"
#include "engine/dosarc/dos_extract.h"
#include "engine/dosarc/dos_update.h"
#include "engine/dosarc/dos_writer.h"
#include "engine/io/cp437.h"
#include "engine/formats/dos_test_util.h"

namespace {

using namespace kxtest::dos;
using kx::ArchiveKind;
using kx::Le16;
using kx::dosarc::DosArchive;

using Files = std::vector<std::pair<std::string, std::string>>;

// An archive of stored members written by the engine's own writers.
std::string Build(ArchiveKind kind, const Files& files) {
  kx::dosarc::MemoryArchiveOut out;
  const auto writer = kx::dosarc::MakeWriter(kind, nullptr, "bau", 700000000);
  EXPECT_TRUE(writer->Begin(out));
  for (const auto& [name, data] : files) {
    kx::dosarc::NewMember m;
    m.storedName = name;
    m.unixTime = 700000000;
    m.method = kx::codec::StoredMethod(kind);
    m.size = m.packed = data.size();
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
    m.crc = kind == ArchiveKind::Arj ? kx::codec::Crc32(0, p, data.size()) : kx::codec::Crc16(0, p, data.size());
    const auto header = writer->MemberHeader(m, out.Size());
    EXPECT_TRUE(out.Write(header.data(), header.size()) && out.Write(data.data(), data.size()));
  }
  EXPECT_TRUE(writer->End(out));
  return std::string(out.bytes().begin(), out.bytes().end());
}

struct Image {
  std::string bytes;
  DosArchive archive;
};

// The archive reads its bytes from memory the Image owns.
std::unique_ptr<Image> Load(std::string bytes, ArchiveKind kind) {
  auto img = std::make_unique<Image>();
  img->bytes = std::move(bytes);
  img->archive.kind = kind;
  img->archive.source = std::make_unique<kx::MemorySource>(
      std::span(reinterpret_cast<const std::uint8_t*>(img->bytes.data()), img->bytes.size()));
  EXPECT_EQ(kx::dosarc::ReadLayout(*img->archive.source, kind, img->archive.layout), kx::rc::Ok);
  return img;
}

std::string Span(const Image& img, std::uint64_t from, std::uint64_t to) {
  return img.bytes.substr(std::size_t(from), std::size_t(to - from));
}

// What must survive a rewrite unchanged: header and data, or for ZOO (whose
// entries carry offsets) the data, checksum and comment.
std::string Kept(const Image& img, const kx::dosfmt::DosItem& item) {
  if (img.archive.kind != ArchiveKind::Zoo) return Span(img, item.headerBegin, item.dataEnd);
  return Span(img, item.dataBegin, item.dataEnd) + "|" + std::to_string(item.entry.crc) + "|" +
         Span(img, item.commentAt, item.commentAt + item.commentLength);
}

std::vector<std::pair<std::string, std::string>> Listing(const Image& img) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& item : img.archive.layout.items) {
    if (item.listed) out.emplace_back(item.entry.name, Kept(img, item));
  }
  return out;
}

std::unique_ptr<Image> Without(const Image& img, const std::vector<bool>& drop) {
  kx::dosarc::MemoryArchiveOut out;
  EXPECT_TRUE(kx::dosarc::RewriteWithout(img.archive, drop, out));
  return Load(std::string(out.bytes().begin(), out.bytes().end()), img.archive.kind);
}

bool AllDecode(const Image& img) {
  for (const auto& item : img.archive.layout.items) {
    if (!item.listed || item.entry.isFolder) continue;
    if (kx::dosarc::DecodeItem(img.archive, item, [](const std::uint8_t*, std::size_t) { return true; }) !=
        kx::dosarc::Problem::None)
      return false;
  }
  return true;
}

// Each kind's own peer checks the result (unar crashes at random on ARC).
struct KindRow {
  ArchiveKind kind;
  const char* ext;
  std::vector<std::string> test;  // archive appended
};

void PrintTo(const KindRow& row, std::ostream* os) { *os << row.ext; }

class RewriteEveryItem : public ::testing::TestWithParam<KindRow> {};

TEST_P(RewriteEveryItem, TheOthersStayAsTheyWere) {
  // ARC stores no folders.
  const bool flat = GetParam().kind == ArchiveKind::Arc;
  const Files files{{"eins.txt", "eins\n"}, {flat ? "zwei.bin" : "ordner/zwei.bin", kxtest::RandomBytes(3000, 4)},
                    {flat ? "drei.txt" : "ordner/tief/drei.txt", std::string(500, 'd')}, {"leer", ""},
                    {"vier.txt", "vier\n"}};
  const auto whole = Load(Build(GetParam().kind, files), GetParam().kind);
  const auto listing = Listing(*whole);
  ASSERT_EQ(listing.size(), files.size());
  for (std::size_t i = 0; i < whole->archive.layout.items.size(); ++i) {
    SCOPED_TRACE(i);
    std::vector<bool> drop(whole->archive.layout.items.size(), false);
    drop[i] = true;
    const auto rest = Without(*whole, drop);
    auto expected = listing;
    expected.erase(expected.begin() + std::ptrdiff_t(i));
    EXPECT_EQ(Listing(*rest), expected);
    EXPECT_TRUE(AllDecode(*rest));

    TempDir dir;
    const auto file = dir / (std::string("rest.") + GetParam().ext);
    WriteFile(file, rest->bytes);
    std::vector<std::string> test = GetParam().test;
    test.push_back(file.string());
    const auto peer = kxtest::Run(test);
    EXPECT_EQ(peer.exitCode, 0) << peer.output;
    EXPECT_EQ(kxtest::PeerNames(file).size(), files.size() - 1);
  }
  // Nothing dropped: ARJ, ARC and LHA come out as they went in; ZOO packs its
  // entries closer (the leader before each member's data goes).
  const auto same = Without(*whole, std::vector<bool>(whole->archive.layout.items.size(), false));
  EXPECT_EQ(Listing(*same), listing);
  if (GetParam().kind != ArchiveKind::Zoo) {
    EXPECT_TRUE(same->bytes == whole->bytes);
  }
  // Everything dropped: the form of an archive without entries.
  const auto none = Without(*whole, std::vector<bool>(whole->archive.layout.items.size(), true));
  EXPECT_TRUE(Listing(*none).empty());
  if (GetParam().kind != ArchiveKind::Arj) {
    const auto empty = kx::dosarc::EmptyArchive(GetParam().kind, "bau", 700000000);
    EXPECT_EQ(none->bytes, std::string(empty.begin(), empty.end()));
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, RewriteEveryItem,
                         ::testing::Values(KindRow{ArchiveKind::Arj, "arj", {"arj", "t"}},
                                           KindRow{ArchiveKind::Arc, "arc", {"arc", "t"}},
                                           KindRow{ArchiveKind::Lha, "lzh", {"lhasa", "t"}},
                                           KindRow{ArchiveKind::Zoo, "zoo", {"lsar", "-t"}}),
                         [](const auto& info) { return std::string(info.param.ext); });

// ---- ZOO: comments and deleted entries ------------------------------------

constexpr std::uint32_t kZooTag = 0xFDC4A7DC;

// Type 2 entry of a stored member with a comment; its own CRC held or not.
std::string ZooEntry(const std::string& name, const std::string& data, std::uint32_t next, std::uint32_t dataAt,
                     std::uint32_t commentAt, std::uint16_t commentLen, bool deleted, bool crcHeld) {
  std::string e;
  Put32(e, kZooTag);
  Put8(e, 2);
  Put8(e, 0);
  Put32(e, next);
  Put32(e, dataAt);
  Put16(e, 0x5A87);
  Put16(e, 0x6000);
  Put16(e, Crc16(data));
  Put32(e, std::uint32_t(data.size()));
  Put32(e, std::uint32_t(data.size()));
  Put8(e, 1);
  Put8(e, 0);
  Put8(e, deleted ? 1 : 0);
  Put8(e, 0);
  Put32(e, commentAt);
  Put16(e, commentLen);
  std::string shortName = name;
  shortName.resize(13, '\0');
  e += shortName;
  const std::string lname = name + '\0';
  Put16(e, std::uint32_t(2 + lname.size() + 2 + 3));
  Put8(e, 127);
  Put16(e, 0);
  Put8(e, std::uint32_t(lname.size()));
  Put8(e, 0);
  e += lname;
  Put16(e, 0);
  Put8(e, 0xA4);
  Put8(e, 0x01);
  Put8(e, 0x40);
  if (crcHeld) Set16(e, 54, Crc16(e));
  return e;
}

TEST(ZooRewrite, MovesEntriesWithTheirCommentsAndDropsDeletedOnes) {
  struct M {
    std::string name, data, comment;
    bool deleted, crcHeld;
  };
  const std::vector<M> members{{"weg.txt", "weg\n", "", false, true},
                               {"tot.txt", "tot\n", "", true, true},
                               {"bleibt.txt", "bleibt\n", "Kommentar eins", false, true},
                               {"alt.txt", "alt\n", "zwei", false, false}};
  // Header (comment at the end of the file, as zoo puts it), entries, end entry.
  std::string a = "ZOO 2.10 Archive.\x1a";
  a.resize(20, '\0');
  Put32(a, kZooTag);
  Put32(a, 42);
  Put32(a, std::uint32_t(-42));
  Put8(a, 2);
  Put8(a, 0);
  Put8(a, 1);
  Put32(a, 0);  // archive comment, set below
  Put16(a, 0);
  Put8(a, 0);
  std::vector<std::pair<std::size_t, std::uint16_t>> commentFields;
  for (const M& m : members) {
    const std::size_t at = a.size();
    const std::size_t len = ZooEntry(m.name, m.data, 0, 0, 0, 0, false, false).size();
    const std::uint32_t dataAt = std::uint32_t(at + len);
    const std::uint32_t commentAt = m.comment.empty() ? 0 : dataAt + std::uint32_t(m.data.size());
    const std::uint32_t next = dataAt + std::uint32_t(m.data.size() + m.comment.size());
    a += ZooEntry(m.name, m.data, next, dataAt, commentAt, std::uint16_t(m.comment.size()), m.deleted, m.crcHeld);
    a += m.data + m.comment;
  }
  a += ZooEntry("", "", 0, 0, 0, 0, false, false).substr(0, 51);
  const std::string archiveComment = "Archivkommentar";
  Set32(a, 35, std::uint32_t(a.size()));
  Set16(a, 39, std::uint32_t(archiveComment.size()));
  a += archiveComment;

  const auto whole = Load(a, ArchiveKind::Zoo);
  std::vector<bool> drop(whole->archive.layout.items.size(), false);
  drop[0] = true;
  const auto rest = Without(*whole, drop);
  EXPECT_EQ(rest->archive.layout.comment, archiveComment);
  ASSERT_EQ(Listing(*rest).size(), 2u);
  EXPECT_EQ(Listing(*rest), (std::vector<std::pair<std::string, std::string>>{
                                {"bleibt.txt", "bleibt\n|" + std::to_string(Crc16("bleibt\n")) + "|Kommentar eins"},
                                {"alt.txt", "alt\n|" + std::to_string(Crc16("alt\n")) + "|zwei"}}));
  EXPECT_EQ(rest->archive.layout.items.size(), 2u) << "the deleted entry is gone too";
  // The entry CRC that held still holds at the new place; the one that did not stays as it was.
  const auto& kept = rest->archive.layout.items;
  std::string first = Span(*rest, kept[0].headerBegin, kept[0].headerEnd);
  const std::uint16_t stored = Le16(reinterpret_cast<const std::uint8_t*>(first.data()) + 54);
  Set16(first, 54, 0);
  EXPECT_EQ(stored, Crc16(first));
  const std::string second = Span(*rest, kept[1].headerBegin, kept[1].headerEnd);
  EXPECT_EQ(Le16(reinterpret_cast<const std::uint8_t*>(second.data()) + 54), 0);
  EXPECT_TRUE(AllDecode(*rest));
}

// Two ZOO entries sharing their data: a way to unpack (or rewrite) to far
// more than the archive holds. Refused whole, nothing changed.
TEST(ZooRewrite, RefusesEntriesSharingTheirData) {
  const auto img = Load(Build(ArchiveKind::Zoo, {{"a.txt", "gleich\n"}, {"b.txt", "gleich\n"}}), ArchiveKind::Zoo);
  const auto& items = img->archive.layout.items;
  std::string bytes = img->bytes;
  Set32(bytes, std::size_t(items[1].headerBegin) + 10, std::uint32_t(items[0].dataBegin));
  const auto shared = Load(bytes, ArchiveKind::Zoo);
  EXPECT_FALSE(kx::dosarc::DataOverlaps(img->archive));
  EXPECT_TRUE(kx::dosarc::DataOverlaps(shared->archive));

  TempDir dir;
  WriteFile(dir / "geteilt.zoo", bytes);
  kx::dosarc::DosArchive opened;
  ASSERT_EQ(kx::dosarc::OpenDosArchive((dir / "geteilt.zoo").string(), opened), kx::rc::Ok);
  kx::dosarc::ExtractOptions options;
  options.target = dir.path().string();
  EXPECT_EQ(kx::dosarc::ExtractMembers(opened, {}, options, nullptr), kx::rc::ArchiveError);
  EXPECT_EQ(kx::dosarc::TestMembers(opened, {}, nullptr), kx::rc::ArchiveError);
  EXPECT_EQ(kx::dosarc::DeleteMembers((dir / "geteilt.zoo").string(), {"a.txt"}, nullptr), kx::rc::ArchiveError);
  EXPECT_EQ(ReadFile(dir / "geteilt.zoo"), bytes);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1u);
}

// ---- ARC folders -------------------------------------------------------------

TEST(ArcRewrite, AFolderFollowsItsShrunkenRun) {
  const std::string inner = ArcStored("A.TXT", "aaaa\n") + ArcStored("B.TXT", "bbbb\n") + kArcEnd;
  const std::string deeper = ArcStored("D.TXT", "dddd\n") + kArcEnd;
  const std::string withSub = ArcStored("A.TXT", "aaaa\n") + ArcMember(30, "SUB", deeper, Crc16(deeper)) + kArcEnd;
  struct Row {
    const char* label;
    std::string archive;
    std::string victim;
    std::vector<std::string> left;
  };
  const std::vector<Row> rows{
      {"nested_member", ArcMember(30, "DIR", inner, Crc16(inner)) + ArcStored("C.TXT", "c\n") + kArcEnd, "DIR/A.TXT",
       {"DIR/", "DIR/B.TXT", "C.TXT"}},
      {"whole_folder", ArcMember(30, "DIR", inner, Crc16(inner)) + ArcStored("C.TXT", "c\n") + kArcEnd, "DIR/",
       {"C.TXT"}},
      {"two_levels", ArcMember(30, "DIR", withSub, 0x4711) + kArcEnd, "DIR/SUB/D.TXT",
       {"DIR/", "DIR/A.TXT", "DIR/SUB/"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const auto whole = Load(row.archive, ArchiveKind::Arc);
    std::vector<std::string> missing;
    const auto chosen = kx::dosarc::ChooseItems(whole->archive.layout, {row.victim}, missing);
    std::vector<bool> drop(whole->archive.layout.items.size(), false);
    for (std::size_t i : chosen) drop[i] = true;
    const auto rest = Without(*whole, drop);
    std::vector<std::string> names;
    for (const auto& [name, bytes] : Listing(*rest)) names.push_back(name);
    EXPECT_EQ(names, row.left);
    EXPECT_TRUE(AllDecode(*rest));
    // Every folder's packed size spans exactly its run, and a checksum that
    // described the run still does; one that did not is left alone.
    for (const auto& item : rest->archive.layout.items) {
      if (!item.entry.isFolder) continue;
      const std::string header = Span(*rest, item.headerBegin, item.headerEnd);
      const std::string run = Span(*rest, item.dataBegin, item.dataEnd);
      EXPECT_EQ(run.substr(run.size() - 2), kArcEnd);
      const std::uint16_t crc = Le16(reinterpret_cast<const std::uint8_t*>(header.data()) + 23);
      EXPECT_TRUE(crc == Crc16(run) || crc == 0x4711) << item.entry.name;
    }
  }
}

// ---- no entries --------------------------------------------------------------

TEST(EmptyArchives, ReadAsArchivesWithoutEntries) {
  for (const auto& [kind, name] : std::vector<std::pair<ArchiveKind, std::string>>{
           {ArchiveKind::Arj, "a.arj"}, {ArchiveKind::Arc, "a.arc"}, {ArchiveKind::Lha, "a.LZH"},
           {ArchiveKind::Lha, "a.lha"}, {ArchiveKind::Zoo, "a.zoo"}}) {
    SCOPED_TRACE(name);
    const auto bytes = kx::dosarc::EmptyArchive(kind, name, 700000000);
    ASSERT_FALSE(bytes.empty());
    const kx::MemorySource src(std::span(bytes.data(), bytes.size()));
    EXPECT_EQ(kx::dosarc::DetectKind(name, src), kind);
    EXPECT_EQ(kx::dosarc::DetectKind("ohne.endung", src) == kind, kind == ArchiveKind::Arj || kind == ArchiveKind::Zoo)
        << "only ARJ and ZOO say their kind without entries";
    kx::dosfmt::DosLayout layout;
    EXPECT_EQ(kx::dosarc::ReadLayout(src, kind, layout), kx::rc::Ok);
    EXPECT_TRUE(layout.items.empty());
  }
}

// ---- choosing entries --------------------------------------------------------

TEST(ChooseItems, NamesFoldersAndMissingNames) {
  const auto img = Load(Build(ArchiveKind::Lha, {{"a.txt", "a"}, {"dir/b.txt", "b"}, {"dir/sub/c.txt", "c"},
                                                 {"dirt.txt", "d"}}),
                        ArchiveKind::Lha);
  struct Row {
    std::vector<std::string> names;
    std::vector<std::size_t> chosen;
    std::vector<std::string> missing;
  };
  for (const Row& row : std::vector<Row>{{{}, {0, 1, 2, 3}, {}},
                                         {{"a.txt"}, {0}, {}},
                                         {{"dir"}, {1, 2}, {}},
                                         {{"dir/"}, {1, 2}, {}},
                                         {{"dir/sub/c.txt", "fehlt", "a.txt"}, {0, 2}, {"fehlt"}},
                                         {{"DIRT.TXT", ""}, {}, {"DIRT.TXT", ""}}}) {
    std::vector<std::string> missing;
    EXPECT_EQ(kx::dosarc::ChooseItems(img->archive.layout, row.names, missing), row.chosen);
    EXPECT_EQ(missing, row.missing);
  }
}

// ---- code page 437 -----------------------------------------------------------

TEST(Utf8ToCp437, GermanNamesAndRefusals) {
  struct Row {
    std::string utf8;
    bool ok;
    std::string cp437;
  };
  for (const Row& row : std::vector<Row>{{"Grüße.txt", true, "Gr\x81\xe1" "e.txt"},
                                         {"ÄÖÜäöü", true, "\x8e\x99\x9a\x84\x94\x81"},
                                         {"a/b c", true, "a/b c"},
                                         {"日本", false, ""},
                                         {"€", false, ""},
                                         {"\xc3", false, ""},
                                         {"\xc0\xaf", false, ""}}) {
    std::string out;
    EXPECT_EQ(kx::Utf8ToCp437(row.utf8, out), row.ok) << row.utf8;
    if (row.ok) {
      EXPECT_EQ(out, row.cp437);
    }
  }
  // Every byte comes back through the other direction.
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  std::string back;
  ASSERT_TRUE(kx::Utf8ToCp437(kx::Cp437ToUtf8(all), back));
  EXPECT_EQ(back, all);
}

}  // namespace
