// UU coding against the sharutils peers (uuencode, uudecode) both ways, the
// tolerated variants of the encoded form, and hostile inputs: names that point
// elsewhere, files or symlinks already at the target, truncated bodies and
// characters outside the alphabet.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "engine/functions/kx_uu.h"
#include "engine/uu/uucode.h"
#include "engine/engine_fixture.h"

namespace {

using kxtest::ReadFile;

using kxtest::TempDir;
using kxtest::WriteFile;
namespace fs = std::filesystem;

using kxwt::Listing;

struct RoundTrip {
  std::string name;
  std::size_t size;
};

class UuRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(UuRoundTrip, OursDecodedBySharutilsAndTheirsDecodedByUs) {
  const RoundTrip& row = GetParam();
  TempDir dir;
  fs::create_directory(dir / "in");
  fs::create_directory(dir / "ours");
  fs::create_directory(dir / "theirs");
  const std::string data = kxtest::RandomBytes(row.size, static_cast<unsigned>(row.size) + 3);
  WriteFile(dir / "in" / row.name, data);

  // Ours -> uudecode, and byte for byte what uuencode writes for the same file.
  std::int32_t written = -1;
  ASSERT_EQ(KxUUEncode((dir / "in" / row.name).string(), (dir / "ours.uue").string(), 0, 0, written), kx::rc::Ok);
  EXPECT_EQ(written, static_cast<std::int32_t>(fs::file_size(dir / "ours.uue")));
  ASSERT_EQ(kxtest::Run({"uudecode", "-o", (dir / "decoded").string(), (dir / "ours.uue").string()}).exitCode, 0);
  EXPECT_EQ(ReadFile(dir / "decoded"), data);
  ASSERT_EQ(::chmod((dir / "in" / row.name).c_str(), 0644), 0);
  const auto peer = kxtest::Run({"uuencode", (dir / "in" / row.name).string(), row.name});
  ASSERT_EQ(peer.exitCode, 0);
  EXPECT_EQ(ReadFile(dir / "ours.uue"), peer.output);

