// WorkExPacker and StartExPacker against the real packers, on archives made
// here: hostile names extracted, deleted and added exactly (checked with
// lsar), OverwriteMode at the target, questions of arc that would never end,
// packers that fail, are missing or cannot do the operation, and a cancel.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <fstream>

#include "app/program_state.h"
#include "engine/cancel.h"
#include "engine/formats/dos_test_util.h"
#include "engine/kxzip.h"
#include "packers/ex_packer.h"
#include "settings/settings_store.h"
#include "support/scripted_user.h"
#include "support/test_support.h"
#include "ui/progress_window.h"

namespace {

namespace fs = std::filesystem;
using kxtest::ReadFile;
using kxtest::Run;
using kxtest::WriteFile;

const std::vector<std::string> kHostile = {"-dash", "!bang", "@at", "a b", "q\"uote", "\xc3\xbcmlaut"};

std::vector<std::string> EngineNames(const fs::path& archive) {
  kx::KxZip zip;
  zip.ZipFile = archive.string();
  zip.SetAction(kx::action::ReadDirectory);
  std::vector<std::string> names;
  for (const auto& e : zip.Directory().entries) names.push_back(e.name);
  return names;
}

// An LHA archive of stored members (no LHA writer here).
void WriteLha(const fs::path& at, const std::vector<std::string>& names) {
  std::string a;
  for (const auto& n : names) a += kxtest::dos::LhaLevel0(n, n + " content\n");
  WriteFile(at, a + std::string(1, '\0'));
}

struct Fixture : ::testing::Test {
  kxtest::TempDir dir;
  kxtest::ScriptedUserScope user;
  fs::path src = dir / "src", target = dir / "ziel";

