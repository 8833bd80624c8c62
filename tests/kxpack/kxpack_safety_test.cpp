// kxpack on hostile archives, failed updates and wrong command lines: clear
// messages, a non-zero exit, nothing written outside the target folder and
// an archive that a failed update leaves byte for byte as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "kxpack/kxpack_test_util.h"

namespace {

using namespace kxtest;
using namespace kxtest::kxpack;

// ---- hostile archives ------------------------------------------------------

struct Hostile {
  const char* label;
  const char* file;
  std::string bytes;
  int exit;
  const char* says;           // in the output
  bool dataFault = false;     // "t" finds it too (names are no business of a test)
  bool plantLink = false;     // target/sub is a link to the folder beside the target; "x" only
};

void PrintTo(const Hostile& row, std::ostream* os) { *os << row.label; }

class HostileArchives : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileArchives, RefusedWithNothingWrittenOutside) {
  const Hostile& row = GetParam();
  TempDir dir;
  WriteFile(dir / row.file, row.bytes);
  fs::create_directories(dir / "target");
  fs::create_directories(dir / "outside");
  if (row.plantLink) fs::create_directory_symlink(dir / "outside", dir / "target" / "sub");
  const std::vector<const char*> commands = row.plantLink ? std::vector<const char*>{"x"}
                                                         : std::vector<const char*>{"x", "e"};
  for (const char* command : commands) {
    const RunResult r = Kxpack({command, (dir / row.file).string()}, dir / "target");
    EXPECT_EQ(r.exitCode, row.exit) << command << ": " << r.output;
    EXPECT_NE(r.output.find(row.says), std::string::npos) << command << ": " << r.output;
    EXPECT_TRUE(fs::is_empty(dir / "outside")) << command;
    EXPECT_FALSE(HasTemporaries(dir / "target")) << command;
  }
  // Nothing beside the archive, the target and the folder outside it.
  std::set<std::string> top;
  for (const auto& e : fs::directory_iterator(dir.path())) top.insert(e.path().filename().string());
  EXPECT_EQ(top, (std::set<std::string>{row.file, "target", "outside"}));
  const RunResult t = Kxpack({"t", (dir / row.file).string()}, dir.path());
  EXPECT_EQ(t.exitCode != 0, row.dataFault) << t.output;
}

const std::string kData = "harmlos\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, HostileArchives,
    ::testing::Values(
        Hostile{"arc_climbing", "a.arc", ArcStored("../flucht", kData) + kArcEnd, 1, "unzulässiger Name"},
        Hostile{"arj_climbing_backslash", "a.arj", ArjArchive({{"..\\..\\flucht", kData}}), 1, "unzulässiger Name"},
        Hostile{"lha_climbing", "a.lzh", LhaLevel0("sub/../../flucht", kData) + std::string(1, '\0'), 1,
                "unzulässiger Name"},
        Hostile{"arj_absolute", "a.arj", ArjArchive({{"/tmp/abs", kData}}), 1, "absoluter Pfad"},
        Hostile{"planted_link", "a.lzh", LhaLevel0("sub/boese", kData) + std::string(1, '\0'), 1,
                "Verknüpfung oder Datei steht im Weg", false, true},
        Hostile{"lying_size", "a.arc", ArcMember(2, "luege", kData, Crc16(kData), 100) + kArcEnd, 1,
                "Daten beschädigt", true},
        Hostile{"bomb", "a.arc", ArcMember(2, "bombe", kData, Crc16(kData), 0xFFFFFFF0u) + kArcEnd, 1,
                "Daten beschädigt", true},
        Hostile{"crc", "a.arc", ArcMember(2, "falsch", kData, 0x1234) + kArcEnd, 1,
                "CRC-Fehler", true},
        Hostile{"unknown_method", "a.arc", ArcMember(11, "neu", kData, 0) + kArcEnd, 1,
                "Methode nicht unterstützt", true},
        Hostile{"garbled", "a.arj", ArjArchive({{"geheim", kData, 0x01}}), 1, "verschlüsselt", true},
        Hostile{"truncated", "a.arc", (ArcStored("kurz", kData) + kArcEnd).substr(0, 33), 2, "Archiv beschädigt", true},
        Hostile{"truncated_second", "a.arc", (ArcStored("eins", kData) + ArcStored("zwei", kData)).substr(0, 60), 2,
                "Archiv beschädigt", true},
        Hostile{"not_an_archive", "a.dat", std::string(300, 'x'), 2, "kein ARJ-, ARC-, LHA- oder ZOO-Archiv", true}),
    [](const auto& info) { return std::string(info.param.label); });

// A file already in the target stays as it is; the member is reported.
TEST(KxpackExtract, NeverReplacesAFile) {
  TempDir dir;
  WriteFile(dir / "a.arc", ArcStored("da.txt", kData) + ArcStored("neu.txt", kData) + kArcEnd);
  WriteFile(dir / "target/da.txt", "meins");
  const RunResult r = Kxpack({"x", (dir / "a.arc").string()}, dir / "target");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("da.txt: Datei existiert bereits"), std::string::npos) << r.output;
  EXPECT_TRUE(SameFiles(FilesUnder(dir / "target"), {{"da.txt", "meins"}, {"neu.txt", kData}}));
}

