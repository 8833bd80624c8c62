// The quick functions' switch grammar and the file specification splitter.
#include <gtest/gtest.h>

#include "engine/functions/kx_percent.h"
#include "engine/kxzip.h"
#include "engine/functions/quick_options.h"

namespace {

using kx::KxZip;

TEST(SplitFileSpec, BlanksSeparateAndQuotesGroup) {
  struct Row {
    const char* spec;
    std::vector<std::string> names;
  };
  const Row rows[] = {
      {"", {}},
      {"   ", {}},
      {"a.txt", {"a.txt"}},
      {"a.txt  b.txt", {"a.txt", "b.txt"}},
      {"\"mit blank.txt\" b", {"mit blank.txt", "b"}},
      {"x\"y z\"w", {"xy zw"}},
      {"\"\" a", {"a"}},
      {"\"offen bis zum ende", {"offen bis zum ende"}},
      {"a\tb", {"a", "b"}},
  };
  for (const Row& row : rows) EXPECT_EQ(kx::SplitFileSpec(row.spec), row.names) << row.spec;
}

TEST(QuickOptions, EachSwitchSetsItsOption) {
  struct Row {
    const char* switches;
    bool (*holds)(const KxZip&);
  };
  const Row rows[] = {
      {"-d", [](const KxZip& z) { return z.RestoreFolders; }},
      {"-o", [](const KxZip& z) { return z.OverwriteMode == 1; }},
      {"-n", [](const KxZip& z) { return z.ExtractMode == 2; }},
      {"-f", [](const KxZip& z) { return z.ExtractMode == 1; }},
      {"-r", [](const KxZip& z) { return z.Recurse; }},
      {"-p", [](const KxZip& z) { return z.StorePaths == 2; }},
      {"-P", [](const KxZip& z) { return z.StorePaths == 1; }},
      {"-m", [](const KxZip& z) { return z.MoveFiles; }},
      {"-ex", [](const KxZip& z) { return z.CompressionLevel == 4; }},
      {"-en", [](const KxZip& z) { return z.CompressionLevel == 3; }},
      {"-ef", [](const KxZip& z) { return z.CompressionLevel == 2; }},
      {"-es", [](const KxZip& z) { return z.CompressionLevel == 1; }},
      {"-sGeheim", [](const KxZip& z) { return z.Password == "Geheim"; }},
      {"\"-szwei worte\"", [](const KxZip& z) { return z.Password == "zwei worte"; }},
      {"-v", [](const KxZip& z) { return z.MultiVolume && z.VolumeSize == kx::kFloppyVolumeSize; }},
      {"-v100000", [](const KxZip& z) { return z.MultiVolume && z.VolumeSize == 100000; }},
      {"-v64k", [](const KxZip& z) { return z.MultiVolume && z.VolumeSize == 65536; }},
      {"-v2M", [](const KxZip& z) { return z.MultiVolume && z.VolumeSize == 2 * 1024 * 1024; }},
  };
  for (const Row& row : rows) {
    KxZip zip;
    // Start from values no switch sets, so an ignored switch shows.
    zip.RestoreFolders = zip.Recurse = zip.MoveFiles = zip.MultiVolume = false;
    zip.OverwriteMode = zip.ExtractMode = 0;
    zip.StorePaths = 0;
    zip.CompressionLevel = 0;
    zip.VolumeSize = 0;
    ASSERT_EQ(kx::ApplyQuickOptions(row.switches, zip), kx::rc::Ok) << row.switches;
    EXPECT_TRUE(row.holds(zip)) << row.switches;
  }
}

TEST(QuickOptions, SeveralSwitchesAddUpAndUnknownOnesAreRefused) {
  KxZip zip;
  zip.RestoreFolders = false;
  ASSERT_EQ(kx::ApplyQuickOptions(" -d  -o -ex ", zip), kx::rc::Ok);
  EXPECT_TRUE(zip.RestoreFolders);
  EXPECT_EQ(zip.OverwriteMode, 1);
  EXPECT_EQ(zip.CompressionLevel, 4);

  for (const char* bad : {"-q", "d", "-", "-D", "-O", "-s", "-vx", "-v12q", "-v99999999999", "-v3000m", "-ez"}) {
    KxZip other;
    EXPECT_EQ(kx::ApplyQuickOptions(bad, other), kx::rc::BadSwitch) << bad;
  }
}

TEST(KxZipPercent, SavedShareRounded) {
  EXPECT_EQ(KxZipPercent(0, 0), 0);
  EXPECT_EQ(KxZipPercent(100, 100), 0);
  EXPECT_EQ(KxZipPercent(100, 150), 0);  // grew: nothing saved
  EXPECT_EQ(KxZipPercent(100, 25), 75);
  EXPECT_EQ(KxZipPercent(3, 2), 33);
  EXPECT_EQ(KxZipPercent(3, 1), 67);
  EXPECT_EQ(KxZipPercent(1000, 0), 100);
  EXPECT_EQ(KxZipPercent(std::uint64_t{1} << 62, std::uint64_t{1} << 61), 50);
}

}  // namespace
