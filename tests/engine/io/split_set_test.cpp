// SplitSet on real split sets made at test time by 7-Zip (`a -tzip -v...`)
// (our own writer's sets are zip_split_read_test's): the set reads byte for byte as the concatenation of
// its volumes, VolumeAt maps offsets (also past 4 GiB) to volumes, and damaged
// sets fail naming the volume. Reading entries through the set, a missing
// middle volume asked for and named, and reordered volumes are
// zip_split_read_test's, through the whole engine.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include "engine/io/split_set.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using kx::SplitSet;
using kxtest::ReadFile;
using kxtest::TempDir;
using kxtest::WriteFile;
using Files = std::map<std::string, std::string>;  // name -> content

fs::path Volume(const fs::path& first, int number) { return SplitSet::VolumeName(first.string(), number); }

// Writes the files into dir/src and splits them with 7-Zip into dir/x.zip.001, ...
fs::path Make7zSet(const TempDir& dir, const Files& files, const std::string& volume,
                   const std::string& method = "-mx5") {
  std::vector<std::string> argv = {"7zz", "a", "-tzip", method, "-v" + volume, (dir / "x.zip").string()};
  for (const auto& [name, content] : files) {
    WriteFile(dir / ("src/" + name), content);
    argv.push_back(name);
  }
  const auto run = kxtest::Run(argv, dir / "src");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  return dir / "x.zip.001";
}

std::string Concatenation(const fs::path& first) {
  std::string whole;
  for (int n = 1; fs::exists(Volume(first, n)); ++n) whole += ReadFile(Volume(first, n));
  return whole;
}

std::string ReadInChunks(const SplitSet& set, std::size_t chunk) {
  std::string out(set.size(), '\0');
  for (std::uint64_t at = 0; at < set.size(); at += chunk) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, set.size() - at));
    if (!set.read(at, out.data() + at, n)) return "read failed at " + std::to_string(at);
  }
  return out;
}

const SplitSet::AskForVolume kNeverAsked = [](int number, const std::string& path) {
  ADD_FAILURE() << "asked for volume " << number << " " << path;
  return false;
};

struct WholeSetRow {
  const char* name;
  std::function<fs::path(const TempDir&, const Files&)> make;
};

TEST(SplitSetRead, ReadsAsTheConcatenationAndLibzipReadsEveryEntry) {
  Files files = {{"zufall.bin", kxtest::RandomBytes(250000, 3)}, {"leer.txt", ""}};
  for (int i = 0; i < 12; ++i) files["text" + std::to_string(i) + ".txt"] = std::string(3000 + 97 * i, char('a' + i));
  const WholeSetRow rows[] = {
      {"7z 100k", [](const TempDir& d, const Files& f) { return Make7zSet(d, f, "100k"); }},
      {"7z stored 7k", [](const TempDir& d, const Files& f) { return Make7zSet(d, f, "7k", "-mx0"); }},
  };
  for (const WholeSetRow& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const fs::path first = row.make(dir, files);
    SplitSet set;
    ASSERT_EQ(set.Open(first.string(), kNeverAsked), kx::rc::Ok) << set.problemVolume();
    int volumes = 0;
    while (fs::exists(Volume(first, volumes + 1))) ++volumes;
    EXPECT_GT(volumes, 2);
    EXPECT_EQ(set.volumeCount(), static_cast<std::size_t>(volumes));
    const std::string whole = Concatenation(first);
    ASSERT_EQ(set.size(), whole.size());
    EXPECT_TRUE(ReadInChunks(set, whole.size()) == whole);
    EXPECT_TRUE(ReadInChunks(set, 4093) == whole);  // odd chunks straddle every boundary
    std::string tail(2, '\0');
    EXPECT_FALSE(set.read(set.size() - 1, tail.data(), 2));
    EXPECT_TRUE(set.read(set.size(), tail.data(), 0));

    // Readers on other threads share the set (pread only).
    bool same[2] = {false, false};
    std::thread a([&] { same[0] = ReadInChunks(set, 1000) == whole; });
    std::thread b([&] { same[1] = ReadInChunks(set, 7919) == whole; });
    a.join();
    b.join();
    EXPECT_TRUE(same[0] && same[1]);

    const std::uint64_t cut = fs::file_size(first);
    EXPECT_EQ(set.VolumeAt(0), first.string());
    EXPECT_EQ(set.VolumeAt(cut - 1), first.string());
    EXPECT_EQ(set.VolumeAt(cut), Volume(first, 2).string());
    EXPECT_EQ(set.VolumeAt(set.size() + 99), Volume(first, volumes).string());
  }
}

