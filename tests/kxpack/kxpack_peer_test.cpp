// kxpack against the peer programs: archives the peers wrote, extracted and
// tested by kxpack; archives kxpack wrote, listed, tested and extracted by
// the peers; deleting keeps every other member byte for byte.
#include <gtest/gtest.h>

#include "kxpack/kxpack_test_util.h"

namespace {

using namespace kxtest;
using namespace kxtest::kxpack;

// ---- archives written by the peers ---------------------------------------

struct PeerMade {
  const char* label;
  std::vector<std::string> make;     // run in the source folder; the archive's name comes last but the files
  const char* archive;
  bool flat;                         // ARC stores no folders
  std::vector<std::string> extract;  // the peer's own extraction, run in an empty folder; archive appended
};

void PrintTo(const PeerMade& row, std::ostream* os) { *os << row.label; }

class KxpackReadsPeerArchives : public ::testing::TestWithParam<PeerMade> {};

TEST_P(KxpackReadsPeerArchives, ExtractsWhatThePeerExtracts) {
  const PeerMade& row = GetParam();
  TempDir dir;
  const auto files = SampleFiles(row.flat);
  WriteTree(dir / "src", files);
  std::vector<std::string> make = row.make;
  make.push_back(row.archive);
  for (const auto& n : Names(files)) make.push_back(n);
  ASSERT_EQ(kxtest::Run(make, dir / "src").exitCode, 0);
  const path archive = dir / "src" / row.archive;

  const RunResult test = Kxpack({"t", archive.string()}, dir.path());
  EXPECT_EQ(test.exitCode, 0) << test.output;
  fs::create_directories(dir / "ours");
  const RunResult x = Kxpack({"x", archive.string()}, dir / "ours");
  EXPECT_EQ(x.exitCode, 0) << x.output;

  fs::create_directories(dir / "peer");
  std::vector<std::string> extract = row.extract;
  extract.push_back(archive.string());
  ASSERT_EQ(kxtest::Run(extract, dir / "peer").exitCode, 0);
  EXPECT_TRUE(SameFiles(FilesUnder(dir / "ours"), FilesUnder(dir / "peer")));
  EXPECT_TRUE(SameFiles(FilesUnder(dir / "ours"), files));
  EXPECT_FALSE(HasTemporaries(dir / "ours"));
}

INSTANTIATE_TEST_SUITE_P(
    Methods, KxpackReadsPeerArchives,
    ::testing::Values(PeerMade{"arj_m0", {"arj", "a", "-y", "-m0"}, "m0.arj", false, {"arj", "x", "-y"}},
                      PeerMade{"arj_m1", {"arj", "a", "-y", "-m1"}, "m1.arj", false, {"arj", "x", "-y"}},
                      PeerMade{"arj_m2", {"arj", "a", "-y", "-m2"}, "m2.arj", false, {"arj", "x", "-y"}},
                      PeerMade{"arj_m3", {"arj", "a", "-y", "-m3"}, "m3.arj", false, {"arj", "x", "-y"}},
                      PeerMade{"arj_m4", {"arj", "a", "-y", "-m4"}, "m4.arj", false, {"arj", "x", "-y"}},
                      PeerMade{"arc", {"arc", "a"}, "best.arc", true, {"nomarch"}},
                      PeerMade{"arc_arcx", {"arc", "a"}, "arcx.arc", true, {"arc", "x"}}),
    [](const auto& info) { return std::string(info.param.label); });

// The methods no program here writes, in the codecs' fixtures (each made by
// the script beside it): kxpack extracts what the peer extracts (nomarch and
// arc write the names in lower case; nomarch lacks method 7).
TEST(KxpackReadsFixtures, MethodsNobodyWritesHere) {
  const auto lowerNames = [](const std::map<std::string, std::string>& files) {
    std::map<std::string, std::string> out;
    for (const auto& [name, content] : files) {
      std::string lower = name;
      for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
      out[lower] = content;
    }
    return out;
  };
  const path fixtures = path(KX_FIXTURE_DIR) / "dos_methods";
  const std::vector<std::pair<const char*, std::vector<std::string>>> rows{
      {"arc_method5.arc", {"nomarch"}}, {"arc_method6.arc", {"nomarch"}}, {"arc_method7.arc", {"arc", "x"}},
      {"arc_method9.arc", {"nomarch"}}, {"zoo_method1.zoo", {"unar", "-q", "-D"}},
      {"lh1_skewed.lzh", {"lhasa", "x"}}, {"lh1_text.lzh", {"lhasa", "x"}}, {"lz5_patterns.lzh", {"lhasa", "x"}},
      {"lz5_text.lzh", {"lhasa", "x"}}, {"lzs_binary.lzh", {"lhasa", "x"}}, {"lzs_text.lzh", {"lhasa", "x"}}};
  for (const auto& [name, extractor] : rows) {
    SCOPED_TRACE(name);
    TempDir dir;
    const std::string archive = (fixtures / name).string();
    const RunResult t = Kxpack({"t", archive}, dir.path());
    EXPECT_EQ(t.exitCode, 0) << t.output;
    fs::create_directories(dir / "ours");
    fs::create_directories(dir / "peer");
    const RunResult x = Kxpack({"x", archive}, dir / "ours");
    EXPECT_EQ(x.exitCode, 0) << x.output;
    std::vector<std::string> peer = extractor;
    peer.push_back(archive);
    ASSERT_EQ(kxtest::Run(peer, dir / "peer").exitCode, 0);
    EXPECT_FALSE(FilesUnder(dir / "ours").empty());
    EXPECT_TRUE(SameFiles(lowerNames(FilesUnder(dir / "ours")), lowerNames(FilesUnder(dir / "peer"))));
  }
}

// ---- archives written by kxpack --------------------------------------------

// unar 1.10 crashes at random on crunched ARC members (on arc's own archives
// too), so ARC archives are tested and extracted with arc and nomarch.
struct KxpackMade {
  const char* archive;
  bool flat;
  std::vector<std::string> test;                  // the peer's test; archive appended
  std::vector<std::vector<std::string>> extract;  // extractions into an empty folder; archive appended
};

void PrintTo(const KxpackMade& row, std::ostream* os) { *os << row.archive; }

class PeersReadKxpackArchives : public ::testing::TestWithParam<KxpackMade> {};

TEST_P(PeersReadKxpackArchives, ListTestAndExtract) {
  const KxpackMade& row = GetParam();
  TempDir dir;
  const auto files = SampleFiles(row.flat);
  WriteTree(dir / "src", files);
  // Folders name themselves: "sub" stands for everything below it.
  const std::vector<std::string> names =
      row.flat ? Names(files) : std::vector<std::string>{"text.txt", "leer.txt", "sub"};
  std::vector<std::string> add{"a", row.archive, "--"};
  add.insert(add.end(), names.begin(), names.end());
  const RunResult made = Kxpack(add, dir / "src");
  ASSERT_EQ(made.exitCode, 0) << made.output;
  const path archive = dir / "src" / row.archive;

  std::set<std::string> expected;
  for (const auto& [name, content] : files) expected.insert(name);
  EXPECT_EQ(PeerNames(archive), expected);
  std::vector<std::string> test = row.test;
  test.push_back(archive.string());
  const RunResult tested = kxtest::Run(test);
  EXPECT_EQ(tested.exitCode, 0) << tested.output;

  for (const auto& extractor : row.extract) {
    TempDir out;
    std::vector<std::string> extract = extractor;
    extract.push_back(archive.string());
    const RunResult x = kxtest::Run(extract, out.path());
    EXPECT_EQ(x.exitCode, 0) << extractor[0] << ": " << x.output;
    EXPECT_TRUE(SameFiles(FilesUnder(out.path()), files)) << extractor[0];
  }
  // Packing pays for the text: the archive is smaller than the files.
  {
    std::uint64_t total = 0;
    for (const auto& [name, content] : files) total += content.size();
    EXPECT_LT(fs::file_size(archive), total) << "nothing was packed";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PeersReadKxpackArchives,
    ::testing::Values(KxpackMade{"neu.arj", false, {"arj", "t"}, {{"arj", "x", "-y"}, {"unar", "-q", "-D"}}},
                      KxpackMade{"neu.arc", true, {"arc", "t"}, {{"nomarch"}, {"arc", "x"}}},
                      KxpackMade{"neu.lzh", false, {"lhasa", "t"}, {{"lhasa", "x"}, {"unar", "-q", "-D"}}},
                      KxpackMade{"neu.zoo", false, {"lsar", "-t"}, {{"unar", "-q", "-D"}}}),
    [](const auto& info) {
      std::string n = info.param.archive;
      return n.substr(n.find('.') + 1);
    });

// ---- deleting --------------------------------------------------------------

struct DeleteRow {
  const char* archive;
  std::vector<std::string> make;  // empty: kxpack makes it
  bool flat;
  std::string victim;
  std::vector<std::string> test;  // the peer's test; archive appended
};

void PrintTo(const DeleteRow& row, std::ostream* os) { *os << row.archive; }

class DeleteKeepsOthers : public ::testing::TestWithParam<DeleteRow> {};

TEST_P(DeleteKeepsOthers, EveryOtherMemberByteForByte) {
  const DeleteRow& row = GetParam();
  TempDir dir;
  const auto files = SampleFiles(row.flat);
  WriteTree(dir / "src", files);
  std::vector<std::string> make = row.make.empty() ? std::vector<std::string>{"a", row.archive, "--"} : row.make;
  if (!row.make.empty()) make.push_back(row.archive);
  for (const auto& n : Names(files)) make.push_back(n);
  const RunResult made = row.make.empty() ? Kxpack(make, dir / "src") : kxtest::Run(make, dir / "src");
  ASSERT_EQ(made.exitCode, 0) << made.output;
  const path archive = dir / "src" / row.archive;

  auto before = MemberBytes(archive);
  std::set<std::string> peerBefore = PeerNames(archive);
  ASSERT_EQ(before.count(row.victim), 1u);
  const RunResult d = Kxpack({"d", archive.string(), "--", row.victim}, dir.path());
  ASSERT_EQ(d.exitCode, 0) << d.output;

  before.erase(row.victim);
  const auto after = MemberBytes(archive);
  EXPECT_TRUE(after == before) << "a kept member changed";
  peerBefore.erase(row.victim);
  EXPECT_EQ(PeerNames(archive), peerBefore);
  std::vector<std::string> test = row.test;
  test.push_back(archive.string());
  const RunResult peerTest = kxtest::Run(test);
  EXPECT_EQ(peerTest.exitCode, 0) << peerTest.output;

  fs::create_directories(dir / "out");
  ASSERT_EQ(Kxpack({"x", archive.string()}, dir / "out").exitCode, 0);
  auto expected = files;
  expected.erase(row.victim);
  EXPECT_TRUE(SameFiles(FilesUnder(dir / "out"), expected));
  EXPECT_FALSE(HasTemporaries(dir / "src"));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DeleteKeepsOthers,
    ::testing::Values(DeleteRow{"arj.arj", {"arj", "a", "-y", "-m1"}, false, "sub/zufall.bin", {"arj", "t"}},
                      DeleteRow{"arc.arc", {"arc", "a"}, true, "text.txt", {"arc", "t"}},
                      DeleteRow{"lzh.lzh", {}, false, "text.txt", {"lhasa", "t"}},
                      DeleteRow{"zoo.zoo", {}, false, "sub/zufall.bin", {"lsar", "-t"}}),
    [](const auto& info) {
      std::string n = info.param.archive;
      return n.substr(0, n.find('.'));
    });

// Deleting everything leaves an archive without entries that kxpack still
// opens and adds to, and that the peers accept as such.
TEST(KxpackDelete, EverythingLeavesAnEmptyArchiveThatTakesNewFiles) {
  for (const char* name : {"leer.arj", "leer.arc", "leer.lzh", "leer.zoo"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    WriteTree(dir.path(), {{"eins.txt", "eins\n"}, {"zwei.txt", "zwei zwei\n"}});
    ASSERT_EQ(Kxpack({"a", name, "eins.txt", "zwei.txt"}, dir.path()).exitCode, 0);
    const RunResult d = Kxpack({"d", name}, dir.path());
    ASSERT_EQ(d.exitCode, 0) << d.output;
    EXPECT_TRUE(Listed(dir / name).empty());
    EXPECT_TRUE(PeerNames(dir / name).empty());
    const RunResult l = Kxpack({"l", name}, dir.path());
    EXPECT_EQ(l.exitCode, 0) << l.output;
    ASSERT_EQ(Kxpack({"a", name, "zwei.txt"}, dir.path()).exitCode, 0);
    EXPECT_EQ(PeerNames(dir / name), std::set<std::string>{"zwei.txt"});
  }
}

}  // namespace
