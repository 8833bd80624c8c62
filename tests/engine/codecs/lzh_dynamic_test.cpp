// The -lh1-, -lzs- and -lz5- decoders on the archives packed by
// fixtures/dos_methods/lh1_lzs_lz5_make.py (no program on Debian writes these
// methods). lhasa and unar extracting a fixture to its original bytes proves
// the fixture; the decoder must then give the same bytes. After that: cut,
// lying and garbage input ends in Corrupt or TooLong, never in a crash.
#include <gtest/gtest.h>

#include <span>

#include "engine/codecs/lzh_dynamic.h"
#include "engine/formats/lha.h"
#include "engine/codecs/codec_test_util.h"
#include "engine/io/byte_source.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using kx::codec::BoundedOutput;
using kx::codec::PackedInput;
using kx::codec::Status;
using kxtest::codec::Decoded;
using Decoder = Status (*)(PackedInput&, BoundedOutput&);

const fs::path kDir = fs::path(KX_FIXTURE_DIR) / "dos_methods";

struct Fixture {
  const char* name;     // <name>.lzh holds <name>.dat, whose bytes are <name>.orig
  const char* method;   // as the archive names it
  Decoder decode;
  bool unarAgrees;      // false: unar starts -lzs- with zeros, not spaces
};

void PrintTo(const Fixture& f, std::ostream* os) { *os << f.name; }

const Fixture kFixtures[] = {
    {"lh1_text", "-lh1-", kx::codec::DecodeLh1, true},
    {"lh1_skewed", "-lh1-", kx::codec::DecodeLh1, true},
    {"lzs_text", "-lzs-", kx::codec::DecodeLzs, false},
    {"lzs_binary", "-lzs-", kx::codec::DecodeLzs, true},
    {"lz5_text", "-lz5-", kx::codec::DecodeLz5, true},
    {"lz5_patterns", "-lz5-", kx::codec::DecodeLz5, true},
};

// The packed member of a fixture: the last one (the -lzs- files have a stored
// member first). Headers of level 0 and 1 without extended headers, so the
// data follows the header directly; sizes and CRC come from the engine's reader.
struct Member {
  std::string archive;
  std::uint64_t offset = 0;
  kx::EntryInfo entry;
};

Member LoadMember(const Fixture& f) {
  Member m;
  m.archive = kxtest::ReadFile(kDir / (std::string(f.name) + ".lzh"));
  kx::MemorySource src({reinterpret_cast<const std::uint8_t*>(m.archive.data()), m.archive.size()});
  kx::ArchiveDirectory dir;
  EXPECT_EQ(kx::ReadLhaDirectory(src, dir), kx::rc::Ok);
  std::size_t pos = 0;
  for (std::size_t i = 0; i < dir.entries.size(); ++i) {
    const std::size_t data = pos + 2 + std::uint8_t(m.archive.at(pos));
    if (i + 1 == dir.entries.size()) m.offset = data;
    pos = data + dir.entries[i].packedSize;
  }
  if (!dir.entries.empty()) m.entry = dir.entries.back();
  EXPECT_EQ(m.archive.at(pos), '\0') << "end byte right after the last member";
  EXPECT_EQ(m.entry.method, (f.method[2] << 8) | f.method[3]);
  return m;
}

Decoded Decode(Decoder decode, const std::string& buffer, std::uint64_t offset, std::uint64_t length,
               std::uint64_t limit, bool sinkRefuses = false) {
  return kxtest::codec::DecodeAt(decode, buffer, offset, length, limit, sinkRefuses);
}

Decoded Decode(Decoder decode, const Member& m, std::uint64_t length, std::uint64_t limit, bool sinkRefuses = false) {
  return Decode(decode, m.archive, m.offset, length, limit, sinkRefuses);
}

