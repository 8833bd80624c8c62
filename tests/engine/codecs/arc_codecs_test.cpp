// The ARC and ZOO decoders and the ARC packer against the peers: archives
// arc makes at test time (packed, squeezed, crunched, squashed), the fixtures
// of the methods nobody here writes (arc, nomarch and unar must extract them
// to the sample first), the packer's output read back by arc, nomarch and
// unar, and damaged data.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "engine/codecs/arc_codecs.h"
#include "engine/codecs/codec_test_util.h"
#include "engine/formats/dos_test_util.h"
#include "support/test_support.h"

namespace {

using namespace kxtest::dos;
namespace fs = std::filesystem;
using kx::codec::Status;
using kxtest::codec::Decoded;

constexpr int kZoo = -1;  // ZOO's LZW in the method columns below
const fs::path kFixtures = fs::path(KX_FIXTURE_DIR) / "dos_methods";

Decoded Decode(int method, const std::string& packed, std::uint64_t size, bool sinkRefuses = false) {
  const kxtest::codec::DecodeFn decode = [method](kx::codec::PackedInput& in, kx::codec::BoundedOutput& out) {
    return method == kZoo ? kx::codec::DecodeZooLzw(in, out) : kx::codec::DecodeArc(std::uint8_t(method), in, out);
  };
  return kxtest::codec::Decode(decode, packed, size, sinkRefuses);
}

struct Packed {
  Status status = Status::Unsupported;
  std::uint8_t method = 0;
  std::string bytes;
};

Packed Encode(const std::string& data) {
  Packed p;
  std::uint64_t total = 0;
  p.status = kx::codec::EncodeArc(kxtest::codec::StringReader(data), kxtest::codec::StringSink(p.bytes), p.method, total);
  EXPECT_EQ(total, p.bytes.size());
  return p;
}

// A one-member ARC archive.
std::string ArcArchive(int method, const std::string& packed, const std::string& original) {
  return ArcMember(unsigned(method), "DATA.BIN", packed, Crc16(original), std::uint32_t(original.size())) + kArcEnd;
}

std::uint32_t Le(const std::string& s, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | std::uint8_t(s.at(at + std::size_t(i)));
  return v;
}

struct Member {
  int method = 0;
  std::string packed;
  std::uint64_t size = 0;
  std::uint16_t crc = 0;
};

// The first member of an archive (ARC with its 29-byte header, or ZOO).
Member FirstMember(const std::string& a, bool zoo) {
  if (!zoo) return {std::uint8_t(a.at(1)), a.substr(29, Le(a, 15, 4)), Le(a, 25, 4), std::uint16_t(Le(a, 23, 2))};
  const std::size_t e = Le(a, 24, 4);
  return {std::uint8_t(a.at(e + 5)), a.substr(Le(a, e + 10, 4), Le(a, e + 24, 4)), Le(a, e + 20, 4),
          std::uint16_t(Le(a, e + 18, 2))};
}

// The one file a peer extracts from an archive.
std::string PeerExtract(const std::string& peer, const fs::path& archive) {
  TempDir out;
  std::vector<std::string> argv = {peer, archive.string()};
  if (peer == "unar") argv = {"unar", "-q", "-o", out.path().string(), archive.string()};
  if (peer == "arc") argv = {"arc", "x", archive.string()};
  const auto r = kxtest::Run(argv, out.path());
  const auto files = kxtest::FilesUnder(out.path());
  EXPECT_EQ(files.size(), 1u) << peer << ": " << r.output;
  return files.empty() ? std::string() : files.begin()->second;
}

// ---- sample contents ---------------------------------------------------------

std::string Text(std::size_t n, unsigned seed) {
  static const char* const kWords[] = {"Archiv", "Datei", "packen", "der", "die", "das", "und", "Methode",
                                       "Zeile", "Eintrag", "Pfad", "Liste", "entpacken", "nicht", "mit", "Ordner"};
  std::mt19937 gen(seed);
  std::string s;
  while (s.size() < n) {
    s += kWords[gen() % 16];
    s += gen() % 9 == 0 ? "\r\n" : " ";
    if (gen() % 50 == 0) s += std::to_string(gen() % 100000);
  }
  s.resize(n);
  return s;
}

// Runs of random bytes (0x90 among them) from 1 to 600 long, lone 0x90s.
std::string Runs(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s;
  while (s.size() < n) {
    const char b = gen() % 4 == 0 ? '\x90' : char(gen() & 0xff);
    s.append(1 + gen() % 600, b);
    if (gen() % 3 == 0) s += '\x90';
  }
  s.resize(n);
  return s;
}

// Nine bytes in ten from twenty values: Huffman beats LZW.
std::string Skewed(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) {
    const unsigned v = gen() % 1000;
    c = char(v < 900 ? v % 20 : v % 256);
  }
  return s;
}

