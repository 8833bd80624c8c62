// The desktop publication in a scratch XDG home, checked with the real
// freedesktop tools (desktop-file-validate, xdg-mime, gio behind it), its
// withdrawal through "&Deregistrierung...", and the extract action's command
// line run through the entry routine.
#include <QAction>
#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <map>

#include "app/entry.h"
#include "archive_window/archive_window.h"
#include "archive_window/window_fixture.h"
#include "platform/class_keys.h"
#include "settings/settings_store.h"
#include "shell/desktop_registration.h"
#include "shell/mimeapps_list.h"
#include "support/scripted_user.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using kxtest::ReadFile;
using kxtest::WriteFile;

const std::string kProgram = std::string(KX_BIN_DIR) + "/kravix";
QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

// Every file and folder under root with its bytes and change time; the
// program's own folders (key store, settings) are not the desktop's.
using Snapshot = std::map<std::string, std::pair<std::string, fs::file_time_type>>;
Snapshot Take(const fs::path& root) {
  Snapshot s;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    if (rel.starts_with("data/Kravix") || rel.starts_with("config/Kravix")) continue;
    s[rel] = {e.is_directory() ? "<dir>" : ReadFile(e.path()), fs::last_write_time(e.path())};
  }
  return s;
}
std::map<std::string, std::string> Bytes(const Snapshot& s) {
  std::map<std::string, std::string> out;
  for (const auto& [k, v] : s) out[k] = v.first;
  return out;
}

class DesktopRegistration : public ::testing::Test {
 protected:
  DesktopRegistration() {
    places_.dataHome = Q(home_ / "data");
    places_.configHome = Q(home_ / "config");
    places_.dataDirs = {"/usr/local/share", "/usr/share"};
    places_.configDirs = {"/etc/xdg"};
    places_.desktops = {"lxde"};
  }
  // xdg-mime as PCManFM's desktop runs it: types through gio, defaults
  // from the mimeapps.list files.
  std::string xdgMime(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdg-mime", "query"};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto r = kxtest::Run(argv, home_.path(),
                       {"HOME=" + home_.path().string(), "XDG_DATA_HOME=" + (home_ / "data").string(),
                        "XDG_CONFIG_HOME=" + (home_ / "config").string(), "XDG_CURRENT_DESKTOP=LXDE",
                        "DISPLAY=", "GIO_USE_VFS=local"});
    return r.output;
  }
  void publish() { PublishDesktopRegistration(QString::fromStdString(kProgram), places_); }
  void withdraw() { WithdrawDesktopRegistration(places_); }

  kxtest::TempDir home_;
  DesktopPlaces places_;
};

TEST_F(DesktopRegistration, FreshHomeIsPublishedOnceAndWithdrawnToNothing) {
  fs::create_directories(home_ / "work");
  const Snapshot before = Take(home_.path());
  publish();

  const auto validate = kxtest::Run({"desktop-file-validate", (home_ / "data/applications/kravix.desktop").string()});
  EXPECT_EQ(validate.exitCode, 0) << validate.output;
  EXPECT_EQ(validate.output, "");
  EXPECT_EQ(xdgMime({"default", "application/zip"}), "kravix.desktop\n");
  // Heads of real archives: ARC, a split ZIP's first part, ZIP, ZOO.
  const std::vector<std::tuple<std::string, std::string, std::string>> files = {
      {"a.arc", std::string("\x1a\x08A.TXT\0", 8), "application/x-arc\n"},
      {"a.001", std::string("PK\x07\x08PK\x03\x04\x14\0", 10), "application/x-zip-multivolume\n"},
      {"a.zip", std::string("PK\x03\x04\x14\0\0\0", 8), "application/zip\n"},
      {"a.zoo", "ZOO 2.10 Archive.\x1a\0\0\xdc\xa7\xc4\xfd", "application/x-zoo\n"},
  };
  for (const auto& [name, head, type] : files) {
    WriteFile(home_ / "work" / name, head);
    EXPECT_EQ(xdgMime({"filetype", (home_ / "work" / name).string()}), type) << name;
  }
  fs::remove_all(home_ / "work"), fs::create_directories(home_ / "work");

  // The extract action in each file manager's file: program, the file, the switch.
  const std::vector<std::pair<std::string, std::string>> actions = {
      {"data/kio/servicemenus/kravix-entpacken.desktop", "Exec=" + kProgram + " %f /entpacken\n"},
      {"data/nemo/actions/kravix-entpacken.nemo_action", "Exec=" + kProgram + " %F /entpacken\n"},
      {"data/file-manager/actions/kravix-entpacken.desktop", "Exec=" + kProgram + " %f /entpacken\n"},
      {"data/nautilus/scripts/Entpacken nach...", "  " + kProgram + " \"$f\" /entpacken\n"},
      {"data/applications/kravix.desktop", "Exec=" + kProgram + " %f\n"},
  };
  for (const auto& [file, line] : actions) EXPECT_NE(ReadFile(home_ / file).find(line), std::string::npos) << file;
  EXPECT_TRUE((fs::status(home_ / "data/nautilus/scripts/Entpacken nach...").permissions() & fs::perms::owner_exec) !=
              fs::perms::none);

  // A second start writes nothing, not even the same bytes again.
  const Snapshot once = Take(home_.path());
  publish();
  EXPECT_EQ(Take(home_.path()), once);

  withdraw();
  EXPECT_EQ(Bytes(Take(home_.path())), Bytes(before));
  EXPECT_FALSE(fs::exists(places_.recordPath().toStdString()));
}

