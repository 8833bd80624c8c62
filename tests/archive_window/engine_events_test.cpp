#include "archive_window/engine_events.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>

#include <gtest/gtest.h>

#include "support/scripted_user.h"
#include "ui/progress_window.h"

namespace kx {
namespace {

ProgressEvent Event(std::int16_t operation, std::int16_t msgType, std::int16_t percent,
                    const char* file = "/tmp/Ordner/ReadMe.TXT", const char* archive = "/tmp/Daten.ZIP") {
  ProgressEvent e;
  e.Operation = operation;
  e.MsgType = msgType;
  e.Percent = percent;
  e.FileName = file;
  e.ZipFile = archive;
  return e;
}

TEST(ProgressHandler, WritesOperationAndLowerCaseFileNameAndMovesTheBar) {
  const std::pair<std::int16_t, const char*> rows[] = {
      {1, " Lesen..."},   {2, " Erstellen..."},   {3, " Bearbeiten..."}, {4, " Bearbeiten..."},
      {5, " Löschen..."}, {6, " Entpacken..."},   {7, " Testen..."},     {0, " Bearbeiten..."},
      {42, " Bearbeiten..."}, {-3, " Bearbeiten..."},
  };
  for (const auto& [op, text] : rows) {
    ProgressEvent e = Event(op, 0, 37);
    KxZip1_Progress(e);
    ASSERT_TRUE(ProgressWindowLoaded());
    EXPECT_EQ(TheProgressWindow().Label1->text(), QString(text) + "readme.txt") << op;
    EXPECT_EQ(TheProgressWindow().ProgressBar1->value(), 37);
  }
  ProgressEvent quoted = Event(6, 0, 100, "\"/tmp/Mit Blank.Doc\"");
  KxZip1_Progress(quoted);
  EXPECT_EQ(TheProgressWindow().Label1->text(), " Entpacken...mit blank.doc");
  CloseProgressWindow();
}

TEST(ProgressHandler, CancelAndNoFilesAreNotReported) {
  kxtest::ScriptedUserScope scope;  // any question would fail the test
  for (std::int16_t code : {0, -4, -7}) {
    ProgressEvent e = Event(6, code, 10);
    KxZip1_Progress(e);
    EXPECT_TRUE(ProgressWindowLoaded());
  }
  EXPECT_TRUE(scope->asked.empty());
  CloseProgressWindow();
}

TEST(ProgressHandler, AnErrorClosesTheWindowAndNamesTheArchive) {
  kxtest::ScriptedUserScope scope;
  scope->answerMessage(0);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ProgressEvent e = Event(7, -25, 50);
  KxZip1_Progress(e);
  EXPECT_FALSE(ProgressWindowLoaded());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the pointer is normal again";
  ASSERT_EQ(scope->asked.size(), 1u);
  EXPECT_EQ(scope->asked[0].text, "Fehler in Archiv 'daten.zip' : CRC mismatch; error in file");
  EXPECT_EQ(scope->asked[0].title, "Fehler");
  EXPECT_EQ(scope->asked[0].symbol, 2);
  EXPECT_EQ(e.MsgType, 0) << "the engine sees the error as handled";
}

TEST(ProgressHandler, AWrongPasswordGetsItsOwnInstruction) {
  kxtest::ScriptedUserScope scope;
  scope->answerMessage(0);
  ProgressEvent e = Event(6, -24, 0);
  KxZip1_Progress(e);
  EXPECT_FALSE(ProgressWindowLoaded());
  ASSERT_EQ(scope->asked.size(), 1u);
  EXPECT_EQ(scope->asked[0].text,
            "Sie haben ein falsches Passwort angegeben. Wiederholen Sie den Vorgang und geben Sie in "
            "Registerkarte 'Passwort' oder in der Kommandozeile das richtige Passwort ein.");
  EXPECT_EQ(scope->asked[0].title, "Sicherheitsabfrage");
  EXPECT_EQ(scope->asked[0].symbol, 1);
}

TEST(PromptHandler, EachKindAsksItsQuestionAndStoresTheButtonPressed) {
  struct Row {
    std::int16_t kind, operation, disk;
    int pressed;
    std::int16_t reply;
    const char* text;
    const char* title;
    BoxButtons buttons;
  };
  const Row rows[] = {
      {1, 6, 3, box::Ok, 1, "Bitte Diskette Nr.3 einlegen.", "Kravix", BoxButtons::OkCancel},
      {1, 6, 12, box::Cancel, 2, "Bitte Diskette Nr.12 einlegen.", "Kravix", BoxButtons::OkCancel},
      {2, 6, 0, box::Yes, 6, "Die Datei \"/tmp/a b.txt\" existiert bereits. Überschreiben?", "Kravix",
       BoxButtons::YesNoCancel},
      {2, 6, 0, box::No, 7, "Die Datei \"/tmp/a b.txt\" existiert bereits. Überschreiben?", "Kravix",
       BoxButtons::YesNoCancel},
      {2, 6, 0, box::Cancel, 2, "Die Datei \"/tmp/a b.txt\" existiert bereits. Überschreiben?", "Kravix",
       BoxButtons::YesNoCancel},
      {3, 2, 0, box::Ok, 1, "Bitte die letzte Diskette des Multivolumearchives einlegen.", "Kravix",
       BoxButtons::OkCancel},
      {9, 6, 0, box::Ok, -10000,
       "Got an unknown Prompt Op code: 6. Click 'Ok' to use the engine's default prompt for this operation "
       "or click 'Cancel' to abort",
       "Unknown Operation", BoxButtons::OkCancel},
      {9, -2, 0, box::Cancel, 2,
       "Got an unknown Prompt Op code:-2. Click 'Ok' to use the engine's default prompt for this operation "
       "or click 'Cancel' to abort",
       "Unknown Operation", BoxButtons::OkCancel},
  };
  for (const auto& r : rows) {
    kxtest::ScriptedUserScope scope;
    scope->answerBox(r.pressed);
    PromptEvent e;
    e.MsgType = r.kind;
    e.Operation = r.operation;
    e.DiskNum = r.disk;
    e.FileName = "/tmp/a b.txt";
    e.Reply = 99;
    KxZip1_Prompt(e);
    EXPECT_EQ(e.Reply, r.reply) << r.text;
    ASSERT_EQ(scope->asked.size(), 1u);
    EXPECT_EQ(scope->asked[0].text, r.text);
    EXPECT_EQ(scope->asked[0].title, r.title);
    EXPECT_EQ(scope->asked[0].buttons, r.buttons);
  }
}

}  // namespace
}  // namespace kx
