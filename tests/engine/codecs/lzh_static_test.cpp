// The LZ77 + static Huffman codec of LHA -lh4- to -lh7-, ZOO method 2 and
// ARJ methods 1 to 3: our encoder through our decoder; archives made by arj
// decoded by us; our streams wrapped in minimal LHA, ARJ and ZOO archives
// extracted by lhasa, arj and unar; cut, damaged and hand-made streams.
#include <gtest/gtest.h>

#include "engine/codecs/lzh_bits.h"
#include "engine/codecs/lzh_static.h"
#include "engine/codecs/codec_test_util.h"
#include "engine/formats/arj.h"
#include "engine/formats/dos_test_util.h"
#include "support/test_support.h"

namespace {

using kx::codec::LzhVariant;
using kx::codec::Status;
using kxtest::codec::Decoded;
using namespace kxtest::dos;
namespace fs = std::filesystem;

struct Variant {
  LzhVariant v;
  const char* lhaMethod;  // nullptr for ARJ
};
const Variant kVariants[] = {
    {LzhVariant::Lh4, "-lh4-"}, {LzhVariant::Lh5, "-lh5-"}, {LzhVariant::Lh6, "-lh6-"},
    {LzhVariant::Lh7, "-lh7-"}, {LzhVariant::Arj, nullptr},
};

// Test inputs: real files, and shapes that stress the coder's corners.
std::string Text() {
  return ReadFile("/usr/share/common-licenses/GPL-3") + ReadFile("/usr/share/common-licenses/Apache-2.0");
}
std::string Binary() { return ReadFile("/usr/bin/arj"); }
std::string Ramp() {
  std::string s;
  for (int i = 0; i < 70000; ++i) s += char((i * 7 + i / 256) & 0xff);
  return s;
}
// A random block repeated after 70,000 bytes: copies from beyond every
// window but -lh7-'s, and a slide of the encoder's window.
std::string FarRepeat() {
  const std::string r = kxtest::RandomBytes(70000, 9);
  return r + r.substr(0, 30000) + Text().substr(0, 5000) + r;
}

struct Input {
  const char* name;
  std::string data;
};
std::vector<Input> Inputs() {
  return {
      {"empty", ""},
      {"one byte", "A"},
      {"three bytes", "abc"},
      {"text", Text()},
      {"binary", Binary()},
      {"random", kxtest::RandomBytes(100000, 3)},
      {"long run", std::string(300000, 'x')},
      {"ramp", Ramp()},
      {"far repeat", FarRepeat()},
  };
}

std::string Encode(LzhVariant v, const std::string& data, Status* status = nullptr, bool zoo = false) {
  // Odd read sizes, so the window fills across many reads.
  const kx::codec::ReadFn read = kxtest::codec::StringReader(data, 7777);
  std::string out;
  std::uint64_t packed = 0;
  const Status s = zoo ? kx::codec::EncodeZooLzh(read, kxtest::codec::StringSink(out), packed)
                       : kx::codec::EncodeLzhStatic(v, read, kxtest::codec::StringSink(out), packed);
  EXPECT_EQ(packed, out.size());
  if (status != nullptr) *status = s;
  return out;
}

kxtest::codec::DecodeFn Decoder(LzhVariant v) {
  return [v](kx::codec::PackedInput& in, kx::codec::BoundedOutput& out) { return kx::codec::DecodeLzhStatic(v, in, out); };
}
Decoded Decode(LzhVariant v, const std::string& packed, std::uint64_t size, bool sinkRefuses = false) {
  return kxtest::codec::Decode(Decoder(v), packed, size, sinkRefuses);
}

// ---------------------------------------------------------------- archives

// A one-member ZOO archive with method 2, then the empty entry that ends the list.
std::string ZooArchive(const std::string& name, const std::string& data, const std::string& packed) {
  constexpr std::uint32_t kTag = 0xFDC4A7DC, kFirst = 34, kEntry = 51;
  std::string a = "ZOO 2.10 Archive.\x1a";
  a.resize(20, '\0');
  Put32(a, kTag);
  Put32(a, kFirst);
  Put32(a, std::uint32_t(-std::int32_t(kFirst)));
  Put8(a, 2);
  Put8(a, 0);
  auto entry = [&](std::uint32_t next, std::uint32_t dataAt, bool real) {
    std::string e;
    Put32(e, kTag);
    Put8(e, 1);
    Put8(e, real ? 2 : 0);
    Put32(e, next);
    Put32(e, dataAt);
    const std::uint32_t stamp = DosStamp(2024, 5, 6, 7, 8, 10);
    Put16(e, stamp >> 16);
    Put16(e, stamp & 0xffff);
    Put16(e, real ? Crc16(data) : 0);
    Put32(e, real ? std::uint32_t(data.size()) : 0);
    Put32(e, real ? std::uint32_t(packed.size()) : 0);
    Put8(e, 2);
    Put8(e, 1);
    e.append(2, '\0');  // deleted, structure
    Put32(e, 0);        // comment
    Put16(e, 0);
    std::string n = real ? name : "";
    n.resize(13, '\0');
    return e + n;
  };
  const std::uint32_t dataAt = kFirst + kEntry;
  const std::uint32_t endAt = dataAt + std::uint32_t(packed.size());
  a += entry(endAt, dataAt, true);
  a += packed;
  a += entry(0, 0, false);
  return a;
}

// What a peer extracted into `dir`: the one file in it.
std::string OnlyFile(const fs::path& dir) {
  const auto files = kxtest::FilesUnder(dir);
  EXPECT_EQ(files.size(), 1u);
  return files.empty() ? std::string("<nothing>") : files.begin()->second;
}

// ---------------------------------------------------------------- tests

TEST(LzhStatic, EveryVariantRoundTripsEveryInput) {
  const auto inputs = Inputs();
  for (const auto& var : kVariants) {
    for (const auto& in : inputs) {
      SCOPED_TRACE(std::string(var.lhaMethod ? var.lhaMethod : "arj") + " / " + in.name);
      Status st = Status::Unsupported;
      const std::string packed = Encode(var.v, in.data, &st);
      ASSERT_EQ(st, Status::Ok);
      const Decoded d = Decode(var.v, packed, in.data.size());
      ASSERT_EQ(d.status, Status::Ok);
      EXPECT_TRUE(d.bytes == in.data);
      if (in.data.empty()) {
        EXPECT_TRUE(packed.empty());
      }
    }
  }
}

TEST(LzhStatic, PacksAboutAsSmallAsArjMethodOne) {
  TempDir tmp;
  const std::string text = Text();
  const std::string mixed = Text() + Binary() + Ramp();
  for (const std::string* data : {&text, &mixed}) {
    WriteFile(tmp / "f.bin", *data);
    fs::remove(tmp / "a.arj");
    ASSERT_EQ(kxtest::Run({"arj", "a", "-m1", "-y", "a.arj", "f.bin"}, tmp.path()).exitCode, 0);
    kx::ArchiveDirectory dir;
    kx::FileSource src((tmp / "a.arj").string());
    ASSERT_EQ(kx::ReadArjDirectory(src, dir), kx::rc::Ok);
    ASSERT_EQ(dir.entries.size(), 1u);
    const double ours = double(Encode(LzhVariant::Arj, *data).size());
    EXPECT_LT(ours, double(dir.entries[0].packedSize) * 1.03) << "arj -m1: " << dir.entries[0].packedSize;
    EXPECT_LT(ours, double(data->size()) * 0.6);
  }
}

TEST(LzhStatic, DecodesWhatArjMethodsOneToThreeWrite) {
  TempDir tmp;
  const std::vector<Input> files = {{"text.txt", Text()}, {"binary.bin", Binary()},
                                    {"mixed.bin", FarRepeat() + std::string(5000, 'x') + Text()}};
  for (int method = 1; method <= 3; ++method) {
    for (const auto& f : files) {
      SCOPED_TRACE("arj -m" + std::to_string(method) + " " + f.name);
      const fs::path work = tmp / ("m" + std::to_string(method) + f.name);
      fs::create_directories(work / "out");
      WriteFile(work / f.name, f.data);
      ASSERT_EQ(kxtest::Run({"arj", "a", "-m" + std::to_string(method), "-y", "a.arj", f.name}, work).exitCode, 0);
      const std::string archive = ReadFile(work / "a.arj");
      kx::ArchiveDirectory dir;
      ASSERT_EQ(ReadBytes(kx::ReadArjDirectory, archive, dir), kx::rc::Ok);
      ASSERT_EQ(dir.entries.size(), 1u);
      ASSERT_EQ(dir.entries[0].method, method);
      // The data ends where the 4-byte end-of-archive header starts.
      const std::uint64_t packed = dir.entries[0].packedSize;
      const Decoded d = kxtest::codec::DecodeAt(Decoder(LzhVariant::Arj), archive, archive.size() - 4 - packed, packed, f.data.size());
      ASSERT_EQ(d.status, Status::Ok);
      EXPECT_TRUE(d.bytes == f.data);
      ASSERT_EQ(kxtest::Run({"arj", "x", "-y", "../a.arj"}, work / "out").exitCode, 0);
      EXPECT_TRUE(d.bytes == ReadFile(work / "out" / f.name));
    }
  }
}

TEST(LzhStatic, LhasaAndUnarExtractOurLhaStreams) {
  TempDir tmp;
  const auto inputs = Inputs();
  int n = 0;
  for (const auto& var : kVariants) {
    if (var.lhaMethod == nullptr) continue;
    for (const auto& in : inputs) {
      SCOPED_TRACE(std::string(var.lhaMethod) + " / " + in.name);
      const fs::path work = tmp / std::to_string(n++);
      fs::create_directories(work / "lhasa");
      fs::create_directories(work / "unar");
      WriteFile(work / "a.lzh", LhaMember(var.lhaMethod, "data.bin", in.data, Encode(var.v, in.data)) + '\0');
      const auto lhasa = kxtest::Run({"lha", "xf", "../a.lzh"}, work / "lhasa");
      EXPECT_EQ(lhasa.exitCode, 0) << lhasa.output;
      EXPECT_TRUE(OnlyFile(work / "lhasa") == in.data);
      const auto unar = kxtest::Run({"unar", "-q", "-f", "-D", "-o", (work / "unar").string(), (work / "a.lzh").string()});
      EXPECT_EQ(unar.exitCode, 0) << unar.output;
      EXPECT_TRUE(OnlyFile(work / "unar") == in.data);
    }
  }
}

TEST(LzhStatic, ArjAndUnarExtractOurArjStreams) {
  TempDir tmp;
  int n = 0;
  for (const auto& in : Inputs()) {
    if (in.data.empty()) continue;  // arj stores empty files, method 0
    SCOPED_TRACE(in.name);
    const fs::path work = tmp / std::to_string(n++);
    fs::create_directories(work / "out");
    WriteFile(work / "a.arj", ArjArchive({{"data.bin", Encode(LzhVariant::Arj, in.data), 0, 1, in.data}}));
    const auto test = kxtest::Run({"arj", "t", "a.arj"}, work);
    EXPECT_EQ(test.exitCode, 0) << test.output;
    EXPECT_EQ(kxtest::Run({"arj", "x", "-y", "../a.arj"}, work / "out").exitCode, 0);
    EXPECT_TRUE(OnlyFile(work / "out") == in.data);
    const auto unar = kxtest::Run({"unar", "-q", "-f", "-D", "-o", (work / "unar").string(), (work / "a.arj").string()});
    EXPECT_EQ(unar.exitCode, 0) << unar.output;
    EXPECT_TRUE(OnlyFile(work / "unar") == in.data);
  }
}

TEST(LzhStatic, UnarExtractsOurZooStreams) {
  TempDir tmp;
  int n = 0;
  for (const auto& in : Inputs()) {
    SCOPED_TRACE(in.name);
    const fs::path work = tmp / std::to_string(n++);
    Status st = Status::Unsupported;
    const std::string packed = Encode(LzhVariant::Lh5, in.data, &st, true);
    ASSERT_EQ(st, Status::Ok);
    // The stream ends with an empty block; our decoder stops before it.
    ASSERT_GE(packed.size(), 2u);
    EXPECT_EQ(packed.substr(packed.size() - 2), std::string(2, '\0'));
    EXPECT_TRUE(Decode(LzhVariant::Lh5, packed, in.data.size()).bytes == in.data);
    WriteFile(work / "a.zoo", ZooArchive("data.bin", in.data, packed));
    const auto unar = kxtest::Run({"unar", "-q", "-f", "-D", "-o", (work / "out").string(), (work / "a.zoo").string()});
    EXPECT_EQ(unar.exitCode, 0) << unar.output;
    EXPECT_TRUE(OnlyFile(work / "out") == in.data);
  }
}

TEST(LzhStatic, CutStreamsAreCorruptAndWrongSizesAreCaught) {
  const std::string data = Text().substr(0, 20000) + Binary().substr(0, 20000);
  for (LzhVariant v : {LzhVariant::Lh5, LzhVariant::Arj}) {
    const std::string packed = Encode(v, data);
    // The last one or two bytes are zero bits after the last code: any cut
    // before them loses code bits.
    const std::size_t lastCut = packed.size() - 3;
    for (std::size_t cut = 0; cut <= lastCut; cut += (cut < 64 || lastCut - cut < 64) ? 1 : 97) {
      const Decoded d = Decode(v, packed.substr(0, cut), data.size());
      ASSERT_EQ(d.status, Status::Corrupt) << "cut at " << cut;
      // What came out before the cut is a prefix of the data.
      EXPECT_TRUE(data.compare(0, d.bytes.size(), d.bytes) == 0);
    }
    const struct {
      std::uint64_t size;
      Status want;
    } sizes[] = {{data.size() - 1, Status::TooLong}, {data.size() / 2, Status::TooLong},
                 {data.size() + 1, Status::Corrupt}, {data.size() * 3, Status::Corrupt}};
    for (const auto& row : sizes) {
      const Decoded d = Decode(v, packed, row.size);
      EXPECT_EQ(d.status, row.want) << "declared " << row.size;
      EXPECT_LE(d.bytes.size(), row.size);
    }
  }
}

TEST(LzhStatic, GarbageNeverDecodesAndEndsQuickly) {
  for (const auto& var : kVariants) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
      const std::string junk = kxtest::RandomBytes(16 + seed * 13, seed);
      // A size far beyond what the bytes could hold.
      const Decoded d = Decode(var.v, junk, 50'000'000);
      ASSERT_NE(d.status, Status::Ok) << "seed " << seed;
      EXPECT_LT(d.bytes.size(), 50'000'000u);
    }
  }
}

