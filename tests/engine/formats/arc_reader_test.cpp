// The ARC directory reader against archives made by the arc peer at test time
// (sizes, method and CRC as `arc v` lists them, dates as `nomarch -l` does),
// hand-made archives for what arc on this system does not write (folders,
// information items, the oldest header form), and damaged archives.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "engine/io/byte_source.h"
#include "engine/formats/arc.h"
#include "engine/formats/dos_test_util.h"
#include "support/test_support.h"

namespace {

using namespace kxtest::dos;
namespace fs = std::filesystem;

struct PeerRow {
  std::uint64_t size = 0, packed = 0;
  std::string stowage, crc, stamp;  // stamp from nomarch: "YYYY-MM-DD HH:MM"
};

std::map<std::string, PeerRow> PeerListing(const fs::path& archive) {
  std::map<std::string, PeerRow> rows;
  const auto v = kxtest::Run({"arc", "v", archive.string()});
  EXPECT_EQ(v.exitCode, 0) << v.output;
  std::istringstream in(v.output);
  std::string line;
  bool body = false;
  while (std::getline(in, line)) {
    if (line.rfind("====", 0) == 0) {
      body = true;
      continue;
    }
    if (!body || line.rfind("  ", 0) == 0 || line.rfind("Total", 0) == 0) continue;
    std::istringstream f(line);
    std::string name, sf, day, month, year, time;
    PeerRow r;
    f >> name >> r.size >> r.stowage >> sf >> r.packed >> day >> month >> year >> time >> r.crc;
    rows[name] = r;
  }
  const auto l = kxtest::Run({"nomarch", "-l", archive.string()});
  EXPECT_EQ(l.exitCode, 0) << l.output;
  std::istringstream nl(l.output);
  while (std::getline(nl, line)) {
    std::istringstream f(line);
    std::string name, size, date, time;
    f >> name >> size >> date >> time;
    if (rows.count(name)) rows[name].stamp = date + " " + time;
  }
  return rows;
}

std::string Stamp(const kx::DateTime& d) {
  char b[32];
  std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d", d.year, d.month, d.day, d.hour, d.minute);
  return b;
}

int MethodOfStowage(const std::string& s) {
  static const std::map<std::string, int> kMethods = {
      {"--", 2}, {"Packed", 3}, {"Squeezed", 4}, {"Crunched", 8}, {"Squashed", 9}};
  const auto it = kMethods.find(s);
  return it == kMethods.end() ? -1 : it->second;
}

// Every cut of the same archive fails, too.
TEST(ArcPeer, ListingAgreesWithArcAndNomarchAndEveryCutFails) {
  TempDir dir;
  WriteFile(dir / "alt.txt", "hallo\n");
  ASSERT_EQ(kxtest::Run({"touch", "-d", "2021-03-04 05:06:08", (dir / "alt.txt").string()}).exitCode, 0);
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "Zeile " + std::to_string(i % 5) + "\n";
  WriteFile(dir / "text.txt", text);
  WriteFile(dir / "zufall.bin", kxtest::RandomBytes(3000, 11));
  WriteFile(dir / "leer.dat", "");
  ASSERT_EQ(kxtest::Run({"touch", "-d", "1999-12-31 23:59:58", (dir / "zufall.bin").string()}).exitCode, 0);
  const auto made = kxtest::Run({"arc", "a", "t.arc", "alt.txt", "text.txt", "zufall.bin", "leer.dat"}, dir.path());
  ASSERT_EQ(made.exitCode, 0) << made.output;

  const auto peer = PeerListing(dir / "t.arc");
  kx::FileSource src((dir / "t.arc").string());
  ASSERT_TRUE(src.ok());
  EXPECT_TRUE(kx::LooksLikeArc(src));
  kx::ArchiveDirectory ours;
  ASSERT_EQ(kx::ReadArcDirectory(src, ours), kx::rc::Ok);
  ASSERT_EQ(ours.entries.size(), 4u);
  ASSERT_EQ(peer.size(), 4u);
  std::set<int> methods;
  for (const kx::EntryInfo& e : ours.entries) {
    SCOPED_TRACE(e.name);
    ASSERT_TRUE(peer.count(e.name));
    const PeerRow& p = peer.at(e.name);
    EXPECT_EQ(e.size, p.size);
    EXPECT_EQ(e.packedSize, p.packed);
    EXPECT_EQ(Hex16(e.crc), p.crc);
    EXPECT_EQ(e.crc, Crc16(ReadFile(dir / e.name)));
    EXPECT_EQ(Stamp(e.modified), p.stamp);
    EXPECT_EQ(e.method, MethodOfStowage(p.stowage));
    EXPECT_FALSE(e.isFolder);
    EXPECT_FALSE(e.encrypted);
    methods.insert(e.method);
  }
  EXPECT_GE(methods.size(), 2u) << "stored and compressed entries both covered";
  EXPECT_EQ(Stamp(ours.entries[0].modified), "2021-03-04 05:06");
  EXPECT_EQ(ours.entries[0].modified.second, 8);
  ExpectEveryPrefixFails(kx::ReadArcDirectory, ReadFile(dir / "t.arc"));
}

// Hand-made headers, for what the peer does not write.
std::string Header(int method, const std::string& name, const std::string& data, std::uint32_t packed) {
  return ArcHeader(unsigned(method), name, packed, Crc16(data), std::uint32_t(data.size()), DosStamp(1992, 5, 6, 7, 8, 10));
}

std::string File(int method, const std::string& name, const std::string& data) {
  return Header(method, name, data, static_cast<std::uint32_t>(data.size())) + data;
}

std::string Folder(const std::string& name, const std::string& inner) {
  return Header(30, name, "", static_cast<std::uint32_t>(inner.size())) + inner;
}

TEST(ArcHandMade, FoldersInformationItemsAndOldHeaders) {
  const std::string a = File(1, "ALT.TXT", "uralt") + File(20, "INFO", "nur Information") +
                        Folder("ORDNER", File(2, "INNEN.TXT", "drinnen") + Folder("TIEF", File(2, "X", "x") + kArcEnd) +
                                             kArcEnd) +
                        File(2, "GR\x94\xe1" "E.TXT", "gross") + kArcEnd + "trailing junk";
  kx::ArchiveDirectory dir;
  ASSERT_EQ(ReadBytes(kx::ReadArcDirectory, a, dir), kx::rc::Ok);
  std::vector<std::string> names;
  for (const auto& e : dir.entries) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"ALT.TXT", "ORDNER/", "ORDNER/INNEN.TXT", "ORDNER/TIEF/",
                                             "ORDNER/TIEF/X", "GRößE.TXT"}));
  EXPECT_EQ(dir.entries[0].size, 5u);  // the oldest form: size is the packed size
  EXPECT_EQ(dir.entries[0].method, 1);
  EXPECT_EQ(dir.entries[0].crc, Crc16("uralt"));
  EXPECT_EQ(dir.entries[0].modified, (kx::DateTime{1992, 5, 6, 7, 8, 10}));
  EXPECT_TRUE(dir.entries[1].isFolder);
  EXPECT_EQ(dir.entries[1].attributes, kx::attr::Folder);
  EXPECT_TRUE(Sniff(kx::LooksLikeArc, a));
}

