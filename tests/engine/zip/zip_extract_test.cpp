// Actions 1, 6 and 7 against archives the peers make at test time: names,
// sizes, CRCs, German dates and times, the encrypted flag are listed as
// stored; contents, times and folders come out as packed; passwords, damage
// and every extract option change the result in a way a test can see.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <map>
#include <fcntl.h>
#include <sys/stat.h>

#include "engine/cancel.h"
#include "engine/functions/kx_quick.h"
#include "engine/kxzip.h"
#include "engine/read_directory.h"
#include "engine/zip/zip_extract.h"
#include "engine/raw_zip.h"
#include "engine/engine_fixture.h"

namespace {

using kxtest::ReadFile;
using kxtest::TempDir;
using kxtest::WriteFile;
using kxwt::Files;
using kxwt::Mtime;
using kxwt::SetMtime;
namespace fs = std::filesystem;

constexpr std::time_t kPackedTime = 1614834368;  // 2021-03-04 05:06:08 UTC

void MakeTree(const fs::path& src) {
  WriteFile(src / "text.txt", std::string(3000, 'k'));
  WriteFile(src / "leer.txt", "");
  WriteFile(src / "ordner/zufall.bin", kxtest::RandomBytes(70000, 9));
  WriteFile(src / "ordner/tief/innen.txt", "innen\n");
  fs::create_directories(src / "leerer_ordner");
  for (const char* f : {"text.txt", "leer.txt", "ordner/zufall.bin", "ordner/tief/innen.txt"}) {
    const struct timespec t[2] = {{kPackedTime, 0}, {kPackedTime, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (src / f).c_str(), t, 0), 0);
  }
}

struct PeerRow {
  const char* label;
  std::vector<std::string> argv;  // run in the source folder; "@" is the archive
};

class ZipExtractPeers : public ::testing::TestWithParam<PeerRow> {};

// German date and time texts of a moment, in local time as DOS stores it.
std::string GermanText(std::time_t t, const char* format) {
  std::tm tm {};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, format, &tm);
  return buf;
}