// Sparse volumes of 2 GiB: offsets past 4 GiB map to the right volume and byte.
TEST(SplitSetRead, OffsetsBeyondFourGiB) {
  TempDir dir;
  constexpr std::uint64_t kCut = std::uint64_t(2) << 30;
  const fs::path first = dir / "gross.001";
  const std::string end = std::string("PK\x05\x06", 4) + std::string(18, '\0');  // empty archive
  for (int n = 1; n <= 3; ++n) {
    WriteFile(Volume(first, n), n == 3 ? std::string("drei") : std::string("eins"));
    fs::resize_file(Volume(first, n), n == 3 ? kCut / 2 : kCut);
  }
  {
    std::ofstream out(Volume(first, 3), std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(kCut / 2 - end.size()));
    out.write(end.data(), static_cast<std::streamsize>(end.size()));
  }
  SplitSet set;
  ASSERT_EQ(set.Open(first.string(), kNeverAsked), kx::rc::Ok) << set.problemVolume();
  EXPECT_EQ(set.size(), kCut * 2 + kCut / 2);
  char word[6] = {};
  ASSERT_TRUE(set.read(2 * kCut - 2, word, 6));  // from volume 2 into volume 3, across 4 GiB
  EXPECT_EQ(std::string(word, 6), std::string("\0\0drei", 6));
  EXPECT_EQ(set.VolumeAt(2 * kCut + 1), Volume(first, 3).string());
  EXPECT_EQ(set.VolumeAt(2 * kCut - 1), Volume(first, 2).string());
}

// Four volumes of 100 KiB (the last shorter), damaged one way per row.
struct DamageRow {
  const char* name;
  std::function<void(const fs::path& first)> damage;
  kx::Result expected;
  int named;               // the volume problemVolume() names (0: none)
  std::vector<int> asked;  // the volumes asked for, in order
};

void Truncate(const fs::path& p, std::uintmax_t by) { fs::resize_file(p, fs::file_size(p) - by); }

