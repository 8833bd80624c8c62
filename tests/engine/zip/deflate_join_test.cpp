// Streams compressed on their own and left open join into one deflate stream
// that zlib decodes to the pieces' bytes in order, at every level and for
// every kind of content (matches, stored blocks, a single byte); a stream
// that is not what it claims to be is refused and left as it was. Large files
// added in chunks this way come out byte for byte through unzip and 7zz; a
// chunk the file no longer holds is an error, never short data.
#include <gtest/gtest.h>

#include <libdeflate.h>
#include <zlib.h>

#include "engine/zip/deflate_join.h"
#include "engine/zip/deflate_pool.h"
#include "engine/zip/zip_add.h"
#include "engine/engine_fixture.h"

namespace {

namespace fs = std::filesystem;
using kxtest::TempDir;
using kxtest::WriteFile;

std::vector<std::uint8_t> Compress(const std::string& plain, int level) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(level);
  std::vector<std::uint8_t> out(libdeflate_deflate_compress_bound(c, plain.size()));
  out.resize(libdeflate_deflate_compress(c, plain.data(), plain.size(), out.data(), out.size()));
  libdeflate_free_compressor(c);
  return out;
}

// zlib's raw inflate of the whole stream; "<broken>" unless it ends exactly.
std::string ZlibInflate(const std::vector<std::uint8_t>& stream, std::size_t size) {
  std::string out(size + 1, '\0');
  z_stream z{};
  inflateInit2(&z, -15);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int r = inflate(&z, Z_FINISH);
  const bool whole = r == Z_STREAM_END && z.avail_in == 0;
  out.resize(z.total_out);
  inflateEnd(&z);
  return whole ? out : "<broken>";
}

std::string Words(std::size_t n, unsigned seed) {
  static const char* kWords[] = {"Archiv ", "Eintrag ", "Datei ", "Ordner ", "packen ", "der ", "die ", "das "};
  std::string s;
  unsigned x = seed;
  while (s.size() < n) {
    x = x * 1103515245 + 12345;
    s += kWords[(x >> 16) % 8];
  }
  s.resize(n);
  return s;
}

struct JoinRow {
  const char* name;
  std::vector<std::string> pieces;
};

std::vector<JoinRow> JoinRows() {
  return {
      {"text", {Words(300000, 1), Words(250000, 2), Words(1000, 3)}},
      {"random_stored_blocks", {kxtest::RandomBytes(200000, 4), kxtest::RandomBytes(70000, 5)}},
      {"zeros", {std::string(500000, '\0'), std::string(100, '\0')}},
      {"single_bytes", {"a", "b", "c", "d"}},
      {"mixed", {Words(100000, 6) + kxtest::RandomBytes(100000, 7), std::string(3, 'x'), kxtest::RandomBytes(9, 8),
                 Words(5000, 9)}},
  };
}

class DeflateJoin : public ::testing::TestWithParam<JoinRow> {};

TEST_P(DeflateJoin, PiecesLeftOpenDecodeAsOneStreamAtEveryLevel) {
  const auto& pieces = GetParam().pieces;
  for (const int level : {1, 6, 7, 12}) {
    std::vector<std::uint8_t> joined;
    std::string plain;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      std::vector<std::uint8_t> s = Compress(pieces[i], level);
      if (i + 1 < pieces.size()) ASSERT_TRUE(kx::LeaveDeflateStreamOpen(s, pieces[i].size())) << level << " " << i;
      joined.insert(joined.end(), s.begin(), s.end());
      plain += pieces[i];
    }
    EXPECT_TRUE(ZlibInflate(joined, plain.size()) == plain) << "level " << level;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, DeflateJoin, ::testing::ValuesIn(JoinRows()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DeflateJoinRefuses, StreamsThatAreNotWhatTheyClaim) {
  const std::string plain = Words(100000, 11);
  const std::vector<std::uint8_t> good = Compress(plain, 6);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> stream;
    std::size_t size;
  };
  std::vector<std::uint8_t> truncated(good.begin(), good.end() - 10);
  std::vector<std::uint8_t> trailing = good;
  trailing.push_back(0);
  std::vector<std::uint8_t> flipped = good;
  flipped[flipped.size() / 2] ^= 0x55;
  const std::vector<Case> cases = {{"truncated", truncated, plain.size()},
                                   {"trailing byte", trailing, plain.size()},
                                   {"damaged", flipped, plain.size()},
                                   {"size too small", good, plain.size() - 1},
                                   {"size too large", good, plain.size() + 1}};
  for (const auto& c : cases) {
    std::vector<std::uint8_t> s = c.stream;
    EXPECT_FALSE(kx::LeaveDeflateStreamOpen(s, c.size)) << c.what;
    EXPECT_EQ(s, c.stream) << c.what;
  }
}

