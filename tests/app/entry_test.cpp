// The entry routine's two interactive paths, in this process: an archive
// named alone on the command line is listed, no arguments open the window.
#include "app/entry.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>

#include <gtest/gtest.h>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/window_fixture.h"

namespace kx {
namespace {

class EntryRoutine : public kxtest::FreshStart {
 protected:
  // The window unloads when closed; the next test loads a fresh one.
  static void Unload(ArchiveWindow& w) {
    w.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
};

TEST_F(EntryRoutine, AnArchiveAloneIsListedAndRemembered) {
  kxtest::WriteFile(dir_ / "src" / "eins.txt", "1");
  kxtest::WriteFile(dir_ / "src" / "zwei.txt", "2");
  ASSERT_EQ(kxtest::Run({"zip", "-q", "../Mit Blank.zip", "eins.txt", "zwei.txt"}, dir_ / "src").exitCode, 0);
  const QString archive = QString::fromStdString((dir_ / "Mit Blank.zip").string());

  // The words of the command line; a path with a blank is two of them.
  const EntryOutcome outcome = RunEntryRoutine(archive.split(' '));
  EXPECT_TRUE(outcome.runEventLoop);
  ArchiveWindow& w = TheArchiveWindow();
  EXPECT_EQ(w.windowTitle(), "Kravix - Archiv 'Mit Blank.zip' geöffnet");
  EXPECT_EQ(w.ListView1->rowCount(), 2);
  EXPECT_EQ(w.statusMessage(), "Letzte Nachricht - Archiv eingelesen...");
  EXPECT_EQ(ProgramState().CurrentArchive, archive);
  EXPECT_EQ(w.RecentArchive(1), archive);
  EXPECT_TRUE(w.command("mnudbmru(1)")->isVisible());
  Unload(w);
}

TEST_F(EntryRoutine, NoArgumentsOpenTheWindowWithoutAnArchive) {
  const EntryOutcome outcome = RunEntryRoutine({});
  EXPECT_TRUE(outcome.runEventLoop);
  ArchiveWindow& w = TheArchiveWindow();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowTitle(), "Kravix - kein Archiv geöffnet");
  Unload(w);
}

}  // namespace
}  // namespace kx
