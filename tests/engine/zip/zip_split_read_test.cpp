// Split sets through the whole engine: sets made by 7-Zip (`7zz a -tzip
// -v100k`, x.zip.001 ...) and by our own writer (satz.001 ...) are
// identified, listed, tested and extracted like one archive; a missing
// volume is asked for (Prompt kind 1), a truncated or misplaced one ends the
// action with one error event that names the volume. Our own sets are pieces
// of VolumeSize bytes that the peers read, and may not be changed.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "engine/functions/kx_identify.h"
#include "engine/functions/kx_quick.h"
#include "engine/kxzip.h"
#include "engine/read_directory.h"
#include "engine/zip/zip_add.h"
#include "engine/zip/zip_delete.h"
#include "engine/io/split_set.h"
#include "engine/engine_fixture.h"

namespace {

using kxtest::ReadFile;
using kxtest::TempDir;
using kxtest::WriteFile;
namespace fs = std::filesystem;
using Files = kxwt::FileMap;  // name -> content

// Random data spreads over three volumes of 100 KB; the text squeezes away.
const Files kFiles = {{"daten/zufall.bin", kxtest::RandomBytes(250000, 4)},
                      {"daten/text.txt", std::string(50000, 'T')},
                      {"klein.txt", "klein"}};

void WriteSources(const TempDir& dir) {
  for (const auto& [name, content] : kFiles) WriteFile(dir / ("src/" + name), content);
}

fs::path Make7zzSet(const TempDir& dir) {
  WriteSources(dir);
  const auto r = kxtest::Run({"7zz", "a", "-tzip", "-bd", "-v100k", (dir / "x.zip").string(), "daten", "klein.txt"},
                             dir / "src");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  return dir / "x.zip.001";
}

fs::path MakeOwnSet(const TempDir& dir) {
  WriteSources(dir);
  kx::KxZip zip;
  zip.ZipFile = (dir / "satz.001").string();
  zip.FileSpec = (dir / "src/daten").string() + " " + (dir / "src/klein.txt").string();
  zip.StorePaths = 2;
  zip.MultiVolume = true;
  zip.VolumeSize = 100000;
  EXPECT_EQ(kx::AddFiles(zip), kx::rc::Ok);
  return dir / "satz.001";
}

fs::path Volume(const fs::path& first, int number) {
  return kx::SplitSet::VolumeName(first.string(), number);
}

// Every event a KxZip sends, errors (MsgType != 0) and prompts apart.
struct Recorder {
  std::vector<kx::ProgressEvent> errors;
  std::vector<kx::PromptEvent> prompts;
  std::function<void(kx::PromptEvent&)> answer;