// Streams written bit by bit: each breaks one rule of the block format.
TEST(LzhStatic, HandMadeBlocksAreCheckedField_By_Field) {
  using Bits = std::vector<std::pair<unsigned, std::uint32_t>>;
  auto make = [](const Bits& fields) {
    std::string out;
    kx::codec::Sink sink = [&](const std::uint8_t* p, std::size_t n) {
      out.append(reinterpret_cast<const char*>(p), n);
      return true;
    };
    kx::codec::lzh::MsbBitWriter w(sink);
    for (const auto& [n, v] : fields) w.Put(n, v);
    w.Put(32, 0);  // room for the reader's look-ahead
    w.Finish();
    return out;
  };
  // One block of one code, every table a single symbol: c = 256 (copy 3
  // bytes), p = 0 (from one byte back), before any byte was written.
  const Bits copyFromStart = {{16, 1}, {5, 0}, {5, 0}, {9, 0}, {9, 256}, {4, 0}, {4, 0}};
  const struct {
    const char* label;
    Bits fields;
    Status want;
  } rows[] = {
      {"copy from before the start", copyFromStart, Status::Ok},
      {"block of 0 codes", {{16, 0}, {5, 0}, {5, 0}, {9, 0}, {9, 65}, {4, 0}, {4, 0}}, Status::Corrupt},
      {"20 code-length lengths", {{16, 1}, {5, 20}}, Status::Corrupt},
      {"code-length symbol 19", {{16, 1}, {5, 0}, {5, 19}}, Status::Corrupt},
      {"literal/length symbol 510", {{16, 1}, {5, 0}, {5, 0}, {9, 0}, {9, 510}, {4, 0}, {4, 0}}, Status::Corrupt},
      {"511 literal/length lengths", {{16, 1}, {5, 0}, {5, 3}, {9, 511}}, Status::Corrupt},
      {"15 position lengths", {{16, 1}, {5, 0}, {5, 0}, {9, 0}, {9, 256}, {4, 15}}, Status::Corrupt},
      {"position symbol 14", {{16, 1}, {5, 0}, {5, 0}, {9, 0}, {9, 256}, {4, 0}, {4, 14}}, Status::Corrupt},
      // Three code lengths of 1 claim more codes than one bit has.
      {"oversubscribed code", {{16, 1}, {5, 3}, {3, 1}, {3, 1}, {3, 1}, {2, 0}}, Status::Corrupt},
      // Code-length lengths 1 and 17: the extension runs past 16.
      {"length above 16", {{16, 1}, {5, 2}, {3, 7}, {11, 0x7fe}}, Status::Corrupt},
      // Incomplete literal code (one symbol of length 2): pattern 11 is no code.
      {"unused bit pattern", {{16, 1}, {5, 0}, {5, 4}, {9, 1}, {4, 0}, {4, 0}, {2, 3}}, Status::Corrupt},
  };
  for (const auto& row : rows) {
    const Decoded d = Decode(LzhVariant::Lh5, make(row.fields), 3);
    EXPECT_EQ(d.status, row.want) << row.label;
    if (row.want == Status::Ok) {
      EXPECT_EQ(d.bytes, "   ");
    }
  }
  // LHA's own reading of the same: history before the start is spaces.
  TempDir tmp;
  WriteFile(tmp / "a.lzh", LhaMember("-lh5-", "s.txt", "   ", make(copyFromStart)) + '\0');
  EXPECT_EQ(kxtest::Run({"lha", "xf", "a.lzh"}, tmp.path()).exitCode, 0);
  EXPECT_EQ(ReadFile(tmp / "s.txt"), "   ");
}

TEST(LzhStatic, RefusingSinksAndFailingReadsStopTheWork) {
  const std::string data = Text();
  EXPECT_EQ(Decode(LzhVariant::Lh5, Encode(LzhVariant::Lh5, data), data.size(), true).status, Status::OutputFailed);
  std::uint64_t n = 0;
  EXPECT_EQ(kx::codec::EncodeLzhStatic(LzhVariant::Arj, kxtest::codec::StringReader(data), kxtest::codec::Refuse, n),
            Status::OutputFailed);
  const kx::codec::ReadFn read = kxtest::codec::StringReader(data, 1000);
  std::size_t calls = 0;
  kx::codec::ReadFn failing = [&](std::uint8_t* buf, std::size_t want) {
    return ++calls < 3 ? read(buf, want) : SIZE_MAX;
  };
  std::string sunk;
  EXPECT_EQ(kx::codec::EncodeLzhStatic(LzhVariant::Lh5, failing, kxtest::codec::StringSink(sunk), n),
            Status::InputFailed);
}

}  // namespace
