// ARJ method 4 against arj itself: files packed with `arj a -m4` decode to
// their bytes. Sizes arj would rather store (empty, one byte, noise) are
// packed here as plain literals into an archive arj made, and arj must
// extract those too. Then cut, lying and impossible streams.
#include <gtest/gtest.h>

#include <random>

#include "engine/codecs/arj_fastest.h"
#include "engine/formats/arj.h"
#include "engine/io/byte_source.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using kx::codec::BoundedOutput;
using kx::codec::PackedInput;
using kx::codec::Status;

// An ARJ header: 60 EA, the basic header's size (2 bytes), the basic header,
// its CRC-32, then extended headers (size, data, CRC-32) up to a size of 0.
struct ArjHeader {
  std::size_t basicAt = 0;
  std::size_t basicSize = 0;
  std::size_t end = 0;  // the next header, or a member's data
};

ArjHeader ReadHeader(const std::string& a, std::size_t pos) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(a.data());
  EXPECT_TRUE(pos + 4 <= a.size() && p[pos] == 0x60 && p[pos + 1] == 0xEA) << "header at " << pos;
  ArjHeader h;
  h.basicSize = kx::Le16(p + pos + 2);
  h.basicAt = pos + 4;
  std::size_t at = h.basicAt + h.basicSize + 4;
  while (at + 2 <= a.size() && kx::Le16(p + at) != 0) at += 2 + kx::Le16(p + at) + 4;
  h.end = at + 2;
  return h;
}

// The first member of an archive arj wrote: its header and packed data.
struct ArjMember {
  ArjHeader header;
  int method = -1;
  std::uint32_t packed = 0, size = 0, crc = 0;
};

ArjMember FirstMember(const std::string& archive) {
  ArjMember m;
  m.header = ReadHeader(archive, ReadHeader(archive, 0).end);
  const auto* b = reinterpret_cast<const std::uint8_t*>(archive.data()) + m.header.basicAt;
  m.method = b[5];
  m.packed = kx::Le32(b + 12);
  m.size = kx::Le32(b + 16);
  m.crc = kx::Le32(b + 20);
  // The engine's reader must see the same member.
  kx::MemorySource src({reinterpret_cast<const std::uint8_t*>(archive.data()), archive.size()});
  kx::ArchiveDirectory dir;
  EXPECT_EQ(kx::ReadArjDirectory(src, dir), kx::rc::Ok);
  EXPECT_FALSE(dir.entries.empty());
  if (!dir.entries.empty()) {
    EXPECT_EQ(dir.entries[0].packedSize, m.packed);
    EXPECT_EQ(dir.entries[0].method, m.method);
  }
  return m;
}

struct Decoded {
  Status status;
  std::string bytes;
};

