// The command-line mode, run as a user would: the real program, headless,
// on archives made by the peers.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using kxtest::Run;
using kxtest::RunResult;

const std::string kProgram = std::string(KX_BIN_DIR) + "/kravix";

class CommandLine : public ::testing::Test {
 protected:
  RunResult kravix(std::vector<std::string> args) {
    args.insert(args.begin(), kProgram);
    return kxtest::Run(args, dir_.path(),
               {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=",
                "XDG_CONFIG_HOME=" + (dir_.path() / "config").string(),
                "XDG_DATA_HOME=" + (dir_.path() / "data").string()});
  }
  fs::path path(const std::string& name) const { return dir_ / name; }

  // a.zip holds a.txt and sub/b.txt, made by Info-ZIP's zip.
  void makeArchive() {
    kxtest::WriteFile(path("src/a.txt"), "Inhalt A\n");
    kxtest::WriteFile(path("src/sub/b.txt"), "Inhalt B\n");
    ASSERT_EQ(kxtest::Run({"zip", "-q", "-r", "../a.zip", "a.txt", "sub"}, path("src")).exitCode, 0);
  }

  kxtest::TempDir dir_;
};

TEST_F(CommandLine, HelpListsTheFormsAndSwitches) {
  const RunResult r = kravix({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  for (const char* word : {"/entpacken", "/unzip", "/zip", "-o", "-d", "-sPASSWORT", "-v"})
    EXPECT_NE(r.output.find(word), std::string::npos) << word;
}

TEST_F(CommandLine, WrongOrMissingSwitchesAreRejected) {
  makeArchive();
  const std::vector<std::vector<std::string>> lines = {
      {"/unzip", "a.zip", "out"},        // switch first: word 1 is the archive
      {"a.zip", "/UNZIP", "out"},        // switches are case-sensitive
      {"a.zip", "", "/zip", "x"},        // an empty word shifts the others
      {"a.zip", "/extract", "out"},
      {"missing.zip"},
  };
  for (const auto& line : lines) {
    const RunResult r = kravix(line);
    EXPECT_EQ(r.exitCode, 2) << line[0] << " " << line[1 % line.size()];
    EXPECT_NE(r.output.find("Falscher Parameter angegeben.\r\nSiehe 'Kommandozeilen Parameter' in Hilfedatei."),
              std::string::npos)
        << r.output;
  }
  EXPECT_FALSE(fs::exists(path("out")));
}

TEST_F(CommandLine, AFileThatIsNoArchiveCannotBeOpened) {
  kxtest::WriteFile(path("brief.txt"), "kein Archiv");
  RunResult r = kravix({path("brief.txt").string()});
  EXPECT_EQ(r.exitCode, 2);
  std::string upper = path("brief.txt").string();
  for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_NE(r.output.find("Kann die Datei " + upper + " nicht öffnen."), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Kravix - Kommandozeile..."), std::string::npos);

  // The same status when the engine finds out, extracting from or adding to it.
  for (const char* sw : {"/unzip", "/zip"}) {
    r = kravix({"brief.txt", sw, sw == std::string("/zip") ? "brief.txt" : path("out").string()});
    EXPECT_EQ(r.exitCode, 2) << sw;
    EXPECT_NE(r.output.find("Unbekannter Archivtyp."), std::string::npos) << r.output;
  }
}

TEST_F(CommandLine, UnzipExtractsAndNeverOverwritesWithoutO) {
  makeArchive();
  RunResult r = kravix({"a.zip", "/unzip", path("out").string(), "-d"});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(kxtest::ReadFile(path("out/a.txt")), "Inhalt A\n");
  EXPECT_EQ(kxtest::ReadFile(path("out/sub/b.txt")), "Inhalt B\n");

  kxtest::WriteFile(path("out/a.txt"), "geändert");
  r = kravix({"a.zip", "/unzip", path("out").string(), "-d"});
  EXPECT_EQ(kxtest::ReadFile(path("out/a.txt")), "geändert") << "overwritten without -o";

  r = kravix({"a.zip", "/unzip", path("out").string(), "-d", "-o"});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(kxtest::ReadFile(path("out/a.txt")), "Inhalt A\n");
}

TEST_F(CommandLine, EngineFailuresAreReportedInWordsWithAFailingStatus) {
  makeArchive();
  RunResult r = kravix({"fehlt.zip", "/unzip", path("out").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("Datei nicht gefunden."), std::string::npos) << r.output;

  r = kravix({"a.zip", "/unzip", path("out").string(), "-q"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("Falscher Kommandozeilen Schalter angegeben."), std::string::npos) << r.output;
}

TEST_F(CommandLine, ZipCreatesAnArchiveThePeersAccept) {
  kxtest::WriteFile(path("daten/eins.txt"), std::string(5000, 'x'));
  kxtest::WriteFile(path("daten/zwei.txt"), "zwei\n");
  const RunResult r = kravix({"neu.zip", "/zip", "daten/*.txt"});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const RunResult test = kxtest::Run({"unzip", "-t", path("neu.zip").string()});
  EXPECT_EQ(test.exitCode, 0) << test.output;
  EXPECT_NE(test.output.find("eins.txt"), std::string::npos);
  EXPECT_NE(test.output.find("zwei.txt"), std::string::npos);
}

// After /zip, each argument not starting with "-" is one file or pattern (the
// shell has already expanded *.txt); the others hold options.
TEST_F(CommandLine, ZipTakesEveryArgumentAsOneFileAndTheDashedOnesAsOptions) {
  kxtest::WriteFile(path("mit blank.txt"), "b");
  kxtest::WriteFile(path("eins.txt"), std::string(3000, 'e'));
  kxtest::WriteFile(path("sub/zwei.txt"), "z");
  const struct {
    std::vector<std::string> args;
    std::string listing;
  } rows[] = {
      {{"/zip", "mit blank.txt"}, "mit blank.txt\n"},
      {{"/zip", "eins.txt", "mit blank.txt", "-ex"}, "eins.txt\nmit blank.txt\n"},
      {{"/zip", "-r -p", "sub", "eins.txt"}, "sub/\nsub/zwei.txt\neins.txt\n"},
      {{"/zip", "*.txt"}, "eins.txt\nmit blank.txt\n"},
  };
  int n = 0;
  for (const auto& row : rows) {
    const std::string archive = "neu" + std::to_string(++n) + ".zip";
    std::vector<std::string> line = row.args;
    line.insert(line.begin(), archive);
    const RunResult r = kravix(line);
    EXPECT_EQ(r.exitCode, 0) << archive << ": " << r.output;
    EXPECT_EQ(kxtest::Run({"unzip", "-Z1", path(archive).string()}).output, row.listing) << archive;
  }
}

TEST_F(CommandLine, EntpackenWithoutADisplayTakesTheCancelAndWritesNothing) {
  makeArchive();
  const RunResult r = kravix({"\"" + path("a.zip").string() + "\"", "/entpacken"});
  EXPECT_EQ(r.exitCode, 3) << r.output;
  EXPECT_NE(r.output.find("Wählen Sie ein Verzeichnis zum Entpacken aus:"), std::string::npos) << r.output;
}

}  // namespace