TEST_P(ZipExtractPeers, ListedTestedAndExtractedAsPacked) {
  TempDir dir;
  MakeTree(dir / "src");
  const fs::path archive = dir / "a.zip";
  std::vector<std::string> argv = GetParam().argv;
  for (auto& a : argv) if (a == "@") a = archive.string();
  const auto made = kxtest::Run(argv, dir / "src");
  ASSERT_EQ(made.exitCode, 0) << made.output;

  kx::KxZip zip;
  zip.ZipFile = archive.string();
  zip.FileSpec = "*.*";
  zip.TargetDir = (dir / "out/neu").string();  // made on the way
  zip.SetAction(kx::action::ReadDirectory);
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  std::map<std::string, int> index;
  for (int i = 0; i < zip.EntryCount(); ++i) {
    zip.SetEntryIndex(i);
    index[zip.EntryName()] = i;
  }
  for (const auto& [name, content] : Files(dir / "src")) {
    ASSERT_TRUE(index.count(name)) << name;
    zip.SetEntryIndex(index[name]);
    EXPECT_EQ(zip.EntrySize(), static_cast<std::int32_t>(content.size())) << name;
    EXPECT_EQ(static_cast<std::uint32_t>(zip.EntryCrc()), kxtest::Crc32(content)) << name;
    EXPECT_EQ(zip.EntryDate(), GermanText(kPackedTime, "%d.%m.%Y")) << name;
    EXPECT_EQ(zip.EntryTime(), GermanText(kPackedTime, "%H:%M:%S")) << name;
    EXPECT_FALSE(zip.EntryEncrypted());
    EXPECT_FALSE(zip.Entry()->isFolder);
  }
  zip.SetEntryIndex(index["text.txt"]);
  EXPECT_LT(zip.EntryPackedSize(), 100);  // 3000 equal bytes deflate to a few
  if (index.count("ordner/")) {
    zip.SetEntryIndex(index["ordner/"]);
    EXPECT_TRUE(zip.Entry()->isFolder);
    EXPECT_TRUE(zip.EntryAttributes() & kx::attr::Folder);
  }

  zip.SetAction(kx::action::Test);
  EXPECT_EQ(zip.LastResult(), kx::rc::Ok);
  EXPECT_FALSE(fs::exists(dir / "out"));  // testing writes nothing
  zip.SetAction(kx::action::Extract);
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  EXPECT_EQ(Files(dir / "out/neu"), Files(dir / "src"));
  EXPECT_NEAR(static_cast<double>(Mtime(dir / "out/neu/ordner/zufall.bin")), static_cast<double>(kPackedTime), 1.0);
  EXPECT_NEAR(static_cast<double>(Mtime(dir / "out/neu/leer.txt")), static_cast<double>(kPackedTime), 1.0);
  if (std::string(GetParam().label) != "python") {
    EXPECT_TRUE(fs::is_directory(dir / "out/neu/leerer_ordner"));
  }
  // Nothing of ours left behind.
  for (const auto& e : fs::recursive_directory_iterator(dir / "out"))
    EXPECT_EQ(e.path().filename().string().find(".kxtmp-"), std::string::npos) << e.path();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ZipExtractPeers,
    ::testing::Values(
        PeerRow{"zip", {"zip", "-q", "-r", "@", "."}},
        PeerRow{"sevenzip", {"7zz", "a", "-tzip", "-bd", "@", "."}},
        PeerRow{"bsdtar", {"bsdtar", "--format", "zip", "-cf", "@", "text.txt", "leer.txt", "ordner", "leerer_ordner"}},
        PeerRow{"python",
                {"python3", "-c",
                 "import sys,zipfile,os\n"
                 "z=zipfile.ZipFile(sys.argv[1],'w')\n"
                 "for root,dirs,files in sorted(os.walk('.')):\n"
                 "  for i,f in enumerate(sorted(files)):\n"
                 "    p=os.path.join(root,f)\n"
                 "    z.write(p, os.path.relpath(p), zipfile.ZIP_DEFLATED if i%2 else zipfile.ZIP_STORED)\n"
                 "z.close()",
                 "@"}}),
    [](const auto& info) { return std::string(info.param.label); });

struct PasswordRow {
  const char* label;
  std::vector<std::string> argv;  // packs geheim.txt into "@" with password "richtig"
};

class ZipPasswords : public ::testing::TestWithParam<PasswordRow> {};