// ---- archives arc makes ------------------------------------------------------

struct ArcMadeRow {
  const char* label;
  const char* command;  // "a", or "aq" to squash instead of crunching
  std::string content;
  int method;  // what arc picks for it
};

void PrintTo(const ArcMadeRow& row, std::ostream* os) { *os << row.label; }

class ArcMade : public ::testing::TestWithParam<ArcMadeRow> {};

TEST_P(ArcMade, DecodesToTheOriginal) {
  const ArcMadeRow& row = GetParam();
  TempDir dir;
  WriteFile(dir / "DATA.BIN", row.content);
  const auto made = kxtest::Run({"arc", row.command, "t.arc", "DATA.BIN"}, dir.path());
  ASSERT_EQ(made.exitCode, 0) << made.output;
  const Member m = FirstMember(ReadFile(dir / "t.arc"), false);
  ASSERT_EQ(m.method, row.method);
  ASSERT_EQ(m.size, row.content.size());
  const Decoded d = Decode(m.method, m.packed, m.size);
  EXPECT_EQ(d.status, Status::Ok);
  EXPECT_TRUE(d.bytes == row.content);
  EXPECT_EQ(Crc16(d.bytes), m.crc);
}

INSTANTIATE_TEST_SUITE_P(
    Methods, ArcMade,
    ::testing::Values(
        ArcMadeRow{"stored", "a", "ab", 2},
        ArcMadeRow{"packed", "a", kxtest::RandomBytes(400, 1) + std::string(300, '\0') + kxtest::RandomBytes(400, 2), 3},
        // arc leaves out the last partial byte of squeezed data: both sizes
        // below lose it, with and without part of the last value.
        ArcMadeRow{"squeezed", "a", Skewed(20000, 3), 4},
        ArcMadeRow{"squeezed_odd_size", "a", Skewed(7777, 4), 4},
        ArcMadeRow{"crunched_text", "a", Text(100000, 5), 8},
        ArcMadeRow{"crunched_runs", "a", Runs(40000, 6), 8},
        ArcMadeRow{"squashed", "aq", Text(100000, 7), 9}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- fixtures of the methods no program here writes --------------------------

struct FixtureRow {
  const char* file;
  int method;
  std::vector<std::string> peers;  // the ones that read this method
};

void PrintTo(const FixtureRow& row, std::ostream* os) { *os << row.file; }

class Fixture : public ::testing::TestWithParam<FixtureRow> {};

TEST_P(Fixture, PeersAndDecoderGiveTheSample) {
  const FixtureRow& row = GetParam();
  const std::string sample = ReadFile(kFixtures / "arc_sample.bin");
  ASSERT_GT(sample.size(), 40000u);
  for (const std::string& peer : row.peers) EXPECT_TRUE(PeerExtract(peer, kFixtures / row.file) == sample) << peer;
  const Member m = FirstMember(ReadFile(kFixtures / row.file), row.method == kZoo);
  EXPECT_EQ(m.method, row.method == kZoo ? 1 : row.method);
  const Decoded d = Decode(row.method, m.packed, m.size);
  EXPECT_EQ(d.status, Status::Ok);
  EXPECT_TRUE(d.bytes == sample);
}

INSTANTIATE_TEST_SUITE_P(Methods, Fixture,
                         ::testing::Values(FixtureRow{"arc_method5.arc", 5, {"arc", "nomarch", "unar"}},
                                           FixtureRow{"arc_method6.arc", 6, {"arc", "nomarch", "unar"}},
                                           FixtureRow{"arc_method7.arc", 7, {"arc", "unar"}},  // not nomarch
                                           FixtureRow{"arc_method9.arc", 9, {"arc", "nomarch", "unar"}},
                                           FixtureRow{"zoo_method1.zoo", kZoo, {"unar"}}),
                         [](const auto& info) { return fs::path(info.param.file).stem().string(); });

TEST(ArcFixtures, AreWhatTheScriptBesideThemMakes) {
  TempDir dir;
  const auto r = kxtest::Run({"python3", (kFixtures / "arc_make_fixtures.py").string()}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const auto made = kxtest::FilesUnder(dir.path());
  EXPECT_EQ(made.size(), 6u);
  for (const auto& [name, bytes] : made) EXPECT_TRUE(bytes == ReadFile(kFixtures / name)) << name;
}

// Of the 4096 first codes of methods 5 and 7, exactly the slots of the 256
// single bytes decode, one byte value each (under method 7's run-length
// coding 0x90 alone is a marker waiting for its count, so 255 there). After
// the code of 'A', those slots give "A" and their byte, and the one free slot
// that "AA" is about to take gives "AAA"; every other free slot is damage.
std::string TwelveBitCodes(std::initializer_list<unsigned> codes) {
  std::string s;
  std::vector<unsigned> v(codes);
  for (std::size_t i = 0; i < v.size(); i += 2) {
    Put8(s, v[i] >> 4);
    if (i + 1 == v.size()) {
      Put8(s, (v[i] & 0xF) << 4);
    } else {
      Put8(s, ((v[i] & 0xF) << 4) | (v[i + 1] >> 8));
      Put8(s, v[i + 1] & 0xFF);
    }
  }
  return s;
}

TEST(ArcCrunchedOld, OnlyTheHashedSlotsDecode) {
  for (const int method : {5, 7}) {
    SCOPED_TRACE(method);
    std::set<std::string> singles;
    unsigned slotOfA = 0;
    for (unsigned code = 0; code < 4096; ++code) {
      const Decoded d = Decode(method, TwelveBitCodes({code}), 1);
      if (d.status == Status::Ok) singles.insert(d.bytes);
      if (d.bytes == "A") slotOfA = code;
    }
    EXPECT_EQ(singles.size(), method == 5 ? 256u : 255u);
    std::set<std::string> pairs;
    std::vector<std::string> longer;
    for (unsigned code = 0; code < 4096; ++code) {
      const Decoded two = Decode(method, TwelveBitCodes({slotOfA, code}), 2);
      if (two.status == Status::Ok) pairs.insert(two.bytes);
      const Decoded three = Decode(method, TwelveBitCodes({slotOfA, code}), 3);
      if (three.status == Status::Ok) longer.push_back(three.bytes);
      if (two.status != Status::Ok && three.status != Status::Ok) {
        EXPECT_EQ(two.status, Status::Corrupt);
      }
    }
    EXPECT_EQ(pairs.size(), singles.size());
    for (const std::string& p : pairs) EXPECT_EQ(p[0], 'A');
    EXPECT_EQ(longer, std::vector<std::string>{"AAA"});
  }
}

// ---- the packer ----------------------------------------------------------------

struct PackRow {
  const char* label;
  std::string content;
  int method;  // the method it must pick, 0 when either will do
  bool grows = false;  // packed larger than the original: stored in an archive
};

void PrintTo(const PackRow& row, std::ostream* os) { *os << row.label; }

class ArcPacker : public ::testing::TestWithParam<PackRow> {};

TEST_P(ArcPacker, PeersReadWhatItWrites) {
  const PackRow& row = GetParam();
  const Packed p = Encode(row.content);
  ASSERT_EQ(p.status, Status::Ok);
  if (row.method != 0) {
    EXPECT_EQ(p.method, row.method);
  }
  TempDir dir;
  WriteFile(dir / "k.arc", ArcArchive(p.method, p.bytes, row.content));
  const auto tested = kxtest::Run({"arc", "t", (dir / "k.arc").string()});
  EXPECT_NE(tested.output.find("No errors detected"), std::string::npos) << tested.output;
  // unar does not take a member packed larger than it is for ARC at all.
  std::vector<std::string> peers = {"arc", "nomarch"};
  if (!row.grows) peers.push_back("unar");
  EXPECT_EQ(p.bytes.size() > row.content.size(), row.grows);
  for (const std::string& peer : peers) EXPECT_TRUE(PeerExtract(peer, dir / "k.arc") == row.content) << peer;
  const Decoded d = Decode(p.method, p.bytes, row.content.size());
  EXPECT_EQ(d.status, Status::Ok);
  EXPECT_TRUE(d.bytes == row.content);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, ArcPacker,
    ::testing::Values(PackRow{"text", Text(300000, 11), 9},
                      PackRow{"runs", Runs(200000, 12), 8},
                      PackRow{"only_0x90", std::string(5000, '\x90') + "x" + std::string(3, '\x90'), 0},
                      PackRow{"random", kxtest::RandomBytes(100000, 13), 0, true},
                      PackRow{"one_byte", "Z", 0, true},
                      // More than both outputs are held for: the choice falls
                      // on the random part, the text follows in the open.
                      PackRow{"large_random_then_text", kxtest::RandomBytes(3 << 20, 14) + Text(1 << 20, 15), 0,
                              true}),
    [](const auto& info) { return std::string(info.param.label); });

// Text and runs come out no larger than arc packs them.
TEST(ArcPacker, PacksAtLeastAsSmallAsArc) {
  for (const std::string& content : {Text(300000, 21), Runs(200000, 22)}) {
    TempDir dir;
    WriteFile(dir / "DATA.BIN", content);
    ASSERT_EQ(kxtest::Run({"arc", "a", "t.arc", "DATA.BIN"}, dir.path()).exitCode, 0);
    const Member theirs = FirstMember(ReadFile(dir / "t.arc"), false);
    EXPECT_LE(Encode(content).bytes.size(), theirs.packed.size());
  }
}

TEST(ArcPacker, EmptyInputAndFailingEnds) {
  const Packed empty = Encode("");
  ASSERT_EQ(empty.status, Status::Ok);
  EXPECT_EQ(Decode(empty.method, empty.bytes, 0).status, Status::Ok);

  std::uint8_t method = 0;
  std::uint64_t packed = 0;
  const std::string data = Text(200000, 31);
  EXPECT_EQ(kx::codec::EncodeArc(kxtest::codec::StringReader(data), kxtest::codec::Refuse, method, packed),
            Status::OutputFailed);
  auto broken = [](std::uint8_t*, std::size_t) { return SIZE_MAX; };
  std::string sunk;
  EXPECT_EQ(kx::codec::EncodeArc(broken, kxtest::codec::StringSink(sunk), method, packed),
            Status::InputFailed);
}

// ---- damage ----------------------------------------------------------------------

// Codes low bits first, all of one width: the first group of methods 8 and 9,
// or ZOO's stream while its codes have 9 bits.
std::string LsbCodes(std::initializer_list<unsigned> codes, unsigned bits = 9) {
  std::string s;
  std::uint64_t acc = 0;
  unsigned n = 0;
  for (const unsigned c : codes) {
    acc |= std::uint64_t(c) << n;
    for (n += bits; n >= 8; n -= 8, acc >>= 8) Put8(s, unsigned(acc & 0xff));
  }
  if (n > 0) Put8(s, unsigned(acc & 0xff));
  return s;
}

// A squeeze tree: the node count, then each node's two children.
std::string Tree(std::initializer_list<std::pair<int, int>> nodes, int count = -1) {
  std::string s;
  Put16(s, std::uint32_t(count < 0 ? int(nodes.size()) : count));
  for (const auto& [a, b] : nodes) {
    Put16(s, std::uint32_t(a) & 0xffff);
    Put16(s, std::uint32_t(b) & 0xffff);
  }
  return s;
}
constexpr int Leaf(int value) { return -(value + 1); }

struct HostileRow {
  const char* label;
  int method;
  std::string packed;
  std::uint64_t size;
  Status expected;
  std::string bytes = {};  // what an Ok row gives
};

void PrintTo(const HostileRow& row, std::ostream* os) { *os << row.label; }

class Damaged : public ::testing::TestWithParam<HostileRow> {};

TEST_P(Damaged, GivesItsStatus) {
  const HostileRow& row = GetParam();
  const Decoded d = Decode(row.method, row.packed, row.size);
  EXPECT_EQ(d.status, row.expected);
  EXPECT_LE(d.bytes.size(), row.size);
  if (row.expected == Status::Ok) {
    EXPECT_EQ(d.bytes, row.bytes);
  }
}

const std::string kSqueezeA = Tree({{Leaf('a'), Leaf(256)}});  // 0 is 'a', 1 the end

INSTANTIATE_TEST_SUITE_P(
    Rows, Damaged,
    ::testing::Values(
        HostileRow{"packed_run_past_size", 3, "A\x90\x05", 4, Status::TooLong},
        HostileRow{"packed_short", 3, "A\x90\x05", 6, Status::Corrupt},
        HostileRow{"packed_literal_marker_is_not_repeated", 3, std::string("A\x90\x00\x90\x03", 5), 4, Status::Ok,
                   "A\x90" "AA"},
        HostileRow{"squeeze_seven_values", 4, kSqueezeA + "\x80", 7, Status::Ok, "aaaaaaa"},
        HostileRow{"squeeze_more_than_declared", 4, kSqueezeA + "\x80", 6, Status::TooLong},
        HostileRow{"squeeze_ends_early", 4, kSqueezeA + "\x80", 8, Status::Corrupt},
        HostileRow{"squeeze_child_out_of_range", 4, Tree({{1, 5}, {Leaf('a'), Leaf(256)}}) + "\x00", 1,
                   Status::Corrupt},
        HostileRow{"squeeze_child_is_the_root", 4, Tree({{1, Leaf('a')}, {0, Leaf(256)}}) + "\x00", 1,
                   Status::Corrupt},
        HostileRow{"squeeze_node_shared", 4, Tree({{1, 1}, {Leaf('a'), Leaf(256)}}) + "\x00", 1, Status::Corrupt},
        HostileRow{"squeeze_value_past_end_mark", 4, Tree({{Leaf(300), Leaf(256)}}) + "\x00", 1, Status::Corrupt},
        HostileRow{"squeeze_too_many_nodes", 4, Tree({{Leaf('a'), Leaf(256)}}, 257) + std::string(1100, '\0'), 1,
                   Status::Corrupt},
        HostileRow{"squeeze_tree_cut_short", 4, Tree({{1, 2}}, 3), 1, Status::Corrupt},
        HostileRow{"crunched_width_not_12", 8, "\x0d" + LsbCodes({'A'}), 1, Status::Corrupt},
        HostileRow{"crunched_no_width", 8, "", 0, Status::Corrupt},
        HostileRow{"squashed_code_repeating_itself", 9, LsbCodes({'A', 257}), 3, Status::Ok, "AAA"},
        HostileRow{"squashed_code_beyond_table", 9, LsbCodes({'A', 258}), 3, Status::Corrupt},
        HostileRow{"squashed_first_code_not_a_byte", 9, LsbCodes({257}), 2, Status::Corrupt},
        HostileRow{"squashed_more_than_declared", 9, LsbCodes({'A', 'B', 'C'}), 2, Status::TooLong},
        HostileRow{"zoo_clear_then_end", kZoo, LsbCodes({256, 257}), 0, Status::Ok},
        HostileRow{"zoo_code_repeating_itself", kZoo, LsbCodes({256, 'A', 258, 257}), 3, Status::Ok, "AAA"},
        HostileRow{"zoo_code_beyond_table", kZoo, LsbCodes({256, 'A', 300, 257}), 10, Status::Corrupt},
        HostileRow{"zoo_without_end_code", kZoo, LsbCodes({256, 'A', 'B'}), 2, Status::Corrupt},
        HostileRow{"zoo_more_than_declared", kZoo, LsbCodes({256, 'A', 'B', 257}), 1, Status::TooLong},
        HostileRow{"unknown_method", 10, "x", 1, Status::Unsupported}),
    [](const auto& info) { return std::string(info.param.label); });

// Valid streams of every method, cut, flipped and lying about their size:
// never more bytes than declared, never Ok with wrong bytes or a cut stream.
TEST(ArcDamage, CutsFlipsAndWrongSizes) {
  std::vector<Member> streams;
  for (const char* f : {"arc_method5.arc", "arc_method6.arc", "arc_method7.arc", "arc_method9.arc"})
    streams.push_back(FirstMember(ReadFile(kFixtures / f), false));
  streams.push_back(FirstMember(ReadFile(kFixtures / "zoo_method1.zoo"), true));
  streams.back().method = kZoo;
  for (const std::string& content : {Text(50000, 41), Runs(50000, 42)}) {
    const Packed p = Encode(content);
    streams.push_back({p.method, p.bytes, content.size(), Crc16(content)});
  }
  streams.push_back({4, kSqueezeA + "\x80", 7, Crc16("aaaaaaa")});
  streams.push_back({3, "A\x90\x05xyz", 8, Crc16("AAAAAxyz")});

  for (const Member& m : streams) {
    SCOPED_TRACE(m.method);
    const std::string whole = Decode(m.method, m.packed, m.size).bytes;
    ASSERT_EQ(Crc16(whole), m.crc);
    for (std::size_t cut = 0; cut < m.packed.size(); cut += 1 + m.packed.size() / 40) {
      const Decoded d = Decode(m.method, m.packed.substr(0, cut), m.size);
      EXPECT_NE(d.status, Status::Ok) << "cut at " << cut;
    }
    std::mt19937 gen(7);
    for (int i = 0; i < 40; ++i) {
      std::string flipped = m.packed;
      flipped[gen() % flipped.size()] ^= char(1 + gen() % 255);
      const Decoded d = Decode(m.method, flipped, m.size);
      EXPECT_LE(d.bytes.size(), m.size);
      if (d.status == Status::Ok) {
        EXPECT_EQ(d.bytes.size(), m.size);
      }
    }
    EXPECT_EQ(Decode(m.method, m.packed, m.size - 1).status, Status::TooLong);
    EXPECT_EQ(Decode(m.method, m.packed, m.size + 1).status, Status::Corrupt);
  }
}

TEST(ArcDamage, GarbageNeverOverflows) {
  for (const int method : {3, 4, 5, 6, 7, 8, 9, kZoo}) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
      const Decoded d = Decode(method, kxtest::RandomBytes(3000, seed), 5000);
      EXPECT_NE(d.status, Status::Ok) << method;
      EXPECT_LE(d.bytes.size(), 5000u);
    }
  }
}

TEST(ArcDamage, RefusingSinkStopsTheDecoder) {
  const Member m = FirstMember(ReadFile(kFixtures / "arc_method6.arc"), false);
  EXPECT_EQ(Decode(6, m.packed, m.size, true).status, Status::OutputFailed);
}

}  // namespace