  void SetUp() override {
    fs::create_directories(src);
    for (const auto& n : kHostile) WriteFile(src / n, n + " content\n");
    WriteFile(src / "plain.txt", "plain.txt content\n");
    for (const char* key : {"ExPackerARJ", "ExPackerARC", "ExPackerLHA", "ExPackerZOO"})
      kx::SaveSetting(kx::kAppName, "Startup", key, "");
    kx::ProgramState().TargetFolder = QString::fromStdString(target.string());
    kx::ProgramState().Options = {};
  }
  // An archive of the hostile names and plain.txt, made by its own packer.
  fs::path Make(const std::string& format) {
    const fs::path a = dir / ("t." + format);
    std::vector<std::string> argv;
    if (format == "arj") argv = {"arj", "a", a.string(), "--"};
    if (format == "arc") argv = {"arc", "a", a.string()};
    for (auto n : kHostile) argv.push_back("./" + n);
    argv.push_back("plain.txt");
    if (format == "lzh") WriteLha(a, [] { auto v = kHostile; v.push_back("plain.txt"); return v; }());
    else EXPECT_EQ(kxtest::Run(argv, src).exitCode, 0);
    kx::ProgramState().CurrentArchive = QString::fromStdString(a.string());
    return a;
  }
  void Use(const char* key, const std::string& program) {
    kx::SaveSetting(kx::kAppName, "Startup", key, QString::fromStdString(program));
  }
};

struct Case {
  const char* name;
  const char* format;
  const char* key;
  const char* program;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Extracts : public Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Extracts, HostileNamesExactlyAndNothingElse) {
  const Case& c = GetParam();
  Make(c.format);
  Use(c.key, c.program);
  // nomarch clears the eighth bit of every name byte: no umlaut for it.
  const bool ascii = std::string(c.name) == "nomarch";
  QStringList wanted;  // every entry but plain.txt, as the listing names them
  for (const auto& n : EngineNames(kx::ProgramState().CurrentArchive.toStdString()))
    if (n != "plain.txt")
      wanted << QString::fromStdString(n);
  std::set<std::string> expected(kHostile.begin(), kHostile.end());
  if (ascii) {
    wanted.removeIf([](const QString& n) { return n.toStdString()[0] & 0x80; });
    expected.erase(kHostile.back());
  }
  ASSERT_EQ(wanted.size(), static_cast<qsizetype>(expected.size()));
  EXPECT_TRUE(kx::WorkExPacker(" e", wanted));
  std::set<std::string> got;
  for (const auto& e : fs::directory_iterator(target)) got.insert(e.path().filename().string());
  EXPECT_EQ(got, expected);
  for (const auto& n : expected) EXPECT_EQ(ReadFile(target / n), n + " content\n") << n;
  EXPECT_TRUE(user->asked.empty());
}

INSTANTIATE_TEST_SUITE_P(Packers, Extracts,
                         ::testing::Values(Case{"arj", "arj", "ExPackerARJ", "/usr/bin/arj"},
                                           Case{"arc", "arc", "ExPackerARC", "/usr/bin/arc"},
                                           Case{"nomarch", "arc", "ExPackerARC", "/usr/bin/nomarch"},
                                           Case{"lhasa", "lzh", "ExPackerLHA", "/usr/bin/lha"},
                                           Case{"unar_arj", "arj", "ExPackerARJ", "/usr/bin/unar"}),
                         [](const auto& info) { return std::string(info.param.name); });

class Changes : public Fixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Changes, DeleteThenAddHostileNames) {
  const Case& c = GetParam();
  const fs::path a = Make(c.format);
  Use(c.key, c.program);
  QStringList listed;
  for (const auto& n : EngineNames(a.string()))
    if (n != "plain.txt") listed << QString::fromStdString(n);
  ASSERT_TRUE(kx::WorkExPacker(" d", listed));
  EXPECT_EQ(kxtest::PeerNames(a), (std::set<std::string>{"plain.txt"}));
  // arj's own listing agrees with the other peer's.
  const bool arj = std::string(c.format) == "arj";
  if (arj) {
    const std::string listing = kxtest::Run({"arj", "l", a.string()}).output;
    EXPECT_NE(listing.find("plain.txt"), std::string::npos);
    for (const auto& n : kHostile) EXPECT_EQ(listing.find(n), std::string::npos) << n;
  }
  QStringList paths;
  for (const auto& n : kHostile) paths << QString::fromStdString((src / n).string());
  ASSERT_TRUE(kx::WorkExPacker("", paths));
  auto all = std::set<std::string>(kHostile.begin(), kHostile.end());
  all.insert("plain.txt");
  EXPECT_EQ(kxtest::PeerNames(a), all);
  if (arj) {
    const std::string listing = kxtest::Run({"arj", "l", a.string()}).output;
    for (const auto& n : all) EXPECT_NE(listing.find(n), std::string::npos) << n;
  }
  EXPECT_TRUE(user->asked.empty());
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().rfind(".kravix-", 0), std::string::npos);
}

TEST_F(Fixture, ArjAddsAFolderWithItsPathsOnce) {
  const fs::path a = Make("arj");
  fs::create_directories(src / "d" / "sub");
  WriteFile(src / "d" / "plain.txt", "1");
  WriteFile(src / "d" / "sub" / "plain.txt", "2");
  ASSERT_TRUE(kx::WorkExPacker(" a -e -r", QStringList{QString::fromStdString((src / "d").string())}));
  const auto names = kxtest::PeerNames(a);
  EXPECT_EQ(names.size(), 9u);
  EXPECT_TRUE(names.count("d/sub/plain.txt") && names.count("d/plain.txt") && names.count("plain.txt"));
}