TEST_P(ZipPasswords, RightPasswordExtractsWrongOrNoneIsWrongPassword) {
  TempDir dir;
  const std::string secret = kxtest::RandomBytes(3000, 2) + std::string(5000, 'x');
  WriteFile(dir / "geheim.txt", secret);
  std::vector<std::string> argv = GetParam().argv;
  for (auto& a : argv) if (a == "@") a = (dir / "g.zip").string();
  ASSERT_EQ(kxtest::Run(argv, dir.path()).exitCode, 0);

  kx::KxZip zip;
  kxwt::Aim(zip, dir / "g.zip", "", dir / "out");
  zip.SetAction(kx::action::ReadDirectory);  // listed without the password
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  ASSERT_EQ(zip.EntryCount(), 1);
  zip.SetEntryIndex(0);
  EXPECT_TRUE(zip.EntryEncrypted());
  EXPECT_EQ(zip.EntrySize(), static_cast<std::int32_t>(secret.size()));
  // AES entries show the real method, not the AES marker 99.
  EXPECT_EQ(zip.Entry()->method, std::string(GetParam().label).ends_with("stored") ? 0 : 8);
  for (const char* wrong : {"", "falsch", "Richtig"}) {
    zip.Password = wrong;
    EXPECT_EQ(kx::TestEntries(zip), kx::rc::WrongPassword) << wrong;
    EXPECT_EQ(kx::ExtractEntries(zip), kx::rc::WrongPassword) << wrong;
    EXPECT_FALSE(fs::exists(dir / "out/geheim.txt"));
  }
  EXPECT_TRUE(Files(dir / "out").empty());
  zip.Password = "richtig";
  EXPECT_EQ(kx::TestEntries(zip), kx::rc::Ok);
  ASSERT_EQ(kx::ExtractEntries(zip), kx::rc::Ok);
  EXPECT_EQ(ReadFile(dir / "out/geheim.txt"), secret);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ZipPasswords,
    ::testing::Values(PasswordRow{"zip_traditional", {"zip", "-q", "-P", "richtig", "@", "geheim.txt"}},
                      PasswordRow{"sevenzip_aes256", {"7zz", "a", "-tzip", "-mem=AES256", "-prichtig", "-bd", "@", "geheim.txt"}},
                      PasswordRow{"sevenzip_aes128", {"7zz", "a", "-tzip", "-mem=AES128", "-prichtig", "-bd", "@", "geheim.txt"}},
                      PasswordRow{"sevenzip_aes_stored", {"7zz", "a", "-tzip", "-mx0", "-mem=AES256", "-prichtig", "-bd", "@", "geheim.txt"}},
                      PasswordRow{"zip_traditional_stored", {"zip", "-q", "-0", "-P", "richtig", "@", "geheim.txt"}}),
    [](const auto& info) { return std::string(info.param.label); });

// Flips one byte a third into the archive: inside the first entry's data.
void Damage(const fs::path& archive) {
  std::string bytes = ReadFile(archive);
  bytes[bytes.size() / 3] ^= 0x55;
  WriteFile(archive, bytes);
}

struct BadRow {
  const char* label;
  std::function<void(const TempDir&)> make;  // dir/b.zip: b.bin first, then gut.txt
  std::string password;
  kx::Result result;  // of test and extract, and the code the message names b.bin with
  bool stops = false;  // a wrong password ends the action: nothing comes out
};

class ZipBadEntry : public ::testing::TestWithParam<BadRow> {};

