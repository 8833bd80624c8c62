// The comment command, UU decoding and encoding checked with sharutils, and
// the start of zipexe, in the archive window with the scripted user.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include "app/program_state.h"
#include "app/utility.h"
#include "archive_window/archive_window.h"
#include "archive_window/comment_uu_commands.h"
#include "archive_window/window_fixture.h"
#include "settings/settings_dialog.h"
#include "support/scripted_user.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

class CommentUu : public kxtest::LoadedWindow {
 protected:
  void trigger(const char* name) { window_->command(name)->trigger(); }
  // The window is usable again and the hourglass gone, whatever happened.
  void expectIdle() {
    EXPECT_TRUE(window_->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }

  kxtest::ScriptedUserScope user_;
};

TEST(WithoutExtension, CutsAtTheFirstDotOfTheWholeText) {
  const struct { const char* name; const char* expected; } rows[] = {
      {"/daten/bild.gif", "/daten/bild"},
      {"/v1.2/a.txt", "/v1"},
      {"/daten/ohne_punkt", "/daten/ohne_punkt"},
      {"  /daten/a.b.c  ", "/daten/a"},
      {"/daten/name .txt", "/daten/name"},
      {"", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(WithoutExtension(row.name), row.expected) << row.name;
}

TEST_F(CommentUu, TheCommentIsEditedOnTheBemerkungPageAndWrittenToTheArchive) {
  trigger("mnuadateibemerkung");
  EXPECT_TRUE(user_->asked.empty()) << "an empty list opens nothing";

  const fs::path zip = dir_ / "mit bemerkung.zip";
  ASSERT_EQ(kxtest::Run({"python3", "-c",
                         "import sys, zipfile\nwith zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                         "    z.writestr('a.txt', 'a')\n    z.comment = b'alte Bemerkung'\n",
                         zip.string()}).exitCode, 0);
  ProgramState().CurrentArchive = Q(zip);
  window_->viewzip(ProgramState().CurrentArchive);
  user_->answerDialog([](QDialog& dialog) {
    auto& form = dynamic_cast<Form2&>(dialog);
    EXPECT_EQ(form.selectedTab(), "bemerkung");
    EXPECT_EQ(form.TextBemerkung->toPlainText(), "alte Bemerkung");
    form.TextBemerkung->setPlainText("Neue Bemerkung\nzweite Zeile");
    form.Command1[1]->click();
  });
  window_->Toolbar1_ButtonClick("dateibemerkung");

  EXPECT_TRUE(user_->allAnswersUsed());
  const kxtest::RunResult shown = kxtest::Run({"unzip", "-z", zip.string()});
  EXPECT_NE(shown.output.find("Neue Bemerkung\nzweite Zeile"), std::string::npos) << shown.output;
  EXPECT_EQ(kxtest::Run({"unzip", "-tq", zip.string()}).exitCode, 0);
  EXPECT_EQ(ProgramState().PendingComment, "Neue Bemerkung\nzweite Zeile");
}

TEST_F(CommentUu, EncodingIsReadBySharutilsUudecode) {
  const std::string data = kxtest::RandomBytes(10000);
  const struct { const char* source; const char* target; } rows[] = {
      {"Daten/bild.gif", "Daten/bild.uue"},
      {"v1.2/a.txt", "v1.uue"},   // the first dot of the whole path counts
      {"Daten/ohne punkt", "Daten/ohne punkt.uue"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.source);
    fs::create_directories((dir_ / row.source).parent_path());
    kxtest::WriteFile(dir_ / row.source, data);
    user_->answerFile(Q(dir_ / row.source));
    trigger("mnu_UUEncode");
    expectIdle();
    ASSERT_TRUE(fs::exists(dir_ / row.target));
    EXPECT_EQ(kxtest::Run({"uudecode", "-o", "zurück", (dir_ / row.target).string()}, dir_.path()).exitCode, 0);
    EXPECT_EQ(kxtest::ReadFile(dir_ / "zurück"), data);
  }
  EXPECT_EQ(user_->asked.size(), 3u) << "no message on success";
  EXPECT_EQ(user_->asked[0].title, "UU-Codieren");
  EXPECT_EQ(user_->asked[0].text, "Alle Dateien(*.*)|*.*");

  // A target that exists is replaced only when the user agrees.
  kxtest::WriteFile(dir_ / "Daten/bild.uue", "fremde Datei");
  user_->answerFile(Q(dir_ / "Daten/bild.gif")).answerMessage(0);
  trigger("mnu_UUEncode");
  EXPECT_EQ(user_->asked.back().text, "Die Datei '" + Q(dir_ / "Daten/bild.uue") +
                                          "' besteht bereits. Soll sie ersetzt werden?");
  EXPECT_EQ(kxtest::ReadFile(dir_ / "Daten/bild.uue"), "fremde Datei");
  EXPECT_TRUE(user_->allAnswersUsed());
}

TEST_F(CommentUu, DecodingWritesSharutilsUuencodeIntoTheFolderOfTheFile) {
  const std::string data = kxtest::RandomBytes(5000, 7) + "Grüße";
  kxtest::WriteFile(dir_ / "quelle.bin", data);
  const kxtest::RunResult encoded = kxtest::Run({"uuencode", "quelle.bin", "entpackt.bin"}, dir_.path());
  ASSERT_EQ(encoded.exitCode, 0);
  fs::create_directories(dir_ / "eingang");
  kxtest::WriteFile(dir_ / "eingang/paket.UUE", encoded.output);

  user_->answerFile(Q(dir_ / "eingang/paket.UUE"));
  trigger("mnu_UUDecode");
  expectIdle();
  EXPECT_EQ(kxtest::ReadFile(dir_ / "eingang/entpackt.bin"), data);
  ASSERT_EQ(user_->asked.size(), 1u) << "no message on success";
  EXPECT_EQ(user_->asked[0].title, "UU-Decodieren");
  EXPECT_EQ(user_->asked[0].text, "UUE Dateien(*.UUE)|*.UUE");
  EXPECT_EQ(QDir::currentPath(), Q(dir_ / "eingang")) << "the next dialog starts where this one ended";
}

TEST_F(CommentUu, FailuresAreToldOnceAndCancelDoesNothing) {
  kxtest::WriteFile(dir_ / "kaputt.UUE", "kein UU-Inhalt\n");
  const struct { const char* command; fs::path file; QString title; QString text; } rows[] = {
      {"mnu_UUDecode", dir_ / "kaputt.UUE", "UU-Entcodieren",
       "Die Datei " + Q(dir_ / "kaputt.UUE") + " konnte nicht decodiert werden."},
      {"mnu_UUEncode", dir_ / "fehlt.txt", "UU-Codieren",
       "Die Datei '" + Q(dir_ / "fehlt.txt") + "' konnte nicht verschlüsselt werden."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    user_->asked.clear();
    user_->answerFile(Q(row.file)).answerMessage(-1);
    trigger(row.command);
    expectIdle();
    ASSERT_EQ(user_->asked.size(), 2u);
    EXPECT_EQ(user_->asked[1].title, row.title);
    EXPECT_EQ(user_->asked[1].text, row.text);
    EXPECT_EQ(user_->asked[1].symbol, 2);

    user_->asked.clear();
    user_->answerFile("");
    trigger(row.command);
    EXPECT_EQ(user_->asked.size(), 1u) << "a cancelled dialog ends the command";
  }
  EXPECT_FALSE(fs::exists(dir_ / "fehlt.uue"));
  EXPECT_TRUE(user_->allAnswersUsed());
}

TEST_F(CommentUu, TheSelfExtractorIsStartedFromTheProgramFolder) {
  ASSERT_TRUE(window_->command("mnuexedatei")->isVisible()) << "kxsfx lies beside the program";
  trigger("mnuexedatei");
  ASSERT_EQ(user_->asked.size(), 1u);
  EXPECT_EQ(user_->asked[0].kind, "program");
  EXPECT_EQ(user_->asked[0].title, ProgramFolder() + "/zipexe");
  EXPECT_EQ(user_->asked[0].text, "") << "without arguments";
}

}  // namespace
}  // namespace kx
