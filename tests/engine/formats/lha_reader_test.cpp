// The LHA directory reader on archives built here from the header layouts
// (levels 0, 1 and 2, stored data), checked against lhasa: it must test them
// clean, list the same packed sizes, sizes, methods and CRCs, and the files it
// extracts must carry the times our reader reports (in two time zones, since
// level 2 stores UTC). Then damaged headers of every level.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <regex>
#include <sstream>

#include "engine/io/byte_source.h"
#include "engine/formats/lha.h"
#include "engine/formats/dos_test_util.h"
#include "support/test_support.h"

namespace {

using namespace kxtest::dos;
namespace fs = std::filesystem;

std::string Ext(int type, const std::string& payload) { return std::string(1, char(type)) + payload; }

// Extension headers chained: each gets the size of the next one appended.
// Returns the chain; `first` gets the size of the first header.
std::string Chain(const std::vector<std::string>& exts, unsigned& first) {
  std::string out;
  first = exts.empty() ? 0 : static_cast<unsigned>(exts[0].size() + 2);
  for (std::size_t i = 0; i < exts.size(); ++i) {
    out += exts[i];
    Put16(out, i + 1 < exts.size() ? exts[i + 1].size() + 2 : 0);
  }
  return out;
}

// Size byte and sum byte in front of a level 0 or 1 header body.
std::string Framed(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum += c;
  std::string h;
  Put8(h, body.size());
  Put8(h, sum);
  return h + body;
}

std::string Level0(const std::string& name, const std::string& data, std::uint32_t dosStamp, int attributes = 0x20) {
  std::string b = "-lh0-";
  Put32(b, data.size());
  Put32(b, data.size());
  Put32(b, dosStamp);
  Put8(b, attributes);
  Put8(b, 0);
  Put8(b, name.size());
  b += name;
  Put16(b, Crc16(data));
  return Framed(b) + data;
}

std::string Level1(const std::string& name, const std::string& data, std::uint32_t dosStamp,
                   const std::vector<std::string>& exts) {
  unsigned first = 0;
  const std::string chain = Chain(exts, first);
  std::string b = "-lh0-";
  Put32(b, chain.size() + data.size());
  Put32(b, data.size());
  Put32(b, dosStamp);
  Put8(b, 0x20);
  Put8(b, 1);
  Put8(b, name.size());
  b += name;
  Put16(b, Crc16(data));
  Put8(b, 'U');
  Put16(b, first);
  return Framed(b) + chain + data;
}

// Level 2 with a header CRC extension first, as lhasa wants it.
std::string Level2(const std::string& method, const std::string& data, std::uint32_t unixTime,
                   std::vector<std::string> exts) {
  exts.insert(exts.begin(), Ext(0x00, std::string(2, '\0')));
  unsigned first = 0;
  const std::string chain = Chain(exts, first);
  std::string h;
  Put16(h, 26 + chain.size());
  h += method;
  Put32(h, data.size());
  Put32(h, data.size());
  Put32(h, unixTime);
  Put8(h, 0x20);
  Put8(h, 2);
  Put16(h, Crc16(data));
  Put8(h, 'U');
  Put16(h, first);
  h += chain;
  Set16(h, 27, Crc16(h));
  return h + data;
}

constexpr std::uint32_t kUnixTime = 1600000000;  // 2020-09-13 12:26:40 UTC

std::string PeerFixture() {
  return Level0("dir\\hello.txt", "hallo\n", DosStamp(2021, 3, 4, 5, 6, 8), 0x21) +
         Level1("", "welt zwei\n", DosStamp(1999, 12, 31, 23, 59, 58),
                {Ext(0x01, "long name.txt"), Ext(0x02, "sub\xff" "dir\xff")}) +
         Level1("plain.txt", std::string(3000, 'p'), DosStamp(2004, 2, 29, 12, 0, 0), {}) +
         Level2("-lh0-", "level two\n", kUnixTime, {Ext(0x01, "two.txt"), Ext(0x02, "lvl2\xff"), Ext(0x40, std::string("\x21\x00", 2))}) +
         Level2("-lhd-", "", kUnixTime, {Ext(0x02, "lvl2\xff" "empty\xff"), Ext(0x50, std::string("\xed\x41", 2))}) +
         std::string(1, '\0');
}

struct PeerRow {
  std::uint64_t packed = 0, size = 0;
  std::string method, crc;
};

std::map<std::string, PeerRow> LhaVerbose(const fs::path& archive, const std::vector<std::string>& env) {
  const auto r = kxtest::Run({"lha", "v", archive.string()}, {}, env);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  static const std::regex kRow(R"((\d+)\s+(\d+)\s+\S+\s+(-\w\w\w-)\s+([0-9a-f]{4})\s+\w{3}\s+\d+\s+[\d:]+\s(.*)$)");
  std::map<std::string, PeerRow> rows;
  std::istringstream in(r.output);
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (!std::regex_search(line, m, kRow)) continue;
    rows[m[5]] = {std::stoull(m[1]), std::stoull(m[2]), m[3], m[4]};
  }
  return rows;
}