// The code says what is wrong and b.bin's content never reaches its name:
// the older b.bin there stays as it was (overwriting allowed), no temporary
// file is left; unless the action stops there, a message names it and the
// good entry still comes out.
TEST_P(ZipBadEntry, ClearCodeAndNothingLeftOfIt) {
  TempDir dir;
  WriteFile(dir / "b.bin", std::string(40000, 'a') + kxtest::RandomBytes(20000, 6) + std::string(40000, 'b'));
  WriteFile(dir / "gut.txt", "gut");
  GetParam().make(dir);
  WriteFile(dir / "out/b.bin", "alt");
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "b.zip", "", dir / "out");
  zip.OverwriteMode = 1;
  zip.Password = GetParam().password;
  std::vector<kx::ProgressEvent> events;
  zip.Progress = [&](kx::ProgressEvent& e) { events.push_back(e); };
  zip.SetAction(kx::action::Test);
  EXPECT_EQ(zip.LastResult(), GetParam().result);
  zip.SetAction(kx::action::Extract);
  EXPECT_EQ(zip.LastResult(), GetParam().result);
  if (GetParam().stops) {
    EXPECT_EQ(Files(dir / "out"), (kxwt::FileMap{{"b.bin", "alt"}}));
    return;
  }
  EXPECT_EQ(Files(dir / "out"), (kxwt::FileMap{{"b.bin", "alt"}, {"gut.txt", "gut"}}));
  EXPECT_TRUE(std::any_of(events.begin(), events.end(), [&](const kx::ProgressEvent& e) {
    return e.MsgType == GetParam().result && e.FileName == "b.bin";
  }));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ZipBadEntry,
    ::testing::Values(
        BadRow{"deflated_crc",
               [](const TempDir& d) {
                 kxwt::Pack({"zip", "-q", "b.zip", "b.bin", "gut.txt"}, d.path());
                 Damage(d / "b.zip");
               },
               "", kx::rc::CrcError},
        BadRow{"stored_crc",
               [](const TempDir& d) {
                 kxwt::Pack({"zip", "-q", "-0", "b.zip", "b.bin", "gut.txt"}, d.path());
                 Damage(d / "b.zip");
               },
               "", kx::rc::CrcError},
        // After a traditional password a CRC error counts as a wrong password.
        BadRow{"traditional_damaged",
               [](const TempDir& d) {
                 kxwt::Pack({"zip", "-q", "-0", "-P", "pw", "b.zip", "b.bin", "gut.txt"}, d.path());
                 Damage(d / "b.zip");
               },
               "pw", kx::rc::WrongPassword, true},
        // 7-Zip's AES entries carry no CRC: their authentication code must catch damage.
        BadRow{"aes_damaged",
               [](const TempDir& d) {
                 kxwt::Pack({"7zz", "a", "-tzip", "-mem=AES256", "-ppw", "-bd", "b.zip", "b.bin", "gut.txt"}, d.path());
                 Damage(d / "b.zip");
               },
               "pw", kx::rc::CrcError},
        BadRow{"aes_stored_damaged",
               [](const TempDir& d) {
                 kxwt::Pack({"7zz", "a", "-tzip", "-mx0", "-mem=AES256", "-ppw", "-bd", "b.zip", "b.bin", "gut.txt"},
                            d.path());
                 Damage(d / "b.zip");
               },
               "pw", kx::rc::CrcError},
        BadRow{"unknown_method",
               [](const TempDir& d) {
                 kxtest::RawZip raw;
                 kxtest::RawEntry e = kxtest::FileEntry("b.bin", "xxxx");
                 e.method = 97;
                 raw.Add(e);
                 raw.Add(kxtest::FileEntry("gut.txt", "gut"));
                 WriteFile(d / "b.zip", raw.Finish());
               },
               "", kx::rc::UnknownMethod}),
    [](const auto& info) { return std::string(info.param.label); });

// A fixture for the option tests: three files in two folders, packed at kPackedTime.
struct OptionFixture {
  TempDir dir;
  kx::KxZip zip;
  OptionFixture() {
    MakeTree(dir / "src");
    EXPECT_EQ(kxtest::Run({"zip", "-q", "-r", (dir / "a.zip").string(), "."}, dir / "src").exitCode, 0);
    kxwt::Aim(zip, dir / "a.zip", "", dir / "out");
  }
  fs::path out(const std::string& name) const { return dir / "out" / name; }
};

struct SpecRow {
  const char* label;
  std::string spec;
  kx::Result result;
  std::vector<std::string> out;  // what comes out, folders ending in "/"
  bool restoreFolders = true;
};

class ZipFileSpec : public ::testing::TestWithParam<SpecRow> {};

