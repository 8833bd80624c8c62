// ARJ method 4 against arj itself: files packed with `arj a -m4` decode to
// their bytes. Sizes arj would rather store (empty, one byte, noise) are
// packed here as plain literals into an archive arj made, and arj must
// extract those too. Then cut, lying and impossible streams.
#include <gtest/gtest.h>

#include <random>

#include "engine/codecs/arj_fastest.h"
#include "engine/formats/arj.h"
#include "engine/codecs/codec_test_util.h"
#include "engine/formats/dos_test_util.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using kx::codec::Status;
using kxtest::codec::Decoded;

// The first member of an archive arj wrote. Each header: 60 EA, the basic
// header's size (2 bytes), the basic header, its CRC-32, then extended
// headers (size, data, CRC-32) up to a size of 0; the archive's header comes
// first, a member's data right after the member's header.
struct ArjMember {
  std::size_t basicAt = 0, basicSize = 0, dataAt = 0;
  int method = -1;
  std::uint32_t packed = 0, size = 0, crc = 0;
};

ArjMember FirstMember(const std::string& archive) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(archive.data());
  ArjMember m;
  std::size_t pos = 0;
  for (int header = 0; header < 2; ++header) {
    EXPECT_TRUE(p[pos] == 0x60 && p[pos + 1] == 0xEA) << "header at " << pos;
    m.basicAt = pos + 4;
    m.basicSize = kx::Le16(p + pos + 2);
    pos = m.basicAt + m.basicSize + 4;
    while (kx::Le16(p + pos) != 0) pos += 2 + kx::Le16(p + pos) + 4;
    pos += 2;
  }
  m.dataAt = pos;
  m.method = p[m.basicAt + 5];
  m.packed = kx::Le32(p + m.basicAt + 12);
  m.size = kx::Le32(p + m.basicAt + 16);
  m.crc = kx::Le32(p + m.basicAt + 20);
  // The engine's reader must see the same member.
  kx::MemorySource src({p, archive.size()});
  kx::ArchiveDirectory dir;
  EXPECT_EQ(kx::ReadArjDirectory(src, dir), kx::rc::Ok);
  EXPECT_TRUE(!dir.entries.empty() && dir.entries[0].packedSize == m.packed && dir.entries[0].method == m.method);
  return m;
}

Decoded Decode(const std::string& buffer, std::uint64_t offset, std::uint64_t length, std::uint64_t limit,
               bool sinkRefuses = false) {
  return kxtest::codec::DecodeAt(kx::codec::DecodeArjFastest, buffer, offset, length, limit, sinkRefuses);
}

