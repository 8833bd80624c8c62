// SplitSet on real split sets made at test time by 7-Zip (`a -tzip -v...`)
// and by our own writer: the set reads as the concatenation of its volumes,
// libzip reads every entry through it, and damaged sets fail naming the volume.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <thread>
#include <zip.h>
#include <zlib.h>

#include "engine/operations.h"
#include "engine/split_source.h"
#include "engine/zip_central_dir.h"
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

fs::path MakeOwnSet(const TempDir& dir, const Files& files, std::int32_t volume) {
  for (const auto& [name, content] : files) WriteFile(dir / ("src/" + name), content);
  kx::KxZip zip;
  zip.ZipFile = (dir / "satz.001").string();
  zip.FileSpec = (dir / "src").string();
  zip.StorePaths = 0;
  zip.MultiVolume = true;
  zip.VolumeSize = volume;
  EXPECT_EQ(kx::AddFiles(zip), kx::rc::Ok);
  return dir / "satz.001";
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

// Every entry read by libzip through the set, by name (folders left out); each
// entry's data must match the CRC in the directory.
Files LibzipEntries(const SplitSet& set, int flags = 0) {
  Files out;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = set.MakeZipSource(&error);
  zip_t* za = source ? zip_open_from_source(source, ZIP_RDONLY | flags, &error) : nullptr;
  EXPECT_NE(za, nullptr) << zip_error_strerror(&error);
  if (!za && source) zip_source_free(source);
  zip_error_fini(&error);
  if (!za) return out;
  for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
    zip_stat_t st;
    EXPECT_EQ(zip_stat_index(za, i, 0, &st), 0);
    if (std::string(st.name).ends_with("/")) continue;
    zip_file_t* f = zip_fopen_index(za, i, 0);
    EXPECT_NE(f, nullptr) << st.name << ": " << zip_strerror(za);
    if (!f) continue;
    std::string data(st.size, '\0');
    std::uint64_t got = 0;
    for (zip_int64_t n = 1; n > 0 && got < data.size(); got += static_cast<std::uint64_t>(std::max<zip_int64_t>(n, 0)))
      n = zip_fread(f, data.data() + got, data.size() - got);
    zip_fclose(f);
    EXPECT_EQ(got, st.size) << st.name;
    EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())), st.crc) << st.name;
    out[fs::path(st.name).filename().string()] = data;
  }
  zip_discard(za);
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
      {"own writer", [](const TempDir& d, const Files& f) { return MakeOwnSet(d, f, 64 * 1024); }},
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
    EXPECT_EQ(LibzipEntries(set, ZIP_CHECKCONS), files);
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
      {"missing middle volume", [](const fs::path& f) { fs::remove(Volume(f, 2)); }, kx::rc::FileNotFound, 2, {2}},
      {"missing last volume", [](const fs::path& f) { fs::remove(Volume(f, 4)); }, kx::rc::FileNotFound, 4, {4}},
      {"missing first volume", [](const fs::path& f) { fs::remove(f); }, kx::rc::FileNotFound, 1, {1}},
      {"no volume at all",
       [](const fs::path& f) { for (int n = 1; n <= 4; ++n) fs::remove(Volume(f, n)); },
       kx::rc::FileNotFound, 1, {1}},
      {"truncated middle volume", [](const fs::path& f) { Truncate(Volume(f, 2), 1); }, kx::rc::ArchiveError, 2, {}},
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
    if (r == kx::rc::Ok) EXPECT_EQ(LibzipEntries(set).at("r.bin"), kxtest::RandomBytes(350000, 7));
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
  EXPECT_EQ(LibzipEntries(set, ZIP_CHECKCONS), files);
}

// Swapped volumes pass Open; the local headers the directory points at are
// missing, and VolumeAt names the swapped volumes for their offsets.
TEST(SplitSetDamage, ReorderedVolumesAreFoundThroughVolumeAt) {
  TempDir dir;
  Files files;
  for (int i = 0; i < 24; ++i) files["f" + std::to_string(i) + ".bin"] = kxtest::RandomBytes(20000, 100 + i);
  const fs::path first = Make7zSet(dir, files, "100k", "-mx0");
  ASSERT_TRUE(fs::exists(Volume(first, 5)));
  fs::rename(Volume(first, 2), dir / "tmp");
  fs::rename(Volume(first, 3), Volume(first, 2));
  fs::rename(dir / "tmp", Volume(first, 3));

  SplitSet set;
  ASSERT_EQ(set.Open(first.string(), kNeverAsked), kx::rc::Ok);
  kx::CentralDirectory cd;
  ASSERT_EQ(kx::ReadCentralDirectory(set, cd), kx::rc::Ok);
  std::set<std::string> culprits;
  for (const kx::CdRecord& rec : cd.records) {
    // Local header: +0 signature, +26 name length, +30 name.
    std::string local(30 + rec.rawName.size(), '\0');
    ASSERT_TRUE(set.read(rec.localOffset, local.data(), local.size()));
    const auto* b = reinterpret_cast<const std::uint8_t*>(local.data());
    if (kx::Le32(b) != kx::zipsig::kLocalHeader || local.substr(30) != rec.rawName)
      culprits.insert(set.VolumeAt(rec.localOffset));
  }
  EXPECT_EQ(culprits, (std::set<std::string>{Volume(first, 2).string(), Volume(first, 3).string()}));

  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = set.MakeZipSource(&error);
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error), nullptr);
  zip_source_free(source);
  zip_error_fini(&error);
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