TEST_P(ZipFileSpec, OnlyNamedEntriesComeOutWithOrWithoutFolders) {
  OptionFixture f;
  f.zip.FileSpec = GetParam().spec;
  f.zip.RestoreFolders = GetParam().restoreFolders;
  EXPECT_EQ(kx::ExtractEntries(f.zip), GetParam().result);
  EXPECT_EQ(kxwt::Listing(f.dir / "out"), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ZipFileSpec,
    ::testing::Values(SpecRow{"all", "*.*", kx::rc::Ok, {"leer.txt", "leerer_ordner/", "ordner/", "ordner/tief/",
                                                          "ordner/tief/innen.txt", "ordner/zufall.bin", "text.txt"}},
                      SpecRow{"empty", "", kx::rc::Ok, {"leer.txt", "leerer_ordner/", "ordner/", "ordner/tief/",
                                                        "ordner/tief/innen.txt", "ordner/zufall.bin", "text.txt"}},
                      SpecRow{"pattern", "*.txt", kx::rc::Ok,
                              {"leer.txt", "ordner/", "ordner/tief/", "ordner/tief/innen.txt", "text.txt"}},
                      SpecRow{"names", "text.txt \"ordner/zufall.bin\"", kx::rc::Ok, {"ordner/", "ordner/zufall.bin", "text.txt"}},
                      SpecRow{"folder", "ordner/tief/", kx::rc::Ok, {"ordner/", "ordner/tief/", "ordner/tief/innen.txt"}},
                      SpecRow{"question", "?eer.txt", kx::rc::Ok, {"leer.txt"}},
                      SpecRow{"none", "fehlt.txt", kx::rc::NoFiles, {}},
                      SpecRow{"flat", "", kx::rc::Ok, {"innen.txt", "leer.txt", "text.txt", "zufall.bin"}, false}),
    [](const auto& info) { return std::string(info.param.label); });

struct ModeRow {
  const char* label;
  std::int16_t extractMode;
  // What is on disk before: text.txt older than the entry, leer.txt newer,
  // ordner/zufall.bin missing. Which of the three the action replaces or makes:
  bool olderReplaced, newerReplaced, missingMade;
};

class ZipExtractModes : public ::testing::TestWithParam<ModeRow> {};

TEST_P(ZipExtractModes, AllFreshenUpdate) {
  OptionFixture f;
  f.zip.OverwriteMode = 1;
  f.zip.ExtractMode = GetParam().extractMode;
  WriteFile(f.out("text.txt"), "alt");
  SetMtime(f.out("text.txt"), kPackedTime - 86400);
  WriteFile(f.out("leer.txt"), "neuer");
  SetMtime(f.out("leer.txt"), kPackedTime + 86400);
  ASSERT_EQ(kx::ExtractEntries(f.zip), kx::rc::Ok);
  EXPECT_EQ(ReadFile(f.out("text.txt")) != "alt", GetParam().olderReplaced);
  EXPECT_EQ(ReadFile(f.out("leer.txt")) != "neuer", GetParam().newerReplaced);
  EXPECT_EQ(fs::exists(f.out("ordner/zufall.bin")), GetParam().missingMade);
}

INSTANTIATE_TEST_SUITE_P(Rows, ZipExtractModes,
                         ::testing::Values(ModeRow{"all", 0, true, true, true},
                                           ModeRow{"freshen", 1, true, false, false},
                                           ModeRow{"update", 2, true, false, true}),
                         [](const auto& info) { return std::string(info.param.label); });

struct OverwriteRow {
  const char* label;
  std::int16_t overwriteMode;
  std::int16_t reply;          // answer to each question (mode 0)
  kx::Result result;
  bool replaced;
  int questions;
};

class ZipOverwrite : public ::testing::TestWithParam<OverwriteRow> {};

TEST_P(ZipOverwrite, AskAlwaysNever) {
  OptionFixture f;
  f.zip.OverwriteMode = GetParam().overwriteMode;
  WriteFile(f.out("text.txt"), "alt");
  WriteFile(f.out("leer.txt"), "alt");
  std::vector<kx::PromptEvent> asked;
  f.zip.Prompt = [&](kx::PromptEvent& e) {
    asked.push_back(e);
    e.Reply = GetParam().reply;
  };
  f.zip.FileSpec = "text.txt leer.txt ordner/tief/innen.txt";
  f.zip.SetAction(kx::action::Extract);
  EXPECT_EQ(f.zip.LastResult(), GetParam().result);
  EXPECT_EQ(ReadFile(f.out("text.txt")) != "alt", GetParam().replaced);
  EXPECT_EQ(ReadFile(f.out("leer.txt")) != "alt", GetParam().replaced);
  ASSERT_EQ(static_cast<int>(asked.size()), GetParam().questions);
  if (!asked.empty()) {
    EXPECT_EQ(asked[0].MsgType, kx::prompt::Overwrite);
    EXPECT_EQ(asked[0].Operation, kx::action::Extract);
    EXPECT_EQ(asked[0].FileName, (f.dir / "out/text.txt").string());
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ZipOverwrite,
                         ::testing::Values(OverwriteRow{"ask_yes", 0, kx::reply::Yes, kx::rc::Ok, true, 2},
                                           OverwriteRow{"ask_no", 0, kx::reply::No, kx::rc::Ok, false, 2},
                                           OverwriteRow{"ask_cancel", 0, kx::reply::Cancel, kx::rc::Cancelled, false, 1},
                                           OverwriteRow{"always", 1, kx::reply::No, kx::rc::Ok, true, 0},
                                           OverwriteRow{"never", 2, kx::reply::Yes, kx::rc::Ok, false, 0}),
                         [](const auto& info) { return std::string(info.param.label); });

// A big entry: a cancel within it takes effect within a few megabytes and
// leaves nothing of it; events name each entry, come at least every few
// megabytes within a large one, and Percent grows over all bytes of the action.
TEST(ZipExtractProgress, EventsAndCancelWithinALargeEntry) {
  TempDir dir;
  WriteFile(dir / "a_klein.txt", "klein");
  WriteFile(dir / "gross.bin", kxtest::RandomBytes(24u << 20, 8));
  WriteFile(dir / "z_danach.txt", "danach");
  kxwt::Pack({"zip", "-q", "-1", "g.zip", "a_klein.txt", "gross.bin", "z_danach.txt"}, dir.path());
  for (const auto action : {kx::action::Extract, kx::action::Test}) {
    kx::KxZip zip;
    kxwt::Aim(zip, dir / "g.zip", "", dir / "out");
    int inBig = 0;
    zip.Progress = [&](kx::ProgressEvent& e) {
      if (e.FileName == "gross.bin" && ++inBig == 2) KxCancel();
    };
    zip.SetAction(action);
    EXPECT_EQ(zip.LastResult(), kx::rc::Cancelled);
    EXPECT_EQ(inBig, 2);
  }
  EXPECT_EQ(Files(dir / "out"), (kxwt::FileMap{{"a_klein.txt", "klein"}}));

  kx::KxZip zip;
  kxwt::Aim(zip, dir / "g.zip", "", dir / "all");
  std::vector<kx::ProgressEvent> events;
  zip.Progress = [&](kx::ProgressEvent& e) { events.push_back(e); };
  zip.SetAction(kx::action::Extract);
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  const auto big = std::count_if(events.begin(), events.end(), [](auto& e) { return e.FileName == "gross.bin"; });
  EXPECT_GE(big, 6);  // 24 MB, an event at least every 4 MB
  EXPECT_EQ(events.front().FileName, "a_klein.txt");
  int last = 0;
  for (const auto& e : events) {
    EXPECT_EQ(e.Operation, kx::action::Extract);
    EXPECT_EQ(e.MsgType, 0);
    EXPECT_GE(e.Percent, last);
    last = e.Percent;
  }
  EXPECT_GE(last, 80);
  EXPECT_EQ(ReadFile(dir / "all/gross.bin"), ReadFile(dir / "gross.bin"));
}

TEST(ZipExtract, QuickUnzipIsFlatAndNeverOverwritesWithoutSwitches) {
  OptionFixture f;
  WriteFile(f.out("text.txt"), "alt");
  ASSERT_EQ(KxQUnZip(f.zip.ZipFile, (f.dir / "out").string(), "", ""), kx::rc::Ok);
  EXPECT_EQ(ReadFile(f.out("text.txt")), "alt");
  EXPECT_EQ(ReadFile(f.out("innen.txt")), "innen\n");
  ASSERT_EQ(KxQUnZip(f.zip.ZipFile, (f.dir / "out").string(), "", "-d -o"), kx::rc::Ok);
  EXPECT_EQ(ReadFile(f.out("text.txt")), std::string(3000, 'k'));
  EXPECT_EQ(ReadFile(f.out("ordner/tief/innen.txt")), "innen\n");
}

}  // namespace