// Files above the whole-file limit (4 MB) go in chunks; their entries must be
// ordinary deflate entries every peer reads, also behind a password.
TEST(ZipAddInChunks, LargeFilesComeOutWholeThroughThePeers) {
  TempDir dir;
  const std::string text = Words((9u << 20) + 12345, 21);
  const std::string mixed = Words(3u << 20, 22) + kxtest::RandomBytes(3u << 20, 23) + Words(1u << 20, 24);
  WriteFile(dir / "in/text.txt", text);
  WriteFile(dir / "in/mixed.bin", mixed);
  WriteFile(dir / "in/klein.txt", Words(5000, 25));
  for (const char* password : {"", "Sesam"}) {
    SCOPED_TRACE(password);
    const fs::path archive = dir / (std::string("c") + password + ".zip");
    kx::KxZip zip;
    kxwt::Aim(zip, archive, (dir / "in").string());
    zip.Password = password;
    ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
    if (*password == 0) {
      EXPECT_EQ(kxtest::Run({"unzip", "-tq", archive.string()}).exitCode, 0);
      EXPECT_LT(fs::file_size(archive), text.size() / 2 + mixed.size() * 3 / 4);
    }
    EXPECT_TRUE(kxwt::SevenZipTestOk(archive, password));
    const auto out = dir / (std::string("x") + password);
    const std::string pw = std::string("-p") + password;
    ASSERT_EQ(kxtest::Run({"7zz", "x", "-y", pw, "-o" + out.string(), archive.string()}).exitCode, 0);
    EXPECT_TRUE(kxtest::ReadFile(out / "in/text.txt") == text);
    EXPECT_TRUE(kxtest::ReadFile(out / "in/mixed.bin") == mixed);
  }
}

// Chunks of one file, compressed on two threads, laid end to end: one stream;
// a chunk past the end of a file that shrank gives EIO, not short data.
TEST(DeflatePoolChunks, JoinInTicketOrderAndAShrunkFileFails) {
  TempDir dir;
  const std::string content = Words(700000, 41) + kxtest::RandomBytes(300000, 42);
  WriteFile(dir / "f", content);
  kx::DeflatePool pool(7, 2, 1 << 20);
  constexpr std::uint64_t kChunk = 100000;
  std::size_t first = 0;
  for (std::uint64_t at = 0; at < content.size(); at += kChunk) {
    const std::size_t t = pool.AddChunk((dir / "f").string(), at, std::min<std::uint64_t>(kChunk, content.size() - at),
                                        at + kChunk >= content.size());
    if (at == 0) first = t;
  }
  const std::size_t beyond = pool.AddChunk((dir / "f").string(), content.size() - 10, 20, true);
  pool.Start();
  std::vector<std::uint8_t> joined;
  uLong crc = 0;
  for (std::size_t t = first; t < beyond; ++t) {
    kx::DeflatedFile f = pool.Take(t);
    ASSERT_EQ(f.error, 0);
    EXPECT_FALSE(f.stored);
    crc = crc32_combine(crc, f.crc, static_cast<z_off_t>(f.size));
    joined.insert(joined.end(), f.data.begin(), f.data.end());
    pool.Release(f.data.size());
  }
  EXPECT_TRUE(ZlibInflate(joined, content.size()) == content);
  EXPECT_EQ(crc, crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
  EXPECT_EQ(pool.Take(beyond).error, EIO);
}

// Jobs queued while the workers already run (files compressed as they are
// collected, the writer taking them in order behind) come out whole and in
// ticket order, also with a budget smaller than one job.
TEST(DeflatePoolChunks, JobsQueuedAfterStartAreDoneInOrder) {
  TempDir dir;
  kx::DeflatePool pool(6, 2, 1000);
  pool.Start();
  std::vector<std::string> contents;
  std::size_t taken = 0;
  const auto takeNext = [&] {
    kx::DeflatedFile f = pool.Take(taken);
    ASSERT_EQ(f.error, 0);
    EXPECT_TRUE(ZlibInflate(f.data, f.size) == contents[taken]) << taken;
    pool.Release(f.data.size());
    ++taken;
  };
  for (int i = 0; i < 30; ++i) {
    contents.push_back(Words(3000 + i * 500, 50 + i));
    WriteFile(dir / ("f" + std::to_string(i)), contents.back());
    EXPECT_EQ(pool.Add((dir / ("f" + std::to_string(i))).string(), contents.back().size()), std::size_t(i));
    if (i % 3 == 2) takeNext();  // the writer lags behind the collector
  }
  while (taken < contents.size()) takeNext();
}

}  // namespace
