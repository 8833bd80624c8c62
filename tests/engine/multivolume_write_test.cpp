// Split sets: a new archive named *.001 with MultiVolume is written as raw
// pieces of VolumeSize bytes that 7zz reads as one archive; an existing split
// set may not be changed.
#include <gtest/gtest.h>

#include "engine/operations.h"
#include "engine_fixture.h"

namespace {

using kxtest::ReadFile;
using kxtest::TempDir;
using kxtest::WriteFile;
namespace fs = std::filesystem;

constexpr std::int32_t kVolume = 100000;

void MakeSet(const TempDir& dir) {
  WriteFile(dir / "daten/zufall.bin", kxtest::RandomBytes(250000, 4));
  WriteFile(dir / "daten/text.txt", std::string(50000, 'T'));
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "satz.001", (dir / "daten").string());
  zip.MultiVolume = true;
  zip.VolumeSize = kVolume;
  ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
}

TEST(MultiVolumeWrite, PiecesOfVolumeSizeThat7zzReadsAsOneArchive) {
  TempDir dir;
  MakeSet(dir);
  std::string whole;
  int volumes = 0;
  for (; fs::exists(dir / ("satz.00" + std::to_string(volumes + 1))); ++volumes)
    whole += ReadFile(dir / ("satz.00" + std::to_string(volumes + 1)));
  ASSERT_EQ(volumes, 3);  // 250 KB random + headers, 50 KB text squeezed away
  EXPECT_EQ(fs::file_size(dir / "satz.001"), static_cast<std::uintmax_t>(kVolume));
  EXPECT_EQ(fs::file_size(dir / "satz.002"), static_cast<std::uintmax_t>(kVolume));
  EXPECT_LT(fs::file_size(dir / "satz.003"), static_cast<std::uintmax_t>(kVolume));
  const auto t = kxtest::Run({"7zz", "t", (dir / "satz.001").string()});
  EXPECT_EQ(t.exitCode, 0) << t.output;
  EXPECT_NE(t.output.find("Files: 2"), std::string::npos) << t.output;
  WriteFile(dir / "ganz.zip", whole);
  EXPECT_TRUE(kxwt::UnzipTestOk(dir / "ganz.zip"));
  EXPECT_TRUE(kxwt::Leftovers(dir.path()).empty());
}

TEST(MultiVolumeWrite, ExistingSplitSetRefusesAddAndDelete) {
  TempDir dir;
  MakeSet(dir);
  const std::string first = ReadFile(dir / "satz.001");
  WriteFile(dir / "mehr.txt", "mehr");
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "satz.001", (dir / "mehr.txt").string());
  zip.MultiVolume = true;
  EXPECT_EQ(kx::AddFiles(zip), kx::rc::NotWithMultiVolume);
  zip.FileSpec = "daten/text.txt";
  EXPECT_EQ(kx::DeleteEntries(zip), kx::rc::NotWithMultiVolume);
  EXPECT_EQ(ReadFile(dir / "satz.001"), first);
}

TEST(MultiVolumeWrite, TooSmallVolumeSizeIsABadSwitch) {
  TempDir dir;
  WriteFile(dir / "a.txt", "a");
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "s.001", (dir / "a.txt").string());
  zip.MultiVolume = true;
  zip.VolumeSize = 100;
  EXPECT_EQ(kx::AddFiles(zip), kx::rc::BadSwitch);
  EXPECT_FALSE(fs::exists(dir / "s.001"));
}

}  // namespace