std::uint32_t Crc16Of(const std::string& s) {
  return kx::codec::Crc16(0, reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

class LzhDynamic : public ::testing::TestWithParam<Fixture> {};

TEST_P(LzhDynamic, PeersAndDecoderGiveTheOriginalBytes) {
  const Fixture& f = GetParam();
  const std::string original = kxtest::ReadFile(kDir / (std::string(f.name) + ".orig"));
  const std::string member = std::string(f.name) + ".dat";
  const fs::path archive = kDir / (std::string(f.name) + ".lzh");

  kxtest::TempDir lha, unar;
  const kxtest::RunResult lhaRun = kxtest::Run({"lha", "xf", archive.string()}, lha.path());
  ASSERT_EQ(lhaRun.exitCode, 0) << lhaRun.output;
  EXPECT_TRUE(kxtest::ReadFile(lha / member) == original) << "lhasa extracts the original";
  const kxtest::RunResult unarRun = kxtest::Run({"unar", "-q", "-f", "-D", "-o", unar.path().string(), archive.string()});
  ASSERT_TRUE(fs::exists(unar / member)) << unarRun.output;
  EXPECT_EQ(kxtest::ReadFile(unar / member) == original, f.unarAgrees) << unarRun.output;

  const Member m = LoadMember(f);
  ASSERT_EQ(m.entry.size, original.size());
  const Decoded d = Decode(f.decode, m, m.entry.packedSize, m.entry.size);
  EXPECT_EQ(d.status, Status::Ok);
  EXPECT_TRUE(d.bytes == original) << "decoded " << d.bytes.size() << " of " << original.size() << " bytes";
  EXPECT_EQ(Crc16Of(d.bytes), m.entry.crc);
}

// Every cut of the packed data, even by its last byte, leaves the decoder
// short of bits for the declared size (the bits a reader fetched ahead past
// the end do not count as read); so does a size claiming far more. (One byte
// more may come out of the padding bits of the last byte.)
TEST_P(LzhDynamic, CutOrLyingInputIsCorrupt) {
  const Member m = LoadMember(GetParam());
  const std::uint64_t packed = m.entry.packedSize;
  std::vector<std::uint64_t> cuts = {0, 1, packed / 3, packed / 2};
  for (std::uint64_t less = 1; less <= 12; ++less) cuts.push_back(packed - less);
  for (std::uint64_t cut : cuts) {
    EXPECT_EQ(Decode(GetParam().decode, m, cut, m.entry.size).status, Status::Corrupt) << "cut to " << cut;
  }
  EXPECT_EQ(Decode(GetParam().decode, m, packed, m.entry.size + 4096).status, Status::Corrupt);
}

// A declared size short of the real one either ends on an item boundary
// (Ok, the leading bytes) or inside a match (TooLong, nothing past the
// size handed on); matches near the end make the second happen.
TEST_P(LzhDynamic, ShortDeclaredSizeStopsAtTheLimit) {
  const Member m = LoadMember(GetParam());
  const std::string original = kxtest::ReadFile(kDir / (std::string(GetParam().name) + ".orig"));
  int tooLong = 0;
  for (std::uint64_t less = 1; less <= 80; ++less) {
    const std::uint64_t limit = m.entry.size - less;
    const Decoded d = Decode(GetParam().decode, m, m.entry.packedSize, limit);
    ASSERT_TRUE(d.status == Status::Ok || d.status == Status::TooLong) << "limit " << limit;
    ASSERT_LE(d.bytes.size(), limit);
    EXPECT_TRUE(d.bytes == original.substr(0, d.bytes.size()));
    if (d.status == Status::Ok) {
      EXPECT_EQ(d.bytes.size(), limit);
    }
    tooLong += d.status == Status::TooLong;
  }
  EXPECT_GT(tooLong, 0);
}

TEST_P(LzhDynamic, RefusingSinkIsOutputFailed) {
  const Member m = LoadMember(GetParam());
  EXPECT_EQ(Decode(GetParam().decode, m, m.entry.packedSize, m.entry.size, true).status, Status::OutputFailed);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, LzhDynamic, ::testing::ValuesIn(kFixtures),
                         [](const auto& info) { return std::string(info.param.name); });

// Random bytes decode to something (every bit string is valid in these
// methods) until they run out: a large declared size is Corrupt, an empty
// one is Ok with nothing; no read or write strays (run under ASan/valgrind).
TEST(LzhDynamicHostile, GarbageRunsDryAndEmptySizeIsOk) {
  const struct {
    const char* label;
    Decoder decode;
  } decoders[] = {{"lh1", kx::codec::DecodeLh1}, {"lzs", kx::codec::DecodeLzs}, {"lz5", kx::codec::DecodeLz5}};
  for (const auto& row : decoders) {
    for (unsigned seed = 1; seed <= 8; ++seed) {
      const std::string garbage = kxtest::RandomBytes(997 * seed, seed);
      const Decoded big = Decode(row.decode, garbage, 0, garbage.size(), 1 << 20);
      EXPECT_EQ(big.status, Status::Corrupt) << row.label << " seed " << seed;
      EXPECT_LT(big.bytes.size(), std::size_t(1) << 20);
      const Decoded none = Decode(row.decode, garbage, 0, garbage.size(), 0);
      EXPECT_EQ(none.status, Status::Ok) << row.label;
      EXPECT_TRUE(none.bytes.empty());
    }
  }
}

}  // namespace