class ArcHostile : public ::testing::TestWithParam<HostileBytes> {};

TEST_P(ArcHostile, GivesArchiveError) { ExpectArchiveError(kx::ReadArcDirectory, GetParam()); }

std::string Nested(int depth) {
  std::string inner = kArcEnd;
  for (int i = 0; i < depth; ++i) inner = Folder("D", inner) + kArcEnd;
  return inner;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArcHostile,
    ::testing::Values(HostileBytes{"not_a_header", "PK\x03\x04 und so weiter", 0},
                      HostileBytes{"name_without_nul", File(2, "ABCDEFGHIJKLM", "x") + kArcEnd, 0},
                      HostileBytes{"empty_name", File(2, "", "x") + kArcEnd, 0},
                      HostileBytes{"control_bytes_in_name", File(2, "A\x01" "B", "x") + kArcEnd, 0},
                      HostileBytes{"packed_size_past_end", Header(2, "A", "abc", 0xfffffff0) + "abc" + kArcEnd, 0},
                      HostileBytes{"unknown_method", File(2, "A", "a") + File(45, "B", "b") + kArcEnd, 1},
                      HostileBytes{"folder_past_end", File(2, "A", "a") + Header(30, "D", "", 1000) + kArcEnd, 1},
                      HostileBytes{"file_past_its_folder",
                              Folder("D", Header(2, "A", "abcdef", 6) + "ab") + "cdef" + kArcEnd + kArcEnd, 1},
                      HostileBytes{"folder_without_end_marker", Folder("D", File(2, "A", "a")) + kArcEnd, 2},
                      HostileBytes{"nested_too_deep", Nested(40), 32},
                      HostileBytes{"junk_after_entry", File(2, "A", "a") + "junk", 1}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ArcSniff, NeedsAPlausibleFirstHeader) {
  EXPECT_FALSE(Sniff(kx::LooksLikeArc, ""));
  EXPECT_FALSE(Sniff(kx::LooksLikeArc, kArcEnd));  // an empty archive says too little
  EXPECT_FALSE(Sniff(kx::LooksLikeArc, File(2, "A", "a")));  // nothing after the entry
  EXPECT_FALSE(Sniff(kx::LooksLikeArc, std::string("\x1A") + kxtest::RandomBytes(300, 9)));
  EXPECT_TRUE(Sniff(kx::LooksLikeArc, File(2, "A", "a") + kArcEnd));
  EXPECT_TRUE(Sniff(kx::LooksLikeArc, Nested(2)));
}

}  // namespace
