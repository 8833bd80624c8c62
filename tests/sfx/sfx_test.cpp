// Self-extracting files written by zipexe's writer and run as programs:
// unzip and 7-Zip read them, they extract what the ZIP held, and a hostile
// ZIP inside one writes nothing outside the target folder.
#include <gtest/gtest.h>

#include <map>

#include "sfx/sfx_archive.h"
#include "support/test_support.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using kxtest::RunResult;

const std::string kStub = std::string(KX_BIN_DIR) + "/kxsfx";

// Moves every local header offset of a ZIP into a Zip64 extra field (the
// 32-bit field saturated), as writers of archives past 4 GiB do.
constexpr const char* kOffsetsToZip64 = R"(
import sys, struct
d = open(sys.argv[1], 'rb').read()
e = d.rfind(b'PK\x05\x06')
n, size, off = struct.unpack('<HII', d[e + 10:e + 20])
cd, out, p = d[off:off + size], b'', 0
for _ in range(n):
    nl, xl, cl = struct.unpack('<HHH', cd[p + 28:p + 34])
    rec = cd[p:p + 46 + nl + xl + cl]
    x = struct.pack('<HHQ', 1, 8, struct.unpack('<I', rec[42:46])[0])
    out += rec[:30] + struct.pack('<H', xl + 12) + rec[32:42] + b'\xff' * 4 + rec[46:46 + nl] + x + rec[46 + nl:]
    p += 46 + nl + xl + cl
open(sys.argv[2], 'wb').write(d[:off] + out + d[e:e + 12] + struct.pack('<I', len(out)) + d[e + 16:])
)";

// Every file below root with its content (folders as "/").
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    out[fs::relative(e.path(), root).string()] = e.is_directory() ? "/" : kxtest::ReadFile(e.path());
  return out;
}

class SelfExtractingFile : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "quelle/Ordner mit Blank/tief");
    kxtest::WriteFile(dir_ / "quelle/a b.txt", "Hallo Welt\n");
    kxtest::WriteFile(dir_ / "quelle/Grüße.txt", "Umlaute äöü\n");
    kxtest::WriteFile(dir_ / "quelle/Ordner mit Blank/tief/zufall.bin", kxtest::RandomBytes(300000));
  }
  kxtest::TempDir dir_;
};