TEST_F(DesktopRegistration, TheUsersDefaultAndLinesStayAndOnlyKravixsGo) {
  // Another archive program, the user's default for ZIP, with other lines
  // around and a MIME database of the user's own.
  WriteFile(home_ / "data/applications/other.desktop",
            "[Desktop Entry]\nType=Application\nName=Other\nExec=/bin/true %f\nMimeType=application/zip;\n");
  const std::string userList =
      "[Default Applications]\napplication/zip=other.desktop;\ntext/plain=vim.desktop;\n\n"
      "[Added Associations]\napplication/x-arj=other.desktop\n# mine\n";
  WriteFile(home_ / "config/mimeapps.list", userList);
  WriteFile(home_ / "data/mime/packages/mine.xml",
            "<?xml version=\"1.0\"?>\n<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">"
            "<mime-type type=\"text/x-mine\"><glob pattern=\"*.mine\"/></mime-type></mime-info>\n");
  ASSERT_EQ(kxtest::Run({"update-mime-database", (home_ / "data/mime").string()}).exitCode, 0);
  ASSERT_EQ(kxtest::Run({"update-desktop-database", (home_ / "data/applications").string()}).exitCode, 0);
  const Snapshot before = Take(home_.path());

  publish();
  EXPECT_EQ(xdgMime({"default", "application/zip"}), "other.desktop\n");
  EXPECT_EQ(xdgMime({"default", "application/x-arj"}), "kravix.desktop\n");
  MimeAppsList list(QString::fromStdString(ReadFile(home_ / "config/mimeapps.list")));
  EXPECT_EQ(list.values(mimeapps::kDefault, "application/zip"), QStringList{"other.desktop"});
  EXPECT_EQ(list.values(mimeapps::kAdded, "application/x-arj"), (QStringList{"other.desktop", "kravix.desktop"}));
  EXPECT_EQ(list.values(mimeapps::kAdded, "application/zip"), QStringList{"kravix.desktop"});
  EXPECT_EQ(list.values(mimeapps::kDefault, "text/plain"), QStringList{"vim.desktop"});

  withdraw();
  EXPECT_EQ(ReadFile(home_ / "config/mimeapps.list"), userList);
  EXPECT_EQ(Bytes(Take(home_.path())), Bytes(before));
}

TEST(MimeAppsListEdit, AnAdditionTakenBackGivesTheTextByteForByte) {
  const std::vector<std::string> texts = {
      "", "\n", "[Added Associations]\n", "[Added Associations]\nx/y=a.desktop\n\n[Other]\nk=v\n",
      "[Default Applications]\nx/y=a.desktop;\n", "no newline at the end", "[Added Associations]\nx/y=kravix.desktop;\n",
  };
  for (const auto& text : texts) {
    MimeAppsList list(QString::fromStdString(text));
    const MimeAppsEdit a = list.add(mimeapps::kAdded, "x/y", "kravix.desktop");
    const MimeAppsEdit d = list.add(mimeapps::kDefault, "x/z", "kravix.desktop");
    EXPECT_TRUE(list.values(mimeapps::kAdded, "x/y")->contains("kravix.desktop")) << text;
    list.remove(mimeapps::kDefault, "x/z", "kravix.desktop", d);
    if (a.changed) list.remove(mimeapps::kAdded, "x/y", "kravix.desktop", a);
    EXPECT_EQ(list.text().toStdString(), text);
  }
}