// Sets TZ for this process (and so for localtime) while alive.
class ZoneScope {
 public:
  explicit ZoneScope(const std::string& tz) {
    if (const char* old = std::getenv("TZ")) old_ = old, hadOld_ = true;
    ::setenv("TZ", tz.c_str(), 1);
    ::tzset();
  }
  ~ZoneScope() {
    if (hadOld_) ::setenv("TZ", old_.c_str(), 1); else ::unsetenv("TZ");
    ::tzset();
  }

 private:
  std::string old_;
  bool hadOld_ = false;
};

struct Zone {
  const char* tz;
  kx::DateTime levelTwo;  // kUnixTime in that zone
};

class LhaPeer : public ::testing::TestWithParam<Zone> {};

TEST_P(LhaPeer, LhasaAgreesWithOurListing) {
  const Zone& zone = GetParam();
  ZoneScope scope(zone.tz);
  const std::vector<std::string> env = {std::string("TZ=") + zone.tz};
  TempDir dir;
  WriteFile(dir / "t.lzh", PeerFixture());
  const auto tested = kxtest::Run({"lha", "t", (dir / "t.lzh").string()}, {}, env);
  ASSERT_EQ(tested.exitCode, 0) << tested.output;

  kx::FileSource src((dir / "t.lzh").string());
  ASSERT_TRUE(src.ok());
  EXPECT_TRUE(kx::LooksLikeLha(src));
  kx::ArchiveDirectory ours;
  ASSERT_EQ(kx::ReadLhaDirectory(src, ours), kx::rc::Ok);
  std::vector<std::string> names;
  for (const auto& e : ours.entries) names.push_back(e.name);
  ASSERT_EQ(names, (std::vector<std::string>{"dir/hello.txt", "sub/dir/long name.txt", "plain.txt", "lvl2/two.txt",
                                             "lvl2/empty/"}));

  const auto peer = LhaVerbose(dir / "t.lzh", env);
  ASSERT_EQ(peer.size(), ours.entries.size());
  fs::create_directory(dir / "x");
  const auto extracted = kxtest::Run({"lha", "x", (dir / "t.lzh").string()}, dir / "x", env);
  ASSERT_EQ(extracted.exitCode, 0) << extracted.output;
  for (const kx::EntryInfo& e : ours.entries) {
    SCOPED_TRACE(e.name);
    ASSERT_TRUE(peer.count(e.name));
    const PeerRow& p = peer.at(e.name);
    EXPECT_EQ(e.packedSize, p.packed);
    EXPECT_EQ(e.size, p.size);
    EXPECT_EQ(Hex16(e.crc), p.crc);
    EXPECT_EQ(e.method, (p.method[2] << 8) | p.method[3]);
    EXPECT_EQ(e.isFolder, p.method == "-lhd-");
    EXPECT_FALSE(e.encrypted);
    const fs::path onDisk = dir / "x" / e.name;
    if (e.isFolder) {
      EXPECT_TRUE(fs::is_directory(onDisk));
    } else {
      EXPECT_EQ(fs::file_size(onDisk), e.size);
      EXPECT_EQ(LocalMtime(onDisk), e.modified);
    }
  }
  EXPECT_EQ(ours.entries[0].modified, (kx::DateTime{2021, 3, 4, 5, 6, 8}));
  EXPECT_EQ(ours.entries[0].attributes, kx::attr::ReadOnly | kx::attr::Archive);
  EXPECT_EQ(ours.entries[3].modified, zone.levelTwo);
  EXPECT_EQ(ours.entries[3].attributes, kx::attr::ReadOnly | kx::attr::Archive);
  EXPECT_EQ(ours.entries[4].attributes, kx::attr::Folder);
}

INSTANTIATE_TEST_SUITE_P(Zones, LhaPeer,
                         ::testing::Values(Zone{"UTC", {2020, 9, 13, 12, 26, 40}},
                                           Zone{"Europe/Berlin", {2020, 9, 13, 14, 26, 40}}),
                         [](const auto& info) { return info.index == 0 ? std::string("UTC") : std::string("Berlin"); });