INSTANTIATE_TEST_SUITE_P(Packers, Changes,
                         ::testing::Values(Case{"arj", "arj", "ExPackerARJ", ""}, Case{"arc", "arc", "ExPackerARC", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

struct OverwriteRow {
  const char* name;
  int mode;
  int answer;  // 0: nobody asked
  bool result;
  const char* content;
};
void PrintTo(const OverwriteRow& r, std::ostream* os) { *os << r.name; }
class Overwrites : public Fixture, public ::testing::WithParamInterface<OverwriteRow> {};

TEST_P(Overwrites, ExistingFileAtTheTarget) {
  const auto& r = GetParam();
  Make("arj");
  WriteFile(target / "plain.txt", "old");
  kx::ProgramState().Options.OverwriteMode = static_cast<std::int16_t>(r.mode);
  if (r.answer) user->answerBox(r.answer);
  EXPECT_EQ(kx::WorkExPacker(" e", QString("plain.txt")), r.result);
  EXPECT_EQ(ReadFile(target / "plain.txt"), r.content);
  ASSERT_EQ(user->asked.size(), r.answer ? 1u : 0u);
  if (r.answer) {
    EXPECT_EQ(user->asked[0].text, "Die Datei \"" + QString::fromStdString((target / "plain.txt").string()) +
                                       "\" existiert bereits. Überschreiben?");
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(target), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, Overwrites,
                         ::testing::Values(OverwriteRow{"always", 1, 0, true, "plain.txt content\n"},
                                           OverwriteRow{"never", 2, 0, true, "old"},
                                           OverwriteRow{"ask_yes", 0, kx::box::Yes, true, "plain.txt content\n"},
                                           OverwriteRow{"ask_no", 0, kx::box::No, true, "old"},
                                           OverwriteRow{"ask_cancel", 0, kx::box::Cancel, false, "old"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A watchdog: whatever hangs is cancelled after the bound, and the test fails.
struct Watchdog {
  QTimer timer;
  explicit Watchdog(int ms) {
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [] { KxCancel(); ADD_FAILURE() << "watchdog fired"; });
    timer.start(ms);
  }
};

TEST_F(Fixture, ArcQuestionsNeverHang) {
  const fs::path a = Make("arc");
  const std::string before = ReadFile(a);
  WriteFile(src / "averyverylongname.txt", "x");
  Watchdog dog(20000);
  user->answerMessage(-1).answerMessage(-1);
  // Refused before arc could ask.
  EXPECT_FALSE(kx::WorkExPacker("", QStringList{QString::fromStdString((src / "averyverylongname.txt").string())}));
  // arc itself asked: ended after its second question.
  const auto run = kx::StartExPacker({"arc", "a", a.string(), "./averyverylongname.txt"}, src.string(), {"(y/n)?"});
  EXPECT_TRUE(run.kept_asking);
  // An archive that holds a name twice makes arc ask before overwriting.
  std::string twice = before.substr(0, before.size() - 2) + before;
  WriteFile(a, twice);
  EXPECT_FALSE(kx::WorkExPacker(" e", QString("*.*")));
  ASSERT_EQ(user->asked.size(), 2u);
  EXPECT_TRUE(user->asked[0].text.contains("höchstens 12"));
  EXPECT_TRUE(user->asked[1].text.contains("Rückfrage"));
  EXPECT_FALSE(fs::exists(target / "plain.txt"));
}

TEST_F(Fixture, MissingFailingAndIncapablePackers) {
  const fs::path arj = Make("arj");
  Use("ExPackerARJ", "/nonexistent/arj");
  user->answerMessage(-1);
  EXPECT_FALSE(kx::WorkExPacker(" d", QString("plain.txt")));
  ASSERT_EQ(user->asked.size(), 1u);
  EXPECT_EQ(user->asked[0].title, "Nachicht");
  EXPECT_EQ(user->asked[0].symbol, 1);
  EXPECT_EQ(user->asked[0].text, "Das benötigte Programm zum Bearbeiten des Archivs " +
                                     QString::fromStdString(arj.string()) +
                                     " wurde falsch oder noch nicht angegeben. Bestimmen Sie im Menüpunkt "
                                     "'Einstellungen' in Registerkarte 'Externe Packer' das entsprechende Programm.");
  // A cut archive: arj fails, its words reach the message, nothing reaches the target.
  Use("ExPackerARJ", "");
  const std::string whole = ReadFile(arj);
  WriteFile(arj, whole.substr(0, whole.size() - 30));
  user->answerMessage(-1);
  EXPECT_FALSE(kx::WorkExPacker(" e", QString("*.*")));
  EXPECT_TRUE(user->asked.back().text.contains("Rückgabewert")) << user->asked.back().text.toStdString();
  EXPECT_TRUE(user->asked.back().text.contains("Letzte Ausgabe"));
  EXPECT_TRUE(fs::is_empty(target));
  // lhasa, chosen by the user, cannot delete: the message names who can, the archive stays.
  const fs::path lzh = Make("lzh");
  const std::string lzhBytes = ReadFile(lzh);
  Use("ExPackerLHA", "/usr/bin/lha");
  user->answerMessage(-1);
  EXPECT_FALSE(kx::WorkExPacker(" D", QString("plain.txt")));
  EXPECT_TRUE(user->asked.back().text.contains("jlha-utils"));
  EXPECT_TRUE(user->asked.back().text.contains("kxpack"));
  EXPECT_EQ(ReadFile(lzh), lzhBytes);
}

// With no packer chosen, each operation goes to the first program on PATH
// that can do it, and to kxpack beside the program when none can.
TEST_F(Fixture, ThePackerIsChosenPerOperation) {
  const QString own = kx::OwnPackerPath();
  ASSERT_FALSE(own.isEmpty()) << "kxpack is built beside the tests";
  using kx::ArchiveKind;
  using kx::packer::Operation;
  EXPECT_EQ(kx::PackerPathFor(ArchiveKind::Lha, Operation::Extract), "/usr/bin/lha");
  EXPECT_EQ(kx::PackerPathFor(ArchiveKind::Lha, Operation::Delete), own);
  EXPECT_EQ(kx::PackerPathFor(ArchiveKind::Zoo, Operation::Extract), "/usr/bin/unar");
  EXPECT_EQ(kx::PackerPathFor(ArchiveKind::Zoo, Operation::Add), own);
  EXPECT_EQ(kx::PackerPathFor(ArchiveKind::Arj, Operation::Add), "/usr/bin/arj");
  Use("ExPackerZOO", "/usr/bin/unar");
  EXPECT_EQ(kx::PackerPathFor(ArchiveKind::Zoo, Operation::Add), "/usr/bin/unar") << "the user's choice stands";
  // And kxpack really deletes from the LHA archive no other program here changes.
  const fs::path lzh = Make("lzh");
  ASSERT_TRUE(kx::WorkExPacker(" D", QString("plain.txt")));
  std::set<std::string> left(kHostile.begin(), kHostile.end());
  EXPECT_EQ(kxtest::PeerNames(lzh), left);
  EXPECT_TRUE(user->asked.empty());
}

std::string Children() {
  const std::string pid = std::to_string(::getpid());
  return ReadFile("/proc/" + pid + "/task/" + pid + "/children");
}

TEST_F(Fixture, CancelEndsThePackerAndKeepsTheArchive) {
  const fs::path a = Make("arj");
  const std::string before = ReadFile(a);
  WriteFile(src / "big.bin", kxtest::RandomBytes(32u << 20));
  Watchdog dog(60000);
  // "&Abbrechen" as soon as the packer runs (its progress window is up).
  QTimer clicker;
  QObject::connect(&clicker, &QTimer::timeout, [&clicker] {
    if (!kx::ProgressWindowLoaded() || !kx::TheProgressWindow().isVisible()) return;
    kx::TheProgressWindow().Command1->click();
    clicker.stop();
  });
  clicker.start(5);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(kx::WorkExPacker(" a -e -r", QString::fromStdString((src / "big.bin").string())));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(Children(), "");
  EXPECT_TRUE(ReadFile(a) == before);
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().rfind(".kravix-", 0), std::string::npos);
}

}  // namespace