TEST(DesktopQuoting, ProgramPathsStayOneWord) {
  const std::vector<std::tuple<QString, QString, QString>> rows = {
      {"/usr/bin/kravix", "/usr/bin/kravix", "/usr/bin/kravix"},
      {"/opt/mit blank/kravix", "\"/opt/mit blank/kravix\"", "'/opt/mit blank/kravix'"},
      {"/opt/a\"b$c/k", "\"/opt/a\\\"b\\$c/k\"", "'/opt/a\"b$c/k'"},
      {"/opt/it's/k", "\"/opt/it's/k\"", "'/opt/it'\\''s/k'"},
      {"/opt/100%/k", "/opt/100%%/k", "'/opt/100%/k'"},
  };
  for (const auto& [path, exec, shell] : rows) {
    EXPECT_EQ(DesktopExecArgument(path), exec);
    EXPECT_EQ(ShellWord(path), shell);
  }
}

class Deregistration : public kxtest::FreshStart {};

TEST_F(Deregistration, AsksThenRemovesWhatWasWrittenAndTheNextStartWritesItAgain) {
  const DesktopPlaces places = DesktopPlaces::OfThisUser();
  const QString entry = places.dataHome + "/applications/kravix.desktop";
  for (const int answer : {0, -1}) {
    kxtest::ScriptedUserScope scope;
    auto window = std::make_unique<ArchiveWindow>();
    window->Form_Load();
    ASSERT_TRUE(QFile::exists(entry));
    scope->answerMessage(answer);
    window->command("mnuderegistrieung")->trigger();
    ASSERT_EQ(scope->asked.size(), 1u);
    EXPECT_EQ(scope->asked[0].text,
              "Diese Option entfernt die Kravix Registrierung aus der Registrierdatenbank von Windows 95. Es wird "
              "empfohlen dies vor der Deinstallation von Kravix durchzuführen. \r\nSoll die Deregistrierung jetzt "
              "vorgenommen werden?");
    EXPECT_EQ(scope->asked[0].symbol, 3);
    EXPECT_TRUE(window->isEnabled());
    const bool removed = answer == -1;
    EXPECT_EQ(QFile::exists(entry), !removed);
    EXPECT_EQ(QFile::exists(places.recordPath()), !removed);
    EXPECT_EQ(ClassKeyStore().storedDefault("Zipfile\\Shell\\Open\\command").has_value(), !removed);
    EXPECT_EQ(ClassKeyStore().storedDefault(".zip"), QString("Zipfile"));
    EXPECT_EQ(GetSetting(kAppName, "Startup", "Explorereintrag"), removed ? "0" : "");
  }
  ArchiveWindow().Form_Load();
  EXPECT_TRUE(QFile::exists(entry));
  EXPECT_EQ(ClassKeyStore().storedDefault("ZipMultivolume\\Shell\\Entpacken nach...\\command"),
            QCoreApplication::applicationFilePath() + " \"%1\" /entpacken");
  WithdrawDesktopRegistration();
}

TEST_F(Deregistration, TheFileManagersActionRunsTheCommandLineExtraction) {
  // An archive whose path has blanks, extracted as the action's Exec line
  // (program, the file as one word, the switch) hands it to the program.
  const fs::path folder = dir_ / "mit blank";
  WriteFile(folder / "src/a b.txt", "Inhalt\n");
  ASSERT_EQ(kxtest::Run({"zip", "-q", "../x y.zip", "a b.txt"}, folder / "src").exitCode, 0);
  DesktopPlaces places = DesktopPlaces::OfThisUser();
  PublishDesktopRegistration(QString::fromStdString(kProgram), places);
  const std::string menu = ReadFile(fs::path(places.dataHome.toStdString()) / "kio/servicemenus/kravix-entpacken.desktop");
  const std::string exec = menu.substr(menu.find("Exec=") + 5, menu.find('\n', menu.find("Exec=")) - menu.find("Exec=") - 5);
  QStringList words = QString::fromStdString(exec).split(' ');
  ASSERT_EQ(words.size(), 3) << exec;
  EXPECT_EQ(words.takeFirst().toStdString(), kProgram);
  words.replaceInStrings("%f", Q(folder / "x y.zip"));

  kxtest::ScriptedUserScope scope;
  scope->answerFolder(Q(dir_ / "ziel"));
  fs::create_directories(dir_ / "ziel");
  const EntryOutcome outcome = RunEntryRoutine(words);
  EXPECT_EQ(outcome.exitCode, exitcode::Success);
  EXPECT_EQ(ReadFile(dir_ / "ziel/a b.txt"), "Inhalt\n");
  WithdrawDesktopRegistration(places);
}

}  // namespace
}  // namespace kx