// Folder entries become folders (also empty ones) with paths, and nothing without.
TEST(KxpackExtract, MakesStoredFolders) {
  const std::string inner = ArcStored("A.TXT", kData) + kArcEnd;
  const std::vector<std::pair<const char*, std::string>> archives{
      {"f.arc", ArcMember(30, "DIR", inner, Crc16(inner), 0) + ArcMember(30, "LEER", kArcEnd, Crc16(kArcEnd), 0) + kArcEnd},
      {"f.lzh", LhaLevel0("DIR\\", "", "-lhd-") + LhaLevel0("DIR\\A.TXT", kData) + LhaLevel0("LEER\\", "", "-lhd-") +
                    std::string(1, '\0')}};
  for (const auto& [name, bytes] : archives) {
    SCOPED_TRACE(name);
    TempDir dir;
    WriteFile(dir / name, bytes);
    fs::create_directories(dir / "x");
    const RunResult x = Kxpack({"x", (dir / name).string()}, dir / "x");
    EXPECT_EQ(x.exitCode, 0) << x.output;
    EXPECT_TRUE(fs::is_directory(dir / "x/LEER"));
    EXPECT_TRUE(SameFiles(FilesUnder(dir / "x"), {{"DIR/A.TXT", kData}}));
    fs::create_directories(dir / "e");
    const RunResult e = Kxpack({"e", (dir / name).string()}, dir / "e");
    EXPECT_EQ(e.exitCode, 0) << e.output;
    std::set<std::string> made;
    for (const auto& entry : fs::directory_iterator(dir / "e")) made.insert(entry.path().filename().string());
    EXPECT_EQ(made, std::set<std::string>{"A.TXT"});
  }
}

// ---- failed updates ----------------------------------------------------------

struct FailedUpdate {
  const char* label;
  const char* archive;
  std::vector<std::string> args;  // after the archive
  const char* says;
};

void PrintTo(const FailedUpdate& row, std::ostream* os) { *os << row.label; }

class FailedUpdates : public ::testing::TestWithParam<FailedUpdate> {};