TEST(SplitSetDamage, EachDamagedSetNamesTheVolume) {
  const DamageRow rows[] = {
      {"missing last volume", [](const fs::path& f) { fs::remove(Volume(f, 4)); }, kx::rc::FileNotFound, 4, {4}},
      {"missing first volume", [](const fs::path& f) { fs::remove(f); }, kx::rc::FileNotFound, 1, {1}},
      {"no volume at all",
       [](const fs::path& f) { for (int n = 1; n <= 4; ++n) fs::remove(Volume(f, n)); },
       kx::rc::FileNotFound, 1, {1}},
      {"truncated first volume", [](const fs::path& f) { Truncate(f, 5000); }, kx::rc::ArchiveError, 1, {}},
      {"lengthened middle volume",
       [](const fs::path& f) { WriteFile(Volume(f, 3), ReadFile(Volume(f, 3)) + "mehr"); }, kx::rc::ArchiveError, 3, {}},
      {"truncated last volume", [](const fs::path& f) { Truncate(Volume(f, 4), 100); }, kx::rc::ArchiveError, 4, {}},
      {"junk volume after the end", [](const fs::path& f) { WriteFile(Volume(f, 5), "junk"); }, kx::rc::ArchiveError, 5, {}},
      {"old volume after the end (ends in an end record)",
       [](const fs::path& f) { fs::copy_file(Volume(f, 4), Volume(f, 5)); }, kx::rc::ArchiveError, 5, {}},
      {"stray volume after a gap", [](const fs::path& f) { WriteFile(Volume(f, 7), "junk"); }, kx::rc::ArchiveError, 7, {}},
      {"volume is a folder",
       [](const fs::path& f) { fs::remove(Volume(f, 3)); fs::create_directory(Volume(f, 3)); }, kx::rc::ArchiveError, 3, {}},
      {"volume is a symlink (fine)",
       [](const fs::path& f) {
         fs::rename(Volume(f, 3), f.parent_path() / "drei");
         fs::create_symlink(f.parent_path() / "drei", Volume(f, 3));
       },
       kx::rc::Ok, 0, {}},
  };
  for (const DamageRow& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const fs::path first = Make7zSet(dir, {{"r.bin", kxtest::RandomBytes(350000, 7)}}, "100k");
    ASSERT_TRUE(fs::exists(Volume(first, 4)) && !fs::exists(Volume(first, 5)));
    row.damage(first);
    std::vector<int> asked;
    SplitSet set;
    const kx::Result r = set.Open(first.string(), [&](int number, const std::string& path) {
      asked.push_back(number);
      EXPECT_EQ(path, Volume(first, number).string());
      return false;
    });
    EXPECT_EQ(r, row.expected);
    EXPECT_EQ(asked, row.asked);
    EXPECT_EQ(set.problemVolume(), row.named ? Volume(first, row.named).string() : std::string());
    if (r == kx::rc::Ok) EXPECT_TRUE(ReadInChunks(set, 65536) == Concatenation(first));
    else EXPECT_EQ(set.size(), 0u);
  }
}

TEST(SplitSetDamage, AskedVolumeSuppliedThenOpens) {
  TempDir dir;
  const Files files = {{"r.bin", kxtest::RandomBytes(350000, 8)}};
  const fs::path first = Make7zSet(dir, files, "100k");
  fs::rename(Volume(first, 2), dir / "aside");
  int asks = 0;
  SplitSet set;
  const kx::Result r = set.Open(first.string(), [&](int number, const std::string&) {
    EXPECT_EQ(number, 2);
    if (++asks == 3) fs::rename(dir / "aside", Volume(first, 2));  // the third answer brings it
    return true;
  });
  ASSERT_EQ(r, kx::rc::Ok);
  EXPECT_EQ(asks, 3);
  EXPECT_TRUE(set.problemVolume().empty());
  EXPECT_TRUE(ReadInChunks(set, 65536) == Concatenation(first));
}

TEST(SplitSetNames, FirstVolumeAndVolumeNames) {
  const std::pair<const char*, const char*> first[] = {
      {"x.007", "x.001"},         {"x.zip.001", "x.zip.001"}, {"/a.b/x.zip.123", "/a.b/x.zip.001"},
      {"x.1", ""},                {"x.0001", ""},             {"001", ""},
      {".001", ""},               {"dir/.001", ""},           {"x.000", ""},
      {"x.00a", ""},              {"x.zip", ""},              {"", ""},
  };
  for (const auto& [in, out] : first) EXPECT_EQ(SplitSet::FirstVolumeOf(in), out) << in;
  EXPECT_EQ(SplitSet::VolumeName("x.zip.001", 3), "x.zip.003");
  EXPECT_EQ(SplitSet::VolumeName("x.001", 42), "x.042");
  EXPECT_EQ(SplitSet::VolumeName("x.001", 1000), "x.1000");
  EXPECT_EQ(SplitSet::VolumeName("x.001", 0), "");
  EXPECT_EQ(SplitSet::VolumeName("x.zip", 2), "");
}

TEST(SplitSetNames, OpenRefusesANameThatIsNoVolume) {
  TempDir dir;
  WriteFile(dir / "x.zip", "PK");
  SplitSet set;
  EXPECT_EQ(set.Open((dir / "x.zip").string(), kNeverAsked), kx::rc::UnknownArchiveType);
  EXPECT_EQ(set.problemVolume(), (dir / "x.zip").string());
}

}  // namespace