  void Attach(kx::KxZip& zip) {
    zip.Progress = [this](kx::ProgressEvent& e) {
      if (e.MsgType != 0) errors.push_back(e);
    };
    zip.Prompt = [this](kx::PromptEvent& e) {
      if (answer) answer(e);
      prompts.push_back(e);
    };
  }
};

struct SetMaker {
  const char* label;
  fs::path (*make)(const TempDir&);
};

class SplitRead : public ::testing::TestWithParam<SetMaker> {};

TEST_P(SplitRead, IdentifiedListedTestedAndExtractedAsOneArchive) {
  TempDir dir;
  const fs::path first = GetParam().make(dir);
  ASSERT_TRUE(fs::exists(Volume(first, 3))) << "the set should have three volumes";
  ASSERT_FALSE(fs::exists(Volume(first, 4)));

  std::int16_t kind = 0;
  EXPECT_EQ(KxIdentifyFile(first.string(), kind), kx::rc::Ok);
  EXPECT_EQ(kind, kx::kind::SplitFirst);
  EXPECT_EQ(KxIdentifyFile(Volume(first, 2).string(), kind), kx::rc::Ok);
  EXPECT_EQ(kind, kx::kind::SplitLater);

  // Listed through the first and through a later volume alike.
  for (const fs::path& named : {first, Volume(first, 3)}) {
    kx::KxZip zip;
    Recorder rec;
    rec.Attach(zip);
    zip.ZipFile = named.string();
    zip.SetAction(kx::action::ReadDirectory);
    ASSERT_EQ(zip.LastResult(), kx::rc::Ok) << named;
    std::map<std::string, std::uint64_t> listed;
    for (int i = 0; i < zip.EntryCount(); ++i) {
      zip.SetEntryIndex(i);
      if (!zip.Entry()->isFolder) listed[zip.EntryName()] = zip.Entry()->size;
    }
    std::map<std::string, std::uint64_t> expected;
    for (const auto& [name, content] : kFiles) expected[name] = content.size();
    EXPECT_EQ(listed, expected) << named;
    EXPECT_TRUE(rec.errors.empty());
  }

  kx::KxZip zip;
  Recorder rec;
  rec.Attach(zip);
  zip.ZipFile = first.string();
  zip.SetAction(kx::action::Test);
  EXPECT_EQ(zip.LastResult(), kx::rc::Ok);
  zip.TargetDir = (dir / "aus").string();
  zip.SetAction(kx::action::Extract);
  EXPECT_EQ(zip.LastResult(), kx::rc::Ok);
  EXPECT_EQ(kxwt::Files(dir / "aus"), kFiles);
  EXPECT_TRUE(rec.errors.empty());
  EXPECT_TRUE(rec.prompts.empty());

  // The quick extraction is flat without switches.
  ASSERT_EQ(KxQUnZip(first.string(), (dir / "flach").string(), "", ""), kx::rc::Ok);
  EXPECT_EQ(kxwt::Files(dir / "flach"),
            (Files{{"zufall.bin", kFiles.at("daten/zufall.bin")},
                   {"text.txt", kFiles.at("daten/text.txt")},
                   {"klein.txt", "klein"}}));
}

INSTANTIATE_TEST_SUITE_P(Sets, SplitRead,
                         ::testing::Values(SetMaker{"sevenzip", &Make7zzSet}, SetMaker{"own", &MakeOwnSet}),
                         [](const auto& info) { return std::string(info.param.label); });

// A missing middle volume, asked for in every action that reads the set.
struct MissingRow {
  const char* label;
  std::int16_t action;
  bool restore;   // put the volume back and reply Ok, else reply Cancel
};

class SplitMissingVolume : public ::testing::TestWithParam<MissingRow> {};

TEST_P(SplitMissingVolume, AskedForByNumberOkRetriesCancelNamesIt) {
  for (const SetMaker& maker : {SetMaker{"sevenzip", &Make7zzSet}, SetMaker{"own", &MakeOwnSet}}) {
    SCOPED_TRACE(maker.label);
    TempDir dir;
    const fs::path first = maker.make(dir);
    const fs::path middle = Volume(first, 2);
    fs::rename(middle, dir / "beiseite");

    kx::KxZip zip;
    Recorder rec;
    rec.Attach(zip);
    rec.answer = [&](kx::PromptEvent& e) {
      if (GetParam().restore) {
        fs::rename(dir / "beiseite", middle);
        e.Reply = kx::reply::Ok;
      } else {
        e.Reply = kx::reply::Cancel;
      }
    };
    zip.ZipFile = first.string();
    zip.TargetDir = (dir / "aus").string();
    zip.SetAction(GetParam().action);

    ASSERT_EQ(rec.prompts.size(), 1u);
    EXPECT_EQ(rec.prompts[0].MsgType, kx::prompt::InsertDisk);
    EXPECT_EQ(rec.prompts[0].DiskNum, 2);
    EXPECT_EQ(rec.prompts[0].FileName, middle.string());
    if (GetParam().restore) {
      EXPECT_EQ(zip.LastResult(), kx::rc::Ok);
      EXPECT_TRUE(rec.errors.empty());
      if (GetParam().action == kx::action::ReadDirectory) {
        EXPECT_GE(zip.EntryCount(), 3);
      }
      if (GetParam().action == kx::action::Extract) {
        EXPECT_EQ(kxwt::Files(dir / "aus"), kFiles);
      }
    } else {
      EXPECT_EQ(zip.LastResult(), kx::rc::FileNotFound);
      ASSERT_EQ(rec.errors.size(), 1u) << "one failure, one message";
      EXPECT_EQ(rec.errors[0].FileName, middle.string());
      EXPECT_EQ(rec.errors[0].MsgType, zip.LastResult());
      EXPECT_FALSE(fs::exists(dir / "aus" / "klein.txt"));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, SplitMissingVolume,
                         ::testing::Values(MissingRow{"list_ok", kx::action::ReadDirectory, true},
                                           MissingRow{"list_cancel", kx::action::ReadDirectory, false},
                                           MissingRow{"test_cancel", kx::action::Test, false},
                                           MissingRow{"extract_ok", kx::action::Extract, true},
                                           MissingRow{"extract_cancel", kx::action::Extract, false}),
                         [](const auto& info) { return std::string(info.param.label); });

// Damaged sets: the error event names a volume the damage concerns.
struct DamageRow {
  const char* label;
  std::function<void(const fs::path& first)> damage;
  std::vector<int> culprits;   // volume numbers the message may name
};

class SplitDamagedSet : public ::testing::TestWithParam<DamageRow> {};

TEST_P(SplitDamagedSet, OneErrorNamingTheVolumeNothingWritten) {
  for (const SetMaker& maker : {SetMaker{"sevenzip", &Make7zzSet}, SetMaker{"own", &MakeOwnSet}}) {
    SCOPED_TRACE(maker.label);
    TempDir dir;
    const fs::path first = maker.make(dir);
    GetParam().damage(first);
    for (const std::int16_t action : {kx::action::Test, kx::action::Extract}) {
      kx::KxZip zip;
      Recorder rec;
      rec.Attach(zip);
      zip.ZipFile = first.string();
      zip.TargetDir = (dir / "aus").string();
      zip.SetAction(action);
      EXPECT_EQ(zip.LastResult(), kx::rc::ArchiveError) << action;
      ASSERT_EQ(rec.errors.size(), 1u) << action;
      bool named = false;
      for (const int n : GetParam().culprits) named |= rec.errors[0].FileName == Volume(first, n).string();
      EXPECT_TRUE(named) << rec.errors[0].FileName;
      EXPECT_TRUE(rec.prompts.empty());
    }
    EXPECT_FALSE(fs::exists(dir / "aus") && !fs::is_empty(dir / "aus"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SplitDamagedSet,
    ::testing::Values(DamageRow{"truncated_middle_by_one_byte",
                                [](const fs::path& first) {
                                  const fs::path v = Volume(first, 2);
                                  fs::resize_file(v, fs::file_size(v) - 1);
                                },
                                {2}},
                      DamageRow{"first_two_swapped",
                                [](const fs::path& first) {
                                  const fs::path a = Volume(first, 1), b = Volume(first, 2);
                                  const fs::path t = first.parent_path() / "tausch";
                                  fs::rename(a, t);
                                  fs::rename(b, a);
                                  fs::rename(t, b);
                                },
                                {1, 2}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(SplitWrite, OwnSetIsPiecesOfVolumeSizeThatThePeersRead) {
  TempDir dir;
  const fs::path first = MakeOwnSet(dir);
  std::string whole;
  for (int n = 1; n <= 3; ++n) whole += ReadFile(Volume(first, n));
  EXPECT_EQ(fs::file_size(Volume(first, 1)), 100000u);
  EXPECT_EQ(fs::file_size(Volume(first, 2)), 100000u);
  EXPECT_LT(fs::file_size(Volume(first, 3)), 100000u);
  const auto t = kxtest::Run({"7zz", "t", first.string()});
  EXPECT_EQ(t.exitCode, 0) << t.output;
  EXPECT_NE(t.output.find("Files: 3"), std::string::npos) << t.output;
  WriteFile(dir / "ganz.zip", whole);
  EXPECT_TRUE(kxwt::UnzipTestOk(dir / "ganz.zip"));
  EXPECT_TRUE(kxwt::Leftovers(dir.path()).empty());
}

TEST(SplitWrite, ExistingSetRefusesAddAndDeleteTooSmallVolumeIsABadSwitch) {
  TempDir dir;
  const fs::path first = MakeOwnSet(dir);
  const std::string before = ReadFile(first);
  WriteFile(dir / "mehr.txt", "mehr");
  kx::KxZip zip;
  kxwt::Aim(zip, first, (dir / "mehr.txt").string());
  zip.MultiVolume = true;
  EXPECT_EQ(kx::AddFiles(zip), kx::rc::NotWithMultiVolume);
  zip.FileSpec = "daten/text.txt";
  EXPECT_EQ(kx::DeleteEntries(zip), kx::rc::NotWithMultiVolume);
  EXPECT_EQ(ReadFile(first), before);

  kxwt::Aim(zip, dir / "s.001", (dir / "mehr.txt").string());
  zip.VolumeSize = 100;
  EXPECT_EQ(kx::AddFiles(zip), kx::rc::BadSwitch);
  EXPECT_FALSE(fs::exists(dir / "s.001"));
}

}  // namespace