TEST_P(FailedUpdates, LeaveTheArchiveByteForByte) {
  const FailedUpdate& row = GetParam();
  TempDir dir;
  WriteTree(dir.path(), {{"eins.txt", "eins\n"}, {"ordner/zwei.txt", "zwei\n"}, {"Grüße.txt", "hallo\n"},
                         {"sehr_langer_name.txt", "lang\n"}, {"日本.txt", "nihon\n"}});
  ASSERT_EQ(::mkfifo((dir / "rohr").c_str(), 0600), 0);
  ASSERT_EQ(Kxpack({"a", row.archive, "eins.txt"}, dir.path()).exitCode, 0);
  const std::string before = ReadFile(dir / row.archive);
  std::vector<std::string> args{row.args[0], row.archive};
  args.insert(args.end(), row.args.begin() + 1, row.args.end());
  const RunResult r = Kxpack(args, dir.path());
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find(row.says), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("das Archiv bleibt unverändert"), std::string::npos) << r.output;
  EXPECT_EQ(ReadFile(dir / row.archive), before);
  EXPECT_FALSE(HasTemporaries(dir.path()));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FailedUpdates,
    ::testing::Values(
        FailedUpdate{"delete_missing", "x.lzh", {"d", "--", "eins.txt", "fehlt.txt"}, "fehlt.txt: Eintrag nicht gefunden"},
        FailedUpdate{"add_missing", "x.zoo", {"a", "ordner", "fehlt.txt"}, "fehlt.txt: Datei nicht gefunden"},
        FailedUpdate{"add_fifo", "x.arj", {"a", "ordner", "rohr"}, "rohr: keine gewöhnliche Datei"},
        FailedUpdate{"add_not_cp437", "x.lzh", {"a", "--", "日本.txt"}, "Codepage 437"},
        FailedUpdate{"arc_long_name", "x.arc", {"a", "sehr_langer_name.txt"}, "höchstens 12 Zeichen"},
        FailedUpdate{"arc_two_same_names", "x.arc", {"a", "eins.txt", "ordner/zwei.txt", "./eins.txt"},
                     "gleicher Eintragsname"},
        FailedUpdate{"add_climbing", "x.zoo", {"a", "--", "../eins.txt"}, "unzulässiger Name"}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- names and replacing -----------------------------------------------------

// Names after "--" are literal: a leading "-", blanks, umlauts (stored in
// code page 437, as the DOS programs read them).
TEST(KxpackNames, LiteralNamesWithUmlautsRoundTrip) {
  const std::map<std::string, std::string> files{
      {"-minus.txt", "minus\n"}, {"mit Leerzeichen.txt", "blank\n"}, {"Grüße/Äpfel.txt", "obst\n"}};
  for (const char* name : {"n.arj", "n.lzh", "n.zoo"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    WriteTree(dir / "src", files);
    const RunResult add = Kxpack({"a", name, "--", "-minus.txt", "mit Leerzeichen.txt", "Grüße"}, dir / "src");
    ASSERT_EQ(add.exitCode, 0) << add.output;
    const path archive = dir / "src" / name;
    EXPECT_EQ(Listed(archive), (std::vector<std::string>{"-minus.txt", "mit Leerzeichen.txt", "Grüße/Äpfel.txt"}));
    bool cp437 = false;
    for (const auto& item : Open(archive).layout.items) cp437 = cp437 || item.rawName.find("\x81\xe1") != std::string::npos;
    EXPECT_TRUE(cp437) << "ü and ß stored as the bytes 0x81 0xE1";

    fs::create_directories(dir / "out");
    const RunResult x = Kxpack({"x", archive.string(), "--", "-minus.txt", "Grüße/Äpfel.txt"}, dir / "out");
    EXPECT_EQ(x.exitCode, 0) << x.output;
    EXPECT_TRUE(SameFiles(FilesUnder(dir / "out"), {{"-minus.txt", "minus\n"}, {"Grüße/Äpfel.txt", "obst\n"}}));
    const RunResult l = Kxpack({"l", archive.string(), "--", "mit Leerzeichen.txt"}, dir.path());
    EXPECT_EQ(l.exitCode, 0);
    EXPECT_NE(l.output.find("1 Einträge"), std::string::npos) << l.output;
  }
}

// An entry of the same name makes way for the new file; the others stay.
TEST(KxpackAdd, ReplacesAnEntryOfTheSameName) {
  for (const char* name : {"r.arj", "r.arc", "r.lzh", "r.zoo"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    WriteTree(dir / "src", {{"a.txt", "alt\n"}, {"b.txt", "bleibt\n"}});
    ASSERT_EQ(Kxpack({"a", name, "a.txt", "b.txt"}, dir / "src").exitCode, 0);
    WriteFile(dir / "src/a.txt", "neu und länger\n");
    ASSERT_EQ(Kxpack({"a", name, "a.txt"}, dir / "src").exitCode, 0);
    EXPECT_EQ(Listed(dir / "src" / name), (std::vector<std::string>{"b.txt", "a.txt"}));
    fs::create_directories(dir / "out");
    ASSERT_EQ(Kxpack({"x", (dir / "src" / name).string()}, dir / "out").exitCode, 0);
    EXPECT_TRUE(SameFiles(FilesUnder(dir / "out"), {{"a.txt", "neu und länger\n"}, {"b.txt", "bleibt\n"}}));
  }
}

// Adding a folder that holds the archive leaves the archive out.
TEST(KxpackAdd, LeavesTheArchiveItselfOut) {
  TempDir dir;
  WriteTree(dir.path(), {{"f/a.txt", "a\n"}});
  ASSERT_EQ(Kxpack({"a", "f/self.lzh", "f"}, dir.path()).exitCode, 0);
  const RunResult again = Kxpack({"a", "f/self.lzh", "f"}, dir.path());
  EXPECT_EQ(again.exitCode, 0) << again.output;
  EXPECT_NE(again.output.find("das Archiv selbst"), std::string::npos) << again.output;
  EXPECT_EQ(Listed(dir / "f/self.lzh"), std::vector<std::string>{"f/a.txt"});
}

// ---- the command line --------------------------------------------------------

struct Call {
  std::vector<std::string> args;
  int exit;
  const char* says;
};

void PrintTo(const Call& row, std::ostream* os) {
  for (const auto& a : row.args) *os << a << ' ';
}

class CommandLines : public ::testing::TestWithParam<Call> {};

TEST_P(CommandLines, ExitStatusAndMessage) {
  TempDir dir;
  WriteTree(dir.path(), {{"da.txt", "x\n"}});
  ASSERT_EQ(Kxpack({"a", "da.arj", "da.txt"}, dir.path()).exitCode, 0);
  const RunResult r = Kxpack(GetParam().args, dir.path());
  EXPECT_EQ(r.exitCode, GetParam().exit) << r.output;
  EXPECT_NE(r.output.find(GetParam().says), std::string::npos) << r.output;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CommandLines,
    ::testing::Values(Call{{"--help"}, 0, "Aufruf: kxpack BEFEHL ARCHIV"},
                      Call{{}, 2, "Befehl und Archiv fehlen"},
                      Call{{"q", "da.arj"}, 2, "Unbekannter Befehl"},
                      Call{{"x"}, 2, "Das Archiv fehlt"},
                      Call{{"x", "da.arj", "-v"}, 2, "Unbekannter Schalter"},
                      Call{{"a", "da.arj"}, 2, "hinzugefügt werden"},
                      Call{{"l", "fehlt.arj"}, 2, "Archiv nicht gefunden"},
                      Call{{"a", "neu.txt", "da.txt"}, 2, "unbekannte Archivart"},
                      Call{{"t", "da.arj", "--", "-v"}, 1, "-v: Eintrag nicht gefunden"},
                      Call{{"l", "da.arj"}, 0, "da.txt"}));

}  // namespace