// Packs one file with arj; the archive's bytes.
std::string PackWithArj(const kxtest::TempDir& dir, const std::string& content) {
  kxtest::WriteFile(dir / "data.bin", content);
  const kxtest::RunResult r = kxtest::Run({"arj", "a", "-m4", "-y", "t.arj", "data.bin"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.output;
  return kxtest::ReadFile(dir / "t.arj");
}

// ---- contents -------------------------------------------------------------

// Text from the fixtures of the LHA-family methods.
std::string Text() {
  const fs::path dir = fs::path(KX_FIXTURE_DIR) / "dos_methods";
  return kxtest::ReadFile(dir / "lh1_text.orig") + kxtest::ReadFile(dir / "lz5_text.orig");
}

// Runs of every length up to 600 of one byte: matches of up to 256 bytes
// that overlap their source.
std::string Runs(std::size_t size, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s;
  while (s.size() < size) s.append(1 + gen() % 600, char(gen() & 0xff));
  return s.substr(0, size);
}

// Text whose blocks come again 10 to 15.8 KB later: matches from the far end
// of the window, in a file long enough to pass the window many times.
std::string FarRepeats(std::size_t size, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s = Text().substr(0, 16000) + kxtest::RandomBytes(2000, seed);
  while (s.size() < size) {
    const std::size_t back = 10000 + gen() % 5800;
    s += s.substr(s.size() - back, 20 + gen() % 300);
    s += kxtest::RandomBytes(1 + gen() % 40, gen());
  }
  return s.substr(0, size);
}

struct PackedRow {
  const char* label;
  std::string content;
};

TEST(ArjFastest, DecodesWhatArjPacked) {
  const PackedRow rows[] = {
      {"text", Text()},
      {"program", kxtest::ReadFile("/usr/bin/arj")},
      {"runs", Runs(50000, 2)},
      {"far repeats, 300 KB", FarRepeats(300000, 3)},
      {"15 bytes", "abcabcabcabcabc"},
      {"40 equal bytes", std::string(40, 'a')},
  };
  for (const PackedRow& row : rows) {
    SCOPED_TRACE(row.label);
    kxtest::TempDir dir;
    const std::string archive = PackWithArj(dir, row.content);
    const ArjMember m = FirstMember(archive);
    ASSERT_EQ(m.method, 4) << "arj chose another method";
    ASSERT_EQ(m.size, row.content.size());
    const Decoded d = Decode(archive, m.dataAt, m.packed, m.size);
    EXPECT_EQ(d.status, Status::Ok);
    EXPECT_TRUE(d.bytes == row.content) << "decoded " << d.bytes.size() << " bytes";
    EXPECT_EQ(kxtest::dos::Crc32(d.bytes), m.crc);
  }
}

// ---- hand-packed members ------------------------------------------------------

// Bits as text, most significant first: Binary(5, 4) is "0101".
std::string Binary(std::uint32_t value, int width) {
  std::string bits;
  for (int i = width - 1; i >= 0; --i) bits += char('0' + ((value >> i) & 1));
  return bits;
}

// The bits packed into bytes, the last one padded with zeros.
std::string Packed(std::string bits) {
  bits.append((8 - bits.size() % 8) % 8, '0');
  std::string out;
  for (std::size_t i = 0; i < bits.size(); i += 8) out += char(std::stoi(bits.substr(i, 8), nullptr, 2));
  return out;
}

// Method 4 with literals only: a zero length code and the byte.
std::string Literals(const std::string& content) {
  std::string bits;
  for (unsigned char c : content) bits += "0" + Binary(c, 8);
  return Packed(bits);
}

// The archive with its first member's data replaced by `stream`, marked as
// method 4 (basic header CRC renewed).
std::string WithMethod4(const std::string& archive, const std::string& stream) {
  const ArjMember m = FirstMember(archive);
  std::string basic = archive.substr(m.basicAt, m.basicSize);
  basic[5] = 4;
  kxtest::Set32(basic, 12, std::uint32_t(stream.size()));
  std::string out = archive.substr(0, m.basicAt) + basic;
  kxtest::Put32(out, kxtest::dos::Crc32(basic));
  out += archive.substr(m.basicAt + m.basicSize + 4, m.dataAt - (m.basicAt + m.basicSize + 4));
  return out + stream + archive.substr(m.dataAt + m.packed);
}

TEST(ArjFastest, ArjAndDecoderAgreeOnSizesArjWouldStore) {
  const PackedRow rows[] = {
      {"empty", ""},
      {"one byte", "x"},
      {"noise", kxtest::RandomBytes(3000, 7)},
  };
  for (const PackedRow& row : rows) {
    SCOPED_TRACE(row.label);
    kxtest::TempDir dir;
    const std::string stream = Literals(row.content);
    const std::string archive = WithMethod4(PackWithArj(dir, row.content), stream);
    kxtest::WriteFile(dir / "m4.arj", archive);
    fs::create_directory(dir / "out");
    const kxtest::RunResult r = kxtest::Run({"arj", "e", "-y", (dir / "m4.arj").string()}, dir / "out");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(kxtest::ReadFile(dir / "out" / "data.bin") == row.content) << "arj extracts the hand-packed member";

    const ArjMember m = FirstMember(archive);
    ASSERT_EQ(m.method, 4);
    const Decoded d = Decode(archive, m.dataAt, m.packed, m.size);
    EXPECT_EQ(d.status, Status::Ok);
    EXPECT_TRUE(d.bytes == row.content);
  }
}

// ---- hostile ------------------------------------------------------------------

// One member arj packed, damaged or misdeclared: every cut (arj may end with
// a byte of padding bits, so from two bytes short) and a size claiming more
// are Corrupt; a size claiming less ends on an item boundary (Ok, the
// leading bytes) or inside a match (TooLong, nothing past the size handed
// on); a refusing sink is OutputFailed.
TEST(ArjFastestHostile, DamagedOrMisdeclaredMember) {
  const std::string content = Text() + Runs(3000, 6);
  kxtest::TempDir dir;
  const std::string archive = PackWithArj(dir, content);
  const ArjMember m = FirstMember(archive);
  ASSERT_EQ(m.method, 4);
  const std::size_t at = m.dataAt;

  std::vector<std::uint64_t> cuts = {0, 1, m.packed / 3, m.packed / 2};
  for (std::uint64_t less = 2; less <= 12; ++less) cuts.push_back(m.packed - less);
  for (std::uint64_t cut : cuts) EXPECT_EQ(Decode(archive, at, cut, m.size).status, Status::Corrupt) << "cut " << cut;
  EXPECT_EQ(Decode(archive, at, m.packed, m.size + 4096).status, Status::Corrupt);

  int tooLong = 0;
  for (std::uint64_t limit = m.size - 300; limit < m.size; ++limit) {
    const Decoded d = Decode(archive, at, m.packed, limit);
    ASSERT_TRUE(d.status == Status::Ok || d.status == Status::TooLong) << "limit " << limit;
    ASSERT_EQ(d.bytes.size(), d.status == Status::Ok ? limit : d.bytes.size());
    ASSERT_LE(d.bytes.size(), limit);
    EXPECT_TRUE(d.bytes == content.substr(0, d.bytes.size()));
    tooLong += d.status == Status::TooLong;
  }
  EXPECT_GT(tooLong, 0);

  EXPECT_EQ(Decode(archive, at, m.packed, m.size, /*sinkRefuses=*/true).status, Status::OutputFailed);
}

// The dictionary starts empty: a match reaching before the first byte is
// corrupt, at the nearest distance as at the farthest.
TEST(ArjFastestStreams, MatchBeforeTheFirstByteIsCorrupt) {
  const struct {
    const char* label;
    int literals;         // literal 'a's before the match
    std::uint32_t onesAndBits;  // position code: ones, stop bit and bits
    int width;
    bool valid;
  } rows[] = {
      {"distance 1 with nothing before", 0, 0b0'000000000, 10, false},
      {"distance 1 after one byte", 1, 0b0'000000000, 10, true},
      {"distance 15872 after 15871 bytes", 15871, 0x1FFFF, 17, false},
      {"distance 15872 after 15872 bytes", 15872, 0x1FFFF, 17, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    std::string bits;
    for (int i = 0; i < row.literals; ++i) bits += "0" + Binary('a', 8);
    bits += "100";  // length code 1: a match of 3
    const std::string stream = Packed(bits + Binary(row.onesAndBits, row.width));
    const Decoded d = Decode(stream, 0, stream.size(), std::uint64_t(row.literals) + 3);
    EXPECT_EQ(d.status, row.valid ? Status::Ok : Status::Corrupt);
    if (row.valid) {
      EXPECT_TRUE(d.bytes == std::string(std::size_t(row.literals) + 3, 'a'));
    }
  }
}

// Random bytes: a large declared size ends Corrupt (a match before the start
// or the data runs dry), no read or write strays (run under ASan/valgrind);
// an empty one is Ok with nothing.
TEST(ArjFastestStreams, GarbageIsCorruptAndEmptySizeIsOk) {
  for (unsigned seed = 1; seed <= 16; ++seed) {
    const std::string garbage = kxtest::RandomBytes(331 * seed, seed);
    const Decoded big = Decode(garbage, 0, garbage.size(), 1 << 20);
    EXPECT_EQ(big.status, Status::Corrupt) << "seed " << seed;
    const Decoded none = Decode(garbage, 0, garbage.size(), 0);
    EXPECT_EQ(none.status, Status::Ok);
    EXPECT_TRUE(none.bytes.empty());
  }
}

}  // namespace