Decoded Decode(const std::string& buffer, std::uint64_t offset, std::uint64_t length, std::uint64_t limit) {
  kx::MemorySource src({reinterpret_cast<const std::uint8_t*>(buffer.data()), buffer.size()});
  PackedInput in(src, offset, length);
  Decoded d;
  BoundedOutput out(limit, [&](const std::uint8_t* p, std::size_t n) {
    d.bytes.append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  d.status = kx::codec::DecodeArjFastest(in, out);
  return d;
}

std::uint32_t Crc32Of(const std::string& s) {
  return kx::codec::Crc32(0, reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

// Packs one file with arj; the archive's bytes.
std::string PackWithArj(const kxtest::TempDir& dir, const std::string& content) {
  kxtest::WriteFile(dir / "data.bin", content);
  const kxtest::RunResult r = kxtest::Run({"arj", "a", "-m4", "-y", "t.arj", "data.bin"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.output;
  return kxtest::ReadFile(dir / "t.arj");
}

// ---- contents -------------------------------------------------------------

std::string Text(std::size_t size, unsigned seed) {
  static const char* const kWords[] = {"Archiv", "Datei", "Ordner", "packen", "und", "der", "die",
                                       "Liste", "Zeile", "Eintrag", "Methode", "schnell", "Kopie"};
  std::mt19937 gen(seed);
  std::string s;
  while (s.size() < size) {
    s += kWords[gen() % std::size(kWords)];
    s += gen() % 9 == 0 ? "\r\n" : " ";
  }
  return s.substr(0, size);
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
  std::string s = Text(16000, seed) + kxtest::RandomBytes(2000, seed);
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
      {"text", Text(40000, 1)},
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
    const Decoded d = Decode(archive, m.header.end, m.packed, m.size);
    EXPECT_EQ(d.status, Status::Ok);
    EXPECT_TRUE(d.bytes == row.content) << "decoded " << d.bytes.size() << " bytes";
    EXPECT_EQ(Crc32Of(d.bytes), m.crc);
  }
}

// ---- hand-packed members ------------------------------------------------------

class BitWriter {
 public:
  void Put(std::uint32_t value, int width) {
    for (int i = width - 1; i >= 0; --i) {
      acc_ = (acc_ << 1) | ((value >> i) & 1);
      if (++n_ == 8) Flush();
    }
  }
  std::string Bytes() {
    if (n_ > 0) Put(0, 8 - n_);
    return out_;
  }

 private:
  void Flush() {
    out_ += char(acc_);
    acc_ = 0;
    n_ = 0;
  }
  std::string out_;
  unsigned acc_ = 0;
  int n_ = 0;
};

// Method 4 with literals only: a zero length code and the byte.
std::string Literals(const std::string& content) {
  BitWriter w;
  for (unsigned char c : content) {
    w.Put(0, 1);
    w.Put(c, 8);
  }
  return w.Bytes();
}

// The archive with its first member's data replaced by `stream`, marked as
// method 4 (basic header CRC renewed).
std::string WithMethod4(const std::string& archive, const std::string& stream) {
  const ArjMember m = FirstMember(archive);
  std::string basic = archive.substr(m.header.basicAt, m.header.basicSize);
  basic[5] = 4;
  kxtest::Set32(basic, 12, std::uint32_t(stream.size()));
  std::string out = archive.substr(0, m.header.basicAt) + basic;
  kxtest::Put32(out, Crc32Of(basic));
  out += archive.substr(m.header.basicAt + m.header.basicSize + 4, m.header.end - (m.header.basicAt + m.header.basicSize + 4));
  return out + stream + archive.substr(m.header.end + m.packed);
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
    const Decoded d = Decode(archive, m.header.end, m.packed, m.size);
    EXPECT_EQ(d.status, Status::Ok);
    EXPECT_TRUE(d.bytes == row.content);
  }
}

// ---- hostile ------------------------------------------------------------------

class ArjFastestHostile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    content_ = new std::string(Text(30000, 5) + Runs(3000, 6));
    kxtest::TempDir dir;
    archive_ = new std::string(PackWithArj(dir, *content_));
    member_ = new ArjMember(FirstMember(*archive_));
    ASSERT_EQ(member_->method, 4);
  }
  static void TearDownTestSuite() {
    delete content_;
    delete archive_;
    delete member_;
  }
  static Decoded DecodeMember(std::uint64_t length, std::uint64_t limit) {
    return Decode(*archive_, member_->header.end, length, limit);
  }
  static std::string* content_;
  static std::string* archive_;
  static ArjMember* member_;
};

std::string* ArjFastestHostile::content_ = nullptr;
std::string* ArjFastestHostile::archive_ = nullptr;
ArjMember* ArjFastestHostile::member_ = nullptr;

// arj pads the last byte and may add a byte of padding bits, so the cuts
// start two bytes short.
TEST_F(ArjFastestHostile, CutOrLyingInputIsCorrupt) {
  const std::uint64_t packed = member_->packed;
  std::vector<std::uint64_t> cuts = {0, 1, packed / 3, packed / 2};
  for (std::uint64_t less = 2; less <= 12; ++less) cuts.push_back(packed - less);
  for (std::uint64_t cut : cuts) EXPECT_EQ(DecodeMember(cut, member_->size).status, Status::Corrupt) << "cut to " << cut;
  EXPECT_EQ(DecodeMember(packed, member_->size + 4096).status, Status::Corrupt);
}

TEST_F(ArjFastestHostile, ShortDeclaredSizeStopsAtTheLimit) {
  int tooLong = 0;
  for (std::uint64_t less = 1; less <= 300; ++less) {
    const std::uint64_t limit = member_->size - less;
    const Decoded d = DecodeMember(member_->packed, limit);
    ASSERT_TRUE(d.status == Status::Ok || d.status == Status::TooLong) << "limit " << limit;
    ASSERT_LE(d.bytes.size(), limit);
    EXPECT_TRUE(d.bytes == content_->substr(0, d.bytes.size()));
    if (d.status == Status::Ok) {
      EXPECT_EQ(d.bytes.size(), limit);
    }
    tooLong += d.status == Status::TooLong;
  }
  EXPECT_GT(tooLong, 0);
}

TEST_F(ArjFastestHostile, RefusingSinkIsOutputFailed) {
  kx::MemorySource src({reinterpret_cast<const std::uint8_t*>(archive_->data()), archive_->size()});
  PackedInput in(src, member_->header.end, member_->packed);
  BoundedOutput out(member_->size, [](const std::uint8_t*, std::size_t) { return false; });
  EXPECT_EQ(kx::codec::DecodeArjFastest(in, out), Status::OutputFailed);
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
    BitWriter w;
    for (int i = 0; i < row.literals; ++i) {
      w.Put(0, 1);
      w.Put('a', 8);
    }
    w.Put(0b100, 3);  // length code 1: a match of 3
    w.Put(row.onesAndBits, row.width);
    const std::string stream = w.Bytes();
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