TEST(LhaNames, Cp437AndSeparators) {
  const std::string a = Level0("GR\x94\xe1" "E\\UNTER.TXT", "x", DosStamp(1990, 1, 2, 3, 4, 6)) +
                        Level2("-lh5-", "y", kUnixTime, {Ext(0x01, "\x84rger.txt"), Ext(0x02, "\x8e" "\xff" "b\xff")}) +
                        std::string(1, '\0');
  kx::ArchiveDirectory dir;
  ASSERT_EQ(ReadBytes(kx::ReadLhaDirectory, a, dir), kx::rc::Ok);
  ASSERT_EQ(dir.entries.size(), 2u);
  EXPECT_EQ(dir.entries[0].name, "GRößE/UNTER.TXT");
  EXPECT_EQ(dir.entries[1].name, "Ä/b/ärger.txt");
  EXPECT_EQ(dir.entries[1].method, ('h' << 8) | '5');
}

TEST(LhaHostilePrefix, EveryCutFails) { ExpectEveryPrefixFails(kx::ReadLhaDirectory, PeerFixture()); }

// A level 0 or 1 header changed after the fact, with its sum made right again
// so that the check behind the sum is what rejects it.
std::string Patched(std::string h, std::size_t at, const std::string& bytes) {
  h.replace(at, bytes.size(), bytes);
  unsigned sum = 0;
  const std::size_t end = static_cast<unsigned char>(h[0]) + 2u;
  for (std::size_t i = 2; i < end; ++i) sum += static_cast<unsigned char>(h[i]);
  h[1] = char(sum);
  return h;
}

std::string Le32s(std::uint32_t v) {
  std::string s;
  Put32(s, v);
  return s;
}

const std::string kGood = Level0("ok.txt", "ok", DosStamp(2000, 1, 1, 0, 0, 0));
const std::string kEnd(1, '\0');

class LhaHostile : public ::testing::TestWithParam<HostileBytes> {};

TEST_P(LhaHostile, GivesArchiveError) { ExpectArchiveError(kx::ReadLhaDirectory, GetParam()); }

std::string Level2WithTotal(unsigned total) {
  std::string h = Level2("-lh0-", "abc", kUnixTime, {Ext(0x01, "a")});
  Set16(h, 0, total);
  return h + kEnd;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LhaHostile,
    ::testing::Values(
        HostileBytes{"sum_wrong",
                [] {
                  std::string h = kGood;
                  h[1] ^= 1;
                  return kGood + h + kEnd;
                }(),
                1},
        HostileBytes{"level_3", kGood + Patched(kGood, 20, "\x03") + kEnd, 1},
        HostileBytes{"method_not_an_id", Patched(kGood, 2, "lh0--") + kEnd, 0},
        HostileBytes{"name_longer_than_header", Patched(kGood, 21, "\xf0") + kEnd, 0},
        HostileBytes{"header_size_too_small", std::string("\x05\x00-lh0-", 7) + std::string(40, '\0'), 0},
        HostileBytes{"packed_size_past_end", Patched(kGood, 7, Le32s(0xffffffff)) + kEnd, 0},
        HostileBytes{"level1_extension_too_short",
                Patched(Level1("a", "data", 0, {Ext(0x01, "b")}), 26, std::string("\x02\x00", 2)) + kEnd, 0},
        HostileBytes{"level1_extensions_beyond_skip_size",
                [] {
                  std::string h = Level1("a", "", 0, {Ext(0x01, "long enough name")});
                  return Patched(h, 7, Le32s(4)) + kEnd;
                }(),
                0},
        HostileBytes{"level2_total_below_fixed_part", Level2WithTotal(20), 0},
        HostileBytes{"level2_total_past_end", Level2WithTotal(0xfff0), 0},
        HostileBytes{"level2_extension_past_header",
                [] {
                  std::string h = Level2("-lh0-", "", kUnixTime, {Ext(0x01, "a")});
                  Set16(h, 24 + 5, 0x0400);  // the next-size field of the CRC extension
                  return h + kEnd;
                }(),
                0},
        HostileBytes{"level2_size64_past_end",
                Level2("-lh0-", "", kUnixTime, {Ext(0x42, std::string("\0\0\0\0\0\0\0\x80\x01\0\0\0\0\0\0\0", 16))}) +
                    kEnd,
                0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(LhaSniff, NeedsAWholePlausibleFirstHeader) {
  EXPECT_TRUE(Sniff(kx::LooksLikeLha, kGood + kEnd));
  EXPECT_TRUE(Sniff(kx::LooksLikeLha, Level2("-lh5-", "x", kUnixTime, {Ext(0x01, "a")})));
  EXPECT_FALSE(Sniff(kx::LooksLikeLha, ""));
  EXPECT_FALSE(Sniff(kx::LooksLikeLha, kEnd));
  EXPECT_FALSE(Sniff(kx::LooksLikeLha, kGood.substr(0, kGood.size() - 1)));  // data cut short
  std::string onlyMagic = "\x20\x00-lh5-";
  onlyMagic += kxtest::RandomBytes(100, 5);
  EXPECT_FALSE(Sniff(kx::LooksLikeLha, onlyMagic));
}

}  // namespace