  // uuencode -> ours.
  WriteFile(dir / "theirs.uue", peer.output);
  std::string name;
  ASSERT_EQ(kx::UuDecodeFile((dir / "theirs.uue").string(), (dir / "theirs").string(), &name), kx::rc::Ok);
  EXPECT_EQ(name, row.name);
  EXPECT_EQ(ReadFile(dir / "theirs" / row.name), data);
  EXPECT_EQ(Listing(dir / "theirs"), std::vector<std::string>{row.name});
}

INSTANTIATE_TEST_SUITE_P(Sizes, UuRoundTrip,
                         ::testing::Values(RoundTrip{"leer.bin", 0}, RoundTrip{"eins", 1}, RoundTrip{"a44", 44},
                                           RoundTrip{"a45", 45}, RoundTrip{"a46", 46}, RoundTrip{"a90", 90},
                                           RoundTrip{"mit Leerzeichen.dat", 200},
                                           RoundTrip{"Größe äöü ß.txt", 1000},
                                           RoundTrip{"megabyte.bin", 1 << 20}));

// The same file in the variants other encoders and mail programs produce.
struct Variant {
  const char* label;
  std::string text;
};

const char kHello[] = "Hallo Welt\n";

std::string HelloClassic() {
  // printf 'Hallo Welt\n' | uuencode gruss.txt
  return "begin 644 gruss.txt\n+2&%L;&\\@5V5L=`H`\n`\nend\n";
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
  return s;
}

class UuVariant : public ::testing::TestWithParam<Variant> {};

TEST_P(UuVariant, DecodesToTheSameFile) {
  TempDir dir;
  WriteFile(dir / "in.uue", GetParam().text);
  fs::create_directory(dir / "out");
  ASSERT_EQ(KxUUDecode((dir / "in.uue").string(), (dir / "out").string()), kx::rc::Ok) << GetParam().label;
  EXPECT_EQ(ReadFile(dir / "out" / "gruss.txt"), kHello) << GetParam().label;
  EXPECT_EQ(Listing(dir / "out"), std::vector<std::string>{"gruss.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    Tolerated, UuVariant,
    ::testing::Values(Variant{"classic", HelloClassic()},
                      Variant{"crlf", Replace(HelloClassic(), "\n", "\r\n")},
                      Variant{"trailing blanks", Replace(HelloClassic(), "\n", "  \t\n")},
                      Variant{"blanks for zero", Replace(HelloClassic(), "`", " ")},
                      Variant{"missing padding", "begin 644 gruss.txt\n+2&%L;&\\@5V5L=`H\n`\nend\n"},
                      Variant{"no zero line", "begin 644 gruss.txt\n+2&%L;&\\@5V5L=`H`\nend\n"},
                      Variant{"text around", "From: jemand\nSubject: begin here\n\n" + HelloClassic() + "-- \nGruss\n"},
                      Variant{"mode 600", Replace(HelloClassic(), "644", "600")}),
    [](const auto& info) {
      std::string n = info.param.label;
      std::replace(n.begin(), n.end(), ' ', '_');
      return n;
    });

TEST(UuDecode, SeveralFilesInOneInput) {
  TempDir dir;
  WriteFile(dir / "a", "erste Datei");
  WriteFile(dir / "b", kxtest::RandomBytes(500));
  const auto a = kxtest::Run({"uuencode", (dir / "a").string(), "eins.txt"});
  const auto b = kxtest::Run({"uuencode", (dir / "b").string(), "zwei.bin"});
  WriteFile(dir / "both.uue", "Vorwort\n" + a.output + "\nZwischentext\n" + b.output);
  fs::create_directory(dir / "out");
  std::string last;
  ASSERT_EQ(kx::UuDecodeFile((dir / "both.uue").string(), (dir / "out").string(), &last), kx::rc::Ok);
  EXPECT_EQ(last, "zwei.bin");
  EXPECT_EQ(ReadFile(dir / "out" / "eins.txt"), "erste Datei");
  EXPECT_EQ(ReadFile(dir / "out" / "zwei.bin"), kxtest::RandomBytes(500));
}

TEST(UuDecode, EncodedModeNeverGivesSetIdOrWriteToOthers) {
  TempDir dir;
  WriteFile(dir / "in.uue", Replace(HelloClassic(), "644", "6777"));
  fs::create_directory(dir / "out");
  ASSERT_EQ(KxUUDecode((dir / "in.uue").string(), (dir / "out").string()), kx::rc::Ok);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "out" / "gruss.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
}

// Names pointing elsewhere are reduced to their last component; names with
// nothing usable left are refused. Nothing lands outside the target folder.
struct HostileName {
  const char* label;
  std::string name;
  kx::Result expected;
  std::string lands;  // file expected in the target folder, empty for none
};

class UuHostileName : public ::testing::TestWithParam<HostileName> {};

TEST_P(UuHostileName, StaysInsideTheTargetFolder) {
  const HostileName& row = GetParam();
  TempDir dir;
  fs::create_directories(dir / "deep" / "out");
  WriteFile(dir / "in.uue", Replace(HelloClassic(), "gruss.txt", row.name));
  EXPECT_EQ(KxUUDecode((dir / "in.uue").string(), (dir / "deep" / "out").string()), row.expected) << row.label;
  std::vector<std::string> expect = {"deep/", "deep/out/", "in.uue"};
  if (!row.lands.empty()) {
    expect.push_back("deep/out/" + row.lands);
    EXPECT_EQ(ReadFile(dir / "deep" / "out" / row.lands), kHello);
  }
  std::sort(expect.begin(), expect.end());
  EXPECT_EQ(Listing(dir.path()), expect) << row.label;
}

INSTANTIATE_TEST_SUITE_P(
    Names, UuHostileName,
    ::testing::Values(HostileName{"parent", "../x", kx::rc::Ok, "x"},
                      HostileName{"absolute", "/etc/x", kx::rc::Ok, "x"}, HostileName{"sub", "a/b", kx::rc::Ok, "b"},
                      HostileName{"backslash", "..\\..\\x", kx::rc::Ok, "x"},
                      HostileName{"dotdot", "..", kx::rc::ArchiveError, ""},
                      HostileName{"dotdot_after", "a/..", kx::rc::ArchiveError, ""},
                      HostileName{"dot", ".", kx::rc::ArchiveError, ""},
                      HostileName{"trailing_slash", "x/", kx::rc::ArchiveError, ""},
                      HostileName{"empty", "", kx::rc::ArchiveError, ""},
                      HostileName{"temporary_prefix", "x/.kxuu-00000000.tmp", kx::rc::ArchiveError, ""},
                      HostileName{"nul", std::string("a\0b", 3), kx::rc::ArchiveError, ""}),
    [](const auto& info) { return std::string(info.param.label); });

// Files, links and dangling links already at a decoded name are left alone;
// later files of the same input still come out.
TEST(UuDecode, NeverOverwritesOrFollowsALinkAndLaterFilesStillCome) {
  TempDir dir;
  fs::create_directory(dir / "out");
  WriteFile(dir / "out" / "da.txt", "schon da");
  WriteFile(dir / "victim", "unberuehrt");
  fs::create_symlink(dir / "victim", dir / "out" / "gruss.txt");
  fs::create_symlink(dir / "nowhere", dir / "out" / "dangling.txt");
  WriteFile(dir / "in.uue", HelloClassic() + Replace(HelloClassic(), "gruss.txt", "da.txt") +
                                Replace(HelloClassic(), "gruss.txt", "dangling.txt") +
                                Replace(HelloClassic(), "gruss.txt", "neu.txt"));
  EXPECT_EQ(KxUUDecode((dir / "in.uue").string(), (dir / "out").string()), kx::rc::AccessDenied);
  EXPECT_EQ(ReadFile(dir / "out" / "da.txt"), "schon da");
  EXPECT_EQ(ReadFile(dir / "victim"), "unberuehrt");
  EXPECT_FALSE(fs::exists(dir / "nowhere"));
  EXPECT_TRUE(fs::is_symlink(dir / "out" / "gruss.txt"));
  EXPECT_EQ(ReadFile(dir / "out" / "neu.txt"), kHello);
  EXPECT_EQ(Listing(dir / "out"), (std::vector<std::string>{"da.txt", "dangling.txt", "gruss.txt", "neu.txt"}));
}

// Broken inputs: a clear code and no partial file left behind.
struct Broken {
  const char* label;
  std::string text;
  kx::Result expected;
  std::vector<std::string> kept;  // complete files before the broken one
};

class UuBroken : public ::testing::TestWithParam<Broken> {};

TEST_P(UuBroken, RefusedWithoutLeavingAPartialFile) {
  TempDir dir;
  fs::create_directory(dir / "out");
  WriteFile(dir / "in.uue", GetParam().text);
  EXPECT_EQ(KxUUDecode((dir / "in.uue").string(), (dir / "out").string()), GetParam().expected);
  EXPECT_EQ(Listing(dir / "out"), GetParam().kept);
}

std::string BigEncoded() {
  // 4500 bytes, 100 full lines: a cut in the middle leaves a real partial file.
  std::string body = "begin 644 gross.bin\n";
  for (int i = 0; i < 100; ++i) body += "M" + std::string(60, '!') + "\n";
  return body;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, UuBroken,
    ::testing::Values(Broken{"empty", "", kx::rc::ArchiveError},
                      Broken{"no_begin", "nur Text\nohne Kopf\n", kx::rc::ArchiveError},
                      Broken{"missing_end", "begin 644 gruss.txt\n+2&%L;&\\@5V5L=`H`\n`\n", kx::rc::ArchiveError},
                      Broken{"cut_in_body", BigEncoded(), kx::rc::ArchiveError},
                      Broken{"length_char_lowercase", "begin 644 gruss.txt\nk2&%L\n`\nend\n", kx::rc::ArchiveError},
                      Broken{"control_length_char", "begin 644 gruss.txt\n\x01" "2&%L\n`\nend\n", kx::rc::ArchiveError},
                      Broken{"high_byte_in_data", "begin 644 gruss.txt\n#\xff\xfe\xfd\xfc\n`\nend\n", kx::rc::ArchiveError},
                      Broken{"data_after_zero_line", "begin 644 gruss.txt\n`\n#86(`\nend\n", kx::rc::ArchiveError},
                      Broken{"complete_then_cut", HelloClassic() + BigEncoded(), kx::rc::ArchiveError, {"gruss.txt"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(UuFiles, MissingSourceOrFolderOrAFolderAsTargetGiveTheirCodes) {
  TempDir dir;
  WriteFile(dir / "a", "x");
  fs::create_directories(dir / "ziel.uue" / "drin");
  WriteFile(dir / "in.uue", HelloClassic());
  std::int32_t out = 7;
  EXPECT_EQ(KxUUEncode((dir / "fehlt").string(), (dir / "a.uue").string(), 0, 0, out), kx::rc::FileNotFound);
  EXPECT_EQ(out, 0);
  EXPECT_EQ(KxUUEncode(dir.path().string(), (dir / "a.uue").string(), 0, 0, out), kx::rc::FileNotFound);
  EXPECT_EQ(KxUUEncode((dir / "a").string(), (dir / "nicht" / "a.uue").string(), 0, 0, out), kx::rc::PathNotFound);
  EXPECT_EQ(KxUUDecode((dir / "fehlt.uue").string(), dir.path().string()), kx::rc::FileNotFound);
  EXPECT_EQ(KxUUDecode((dir / "in.uue").string(), (dir / "nicht").string()), kx::rc::PathNotFound);
  EXPECT_EQ(KxUUDecode((dir / "in.uue").string(), (dir / "a").string()), kx::rc::PathNotFound);
  EXPECT_EQ(KxUUEncode((dir / "a").string(), (dir / "ziel.uue").string(), 0, 0, out), kx::rc::AccessDenied);
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"a", "in.uue", "ziel.uue/", "ziel.uue/drin/"}));
}

TEST(UuFiles, EncodeReplacesAnOldTargetAndLeavesNoTemporaryFile) {
  TempDir dir;
  WriteFile(dir / "a.txt", kHello);
  WriteFile(dir / "a.uue", "alter Inhalt");
  std::int32_t out = 0;
  ASSERT_EQ(KxUUEncode((dir / "a.txt").string(), (dir / "a.uue").string(), 0, 0, out), kx::rc::Ok);
  EXPECT_EQ(ReadFile(dir / "a.uue"), Replace(HelloClassic(), "gruss.txt", "a.txt"));
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"a.txt", "a.uue"}));
}

}  // namespace
