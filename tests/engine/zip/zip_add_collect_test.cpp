// The write side's building blocks on their own: the compression pool, DOS
// short names and pattern matching (collecting files is zip_add_test's).
#include <gtest/gtest.h>

#include <libdeflate.h>
#include <zlib.h>

#include "engine/zip/deflate_pool.h"
#include "engine/zip/zip_add_collect.h"
#include "support/test_support.h"

namespace {

using kxtest::TempDir;
using kxtest::WriteFile;

std::string Inflate(const std::vector<std::uint8_t>& data, std::size_t size) {
  std::string out(size, '\0');
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  std::size_t actual = 0;
  const auto r = libdeflate_deflate_decompress(d, data.data(), data.size(), out.data(), out.size(), &actual);
  libdeflate_free_decompressor(d);
  return r == LIBDEFLATE_SUCCESS ? out.substr(0, actual) : "<broken>";
}

TEST(DeflatePool, EveryTicketGetsItsOwnFileEvenWithATinyBudget) {
  TempDir dir;
  std::vector<std::string> contents;
  // A budget smaller than one job: the pool must still make progress, one job at a time.
  kx::DeflatePool pool(6, 2, 1000);
  for (int i = 0; i < 40; ++i) {
    std::string c = (i % 3 == 0) ? kxtest::RandomBytes(5000 + i, i) : std::string(20000 + i * 100, char('a' + i % 26));
    WriteFile(dir / ("f" + std::to_string(i)), c);
    contents.push_back(c);
    EXPECT_EQ(pool.Add((dir / ("f" + std::to_string(i))).string(), c.size()), static_cast<std::size_t>(i));
  }
  const std::size_t missing = pool.Add((dir / "fehlt").string(), 10);
  pool.Start();
  for (int i = 0; i < 40; ++i) {
    kx::DeflatedFile f = pool.Take(i);
    ASSERT_EQ(f.error, 0);
    EXPECT_EQ(f.size, contents[i].size());
    EXPECT_EQ(f.crc, crc32(0, reinterpret_cast<const Bytef*>(contents[i].data()), contents[i].size()));
    EXPECT_EQ(f.stored, i % 3 == 0) << i;
    const std::string back = f.stored ? std::string(f.data.begin(), f.data.end()) : Inflate(f.data, f.size);
    EXPECT_EQ(back, contents[i]) << i;
    pool.Release(f.data.size());
  }
  EXPECT_EQ(pool.Take(missing).error, ENOENT);
  EXPECT_EQ(pool.Take(missing).error, EINVAL);  // a ticket is taken once
}

struct ShortRow {
  const char* longName;
  const char* shortName;
};

class DosShortNames : public ::testing::TestWithParam<ShortRow> {};

TEST_P(DosShortNames, FollowTheDosRules) { EXPECT_EQ(kx::DosShortName(GetParam().longName), GetParam().shortName); }

INSTANTIATE_TEST_SUITE_P(Rows, DosShortNames,
                         ::testing::Values(ShortRow{"readme.txt", "README.TXT"}, ShortRow{"Langer Name.html", "LANGERNA.HTM"},
                                           ShortRow{"archiv.tar.gz", "ARCHIVTA.GZ"}, ShortRow{"Grüße.txt", "GR__E.TXT"},
                                           ShortRow{".bashrc", "BASHRC"}, ShortRow{"a+b=c.d", "A_B_C.D"},
                                           ShortRow{"ohne", "OHNE"}));

TEST(DosShortNames, CollidingNamesGetNumberedAndFoldersStayConsistent) {
  std::vector<kx::SourceItem> items(4);
  items[0].storedName = "Projekt Eins/Bericht 2020.txt";
  items[1].storedName = "Projekt Eins/Bericht 2021.txt";
  items[2].storedName = "Projekt Eins/";
  items[3].storedName = "Projekt Eins B/Bericht 2020.txt";
  kx::ApplyShortNames(items);
  EXPECT_EQ(items[0].storedName, "PROJEKTE/BERICHT2.TXT");
  EXPECT_EQ(items[1].storedName, "PROJEKTE/BERICH~1.TXT");
  EXPECT_EQ(items[2].storedName, "PROJEKTE/");
  EXPECT_EQ(items[3].storedName, "PROJEK~1/BERICHT2.TXT");
}

TEST(FilePatterns, StarDotStarMatchesNamesWithoutDots) {
  EXPECT_TRUE(kx::MatchesPattern("*.*", "Makefile"));
  EXPECT_TRUE(kx::MatchesPattern("*.txt", "a.txt"));
  EXPECT_FALSE(kx::MatchesPattern("*.txt", "a.TXT.bak"));
  EXPECT_TRUE(kx::MatchesPattern("?.log", "d.log"));
  EXPECT_FALSE(kx::MatchesPattern("?.log", "dd.log"));
}

}  // namespace