TEST_F(SelfExtractingFile, PeersReadItAndItExtractsWhatTheZipHolds) {
  struct Row {
    const char* name;
    std::vector<std::string> zipArgs;   // Info-ZIP zip's options
    bool offsetsInZip64;
    bool folderOnCommandLine;
  } rows[] = {
      {"plain", {"-r"}, false, true},
      {"zip64-records", {"-r", "-fz"}, false, false},
      {"zip64-offsets", {"-r"}, true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path zip = dir_ / (std::string(row.name) + ".zip");
    std::vector<std::string> argv = {"zip", "-q"};
    argv.insert(argv.end(), row.zipArgs.begin(), row.zipArgs.end());
    argv.insert(argv.end(), {zip.string(), "quelle"});
    ASSERT_EQ(kxtest::Run(argv, dir_.path()).exitCode, 0);
    if (row.offsetsInZip64) {
      ASSERT_EQ(kxtest::Run({"python3", "-c", kOffsetsToZip64, zip.string(), zip.string()}).exitCode, 0);
    }

    const fs::path exe = dir_ / row.name;
    ASSERT_EQ(MakeSelfExtractor(kStub, zip.string(), exe.string()), rc::Ok);
    EXPECT_EQ(fs::file_size(exe), fs::file_size(kStub) + fs::file_size(zip));
    EXPECT_NE(fs::status(exe).permissions() & fs::perms::owner_exec, fs::perms::none);
    const RunResult tested = kxtest::Run({"unzip", "-tq", exe.string()});
    EXPECT_EQ(tested.exitCode, 0) << tested.output;   // 1 would mean "offsets needed fixing"
    const RunResult seven = kxtest::Run({"7zz", "t", exe.string()});
    EXPECT_EQ(seven.exitCode, 0) << seven.output;
    EXPECT_EQ(seven.output.find("WARNING"), std::string::npos) << seven.output;

    const fs::path run = dir_ / (std::string("lauf-") + row.name);
    fs::create_directories(run / "ziel");
    const RunResult r = row.folderOnCommandLine ? kxtest::Run({exe.string(), "ziel"}, run)
                                                        : kxtest::Run({exe.string()}, run / "ziel");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(Tree(run / "ziel/quelle"), Tree(dir_ / "quelle"));
  }
}

TEST_F(SelfExtractingFile, AHostileZipWritesNothingOutsideTheTarget) {
  const fs::path absolute = dir_ / "absolut.txt";
  ASSERT_EQ(kxtest::Run({"python3", "-c",
                 "import sys, zipfile\n"
                 "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                 "    for name in ['../x', '../../y', sys.argv[2], 'gut.txt']:\n"
                 "        z.writestr(zipfile.ZipInfo(name), b'Inhalt')\n",
                 (dir_ / "boese.zip").string(), absolute.string()})
                .exitCode, 0);
  ASSERT_EQ(MakeSelfExtractor(kStub, (dir_ / "boese.zip").string(), (dir_ / "boese").string()), rc::Ok);
  fs::create_directories(dir_ / "lauf/ziel");

  const RunResult r = kxtest::Run({(dir_ / "boese").string(), "ziel"}, dir_ / "lauf");
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("../x: abgelehnt"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(absolute));
  EXPECT_FALSE(fs::exists(dir_ / "x"));
  EXPECT_FALSE(fs::exists(dir_ / "lauf/x"));
  // Only the target changed; the absolute name landed below it.
  const auto lauf = Tree(dir_ / "lauf");
  for (const auto& [path, content] : lauf) EXPECT_TRUE(path.starts_with("ziel")) << path;
  EXPECT_EQ(lauf.at("ziel/gut.txt"), "Inhalt");
  EXPECT_EQ(lauf.at("ziel" + absolute.string()), "Inhalt");
}

TEST_F(SelfExtractingFile, RefusalsLeaveTheTargetAsItWas) {
  kxtest::WriteFile(dir_ / "kein.zip", "kein Archiv");
  kxtest::WriteFile(dir_ / "alt", "alte Datei");
  EXPECT_EQ(MakeSelfExtractor(kStub, (dir_ / "kein.zip").string(), (dir_ / "alt").string()), rc::UnknownArchiveType);
  EXPECT_EQ(MakeSelfExtractor(kStub, (dir_ / "fehlt.zip").string(), (dir_ / "alt").string()), rc::FileNotFound);
  EXPECT_EQ(kxtest::ReadFile(dir_ / "alt"), "alte Datei");
  EXPECT_EQ(Tree(dir_.path()).size(), 8u) << "no temporary file is left";

  // An end record whose directory offset would pass 4 GiB once moved.
  std::string tail;
  kxtest::Put32(tail, 0x06054b50);
  kxtest::Put32(tail, 0);
  kxtest::Put32(tail, 0);
  kxtest::Put32(tail, 0);                  // directory size 0
  kxtest::Put32(tail, 0xfffff000u);        // directory offset
  kxtest::Put16(tail, 0);
  // 0xffffffff itself would read as "the value is in Zip64".
  EXPECT_EQ(ShiftZipOffsets(tail, 0xfffff000u, 0xfff), rc::Overflow);
  EXPECT_EQ(ShiftZipOffsets(tail, 0xfffff000u, 0xffe), rc::Ok);

  // The stub alone holds no archive.
  const RunResult bare = kxtest::Run({kStub}, dir_.path());
  EXPECT_EQ(bare.exitCode, 2);
  EXPECT_NE(bare.output.find("enthält kein ZIP-Archiv"), std::string::npos) << bare.output;
}

}  // namespace
}  // namespace kx
