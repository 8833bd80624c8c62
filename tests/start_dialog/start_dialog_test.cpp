// frmStart over a real archive window: the recent archives read from the
// stored settings with their file times, the two kinds of new archive, every
// way out storing "StartForm", the drawn texts, and the interactive start
// deciding by "StartForm".
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTreeWidget>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "app/entry.h"
#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/window_fixture.h"
#include "settings/settings_store.h"
#include "start_dialog/file_facts.h"
#include "start_dialog/start_dialog.h"
#include "support/scripted_user.h"

namespace kx {
namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);

void SetTimes(const QString& file, LocalDateTime accessed, LocalDateTime modified) {
  auto seconds = [](LocalDateTime t) {
    std::tm tm{t.second, t.minute, t.hour, t.day, t.month - 1, t.year - 1900};
    tm.tm_isdst = -1;
    return std::mktime(&tm);
  };
  const timespec times[2] = {{seconds(accessed), 0}, {seconds(modified), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.toUtf8().constData(), times, 0), 0);
}

// A click on the item at rect, followed by a double-click when twice.
void Click(QAbstractItemView* view, QRect rect, bool twice = false) {
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
  if (twice) QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

QString StoredStartForm() { return GetSetting(kAppName, "Startup", "StartForm", "(fehlt)"); }

class StartDialog : public kxtest::FreshStart {
 protected:
  void TearDown() override {
    TheArchiveWindow().close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    FreshStart::TearDown();
  }
  // A real archive made by Info-ZIP zip, stored as recent archive `key`.
  QString recent(int key, const std::string& name) {
    kxtest::WriteFile(dir_ / "src" / "inhalt.txt", name);
    EXPECT_EQ(kxtest::Run({"zip", "-q", "../" + name, "inhalt.txt"}, dir_ / "src").exitCode, 0);
    const QString path = QString::fromStdString((dir_ / name).string());
    SaveSetting(kAppName, "Startup", QString::number(key), path);
    return path;
  }
  // Shows the dialog over the window; `act` plays the user, `then` scripts
  // the answers of what follows.
  void run(std::function<void(FrmStart&)> act, std::function<void()> then = {}) {
    user_->answerDialog([act](QDialog& d) { act(static_cast<FrmStart&>(d)); });
    if (then) then();
    ShowStartDialog(TheArchiveWindow());
  }
  kxtest::ScriptedUserScope user_;
};

TEST_F(StartDialog, WithoutRecentArchivesItOpensOnNewArchiveAndHandsOnTheFilter) {
  struct Row { bool vanishedEntry; int kind; bool doubleClick; const char* filter; };
  for (const Row& row : {Row{false, 0, false, "Zip Archiv (*.ZIP)|*.ZIP"},
                         Row{true, 1, false, "ZipMultivolume (*.001)|*.001"},
                         Row{false, 1, true, "ZipMultivolume (*.001)|*.001"}}) {
    kxtest::ForgetEverythingStored();
    if (row.vanishedEntry) SaveSetting(kAppName, "Startup", "2", QString::fromStdString((dir_ / "weg.zip").string()));
    run([&](FrmStart& d) {
      EXPECT_EQ(d.ListView1->topLevelItemCount(), 0);
      EXPECT_EQ(d.TabStrip1->currentIndex(), 1);
      EXPECT_FALSE(d.TabStrip1->isEnabled());
      EXPECT_EQ(d.lists_->currentWidget(), d.ListView2);
      EXPECT_TRUE(d.Label1->text().startsWith("Erstellen Sie ein normales Zip Archiv"));
      ASSERT_EQ(d.ListView2->count(), 2);
      EXPECT_EQ(d.ListView2->item(0)->text() + "|" + d.ListView2->item(1)->text(), "Zip Archiv|Zip Multivolume");
      EXPECT_EQ(d.ListView2->currentRow(), 0);
      EXPECT_FALSE(d.ssCheck1->isChecked());
      d.ListView2->doItemsLayout();  // icon views place their items late
      Click(d.ListView2, d.ListView2->visualItemRect(d.ListView2->item(row.kind)), row.doubleClick);
      if (!row.doubleClick) d.Command1[1]->click();
      EXPECT_FALSE(d.isVisible());
    }, [&] { user_->answerFile(""); });  // the new archive's file dialog: cancelled
    EXPECT_EQ(user_->asked.back().kind, "save");
    EXPECT_EQ(user_->asked.back().text, row.filter);
    EXPECT_EQ(StoredStartForm(), "0");
    EXPECT_TRUE(ProgramState().CurrentArchive.isEmpty());
  }
}

TEST_F(StartDialog, EntriesOneAndThreeAreListedWithTheirTimesAndOpenByOkOrDoubleClick) {
  const QString first = recent(1, "erstes.zip"), third = recent(3, "drittes.zip");
  SaveSetting(kAppName, "Startup", "4", QString::fromStdString((dir_ / "verschwunden.zip").string()));
  SetTimes(first, {2001, 2, 3, 9, 5, 0}, {1997, 12, 5, 14, 23, 59});
  FileFacts facts;
  ASSERT_TRUE(ReadFileFacts(first.toStdString(), facts));
  struct Row { int row; bool doubleClick; QString archive; const char* title; };
  for (const Row& row : {Row{1, false, third, "Kravix - Archiv 'drittes.zip' geöffnet"},
                         Row{0, true, first, "Kravix - Archiv 'erstes.zip' geöffnet"}}) {
    TheArchiveWindow().mnuarchivschliessen_Click();
    run([&](FrmStart& d) {
      ASSERT_EQ(d.ListView1->topLevelItemCount(), 2);
      const QTreeWidgetItem* one = d.ListView1->topLevelItem(0);
      EXPECT_EQ(one->text(0), first);
      EXPECT_EQ(one->text(1), StartListTime(facts.created, kGerman));
      EXPECT_EQ(one->text(2), "03.02.2001 09:05");
      EXPECT_EQ(one->text(3), "05.12.1997 14:23");
      EXPECT_EQ(d.ListView1->topLevelItem(1)->text(0), third);
      EXPECT_EQ(d.ListView1->currentItem(), one);
      EXPECT_TRUE(d.Label1->text().startsWith("Archive, die schon bearbeitet wurden"));
      d.TabStrip1->setCurrentIndex(1);
      d.TabStrip1->setCurrentIndex(0);
      EXPECT_EQ(d.lists_->currentWidget(), d.ListView1);
      Click(d.ListView1, d.ListView1->visualItemRect(d.ListView1->topLevelItem(row.row)), row.doubleClick);
      if (!row.doubleClick) {
        EXPECT_EQ(ProgramState().CurrentArchive, row.archive);
        d.Command1[1]->click();
      }
    });
    ArchiveWindow& w = TheArchiveWindow();
    EXPECT_EQ(w.windowTitle(), row.title);
    EXPECT_EQ(w.ListView1->rowCount(), 1);
    EXPECT_EQ(w.statusMessage(), "Letzte Nachricht - Archiv eingelesen...");
    EXPECT_EQ(ProgramState().CurrentArchive, row.archive);
    EXPECT_EQ(StoredStartForm(), "0");
  }
}

TEST_F(StartDialog, EveryWayOutStoresTheCheckBoxAndChangesNothingElse) {
  recent(1, "eins.zip");
  const QString second = recent(2, "zwei.zip");
  struct Row { bool ticked; int way; const char* stored; };  // 0 "&Abbrechen", 1 close box, 2 Escape
  for (const Row& row : {Row{true, 0, "1"}, Row{false, 0, "0"}, Row{true, 1, "1"}, Row{true, 2, "1"}}) {
    run([&](FrmStart& d) {
      Click(d.ListView1, d.ListView1->visualItemRect(d.ListView1->topLevelItem(1)));
      EXPECT_EQ(ProgramState().CurrentArchive, second);
      d.ssCheck1->setChecked(row.ticked);
      if (row.way == 0) d.Command1[0]->click();
      else if (row.way == 1) d.close();
      else QTest::keyClick(&d, Qt::Key_Escape);
      EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(StoredStartForm(), row.stored);
    // A row clicked and then given up opens nothing and names nothing.
    EXPECT_TRUE(ProgramState().CurrentArchive.isEmpty());
    EXPECT_EQ(TheArchiveWindow().windowTitle(), "Kravix - kein Archiv geöffnet");
  }
}

TEST_F(StartDialog, TheRotatedLineAndTheVersionAreDrawnOnEveryPaint) {
  FrmStart d;
  d.show();
  for (int paint = 0; paint < 2; ++paint) {
    const QImage shot = d.grab().toImage();
    auto darkIn = [&](QRect area) {
      int n = 0;
      for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += qGray(shot.pixel(x, y)) < 60;
      return n;
    };
    const int w = shot.width(), h = shot.height();
    EXPECT_GT(darkIn({w - 16, h - 200, 14, 190}), 100) << "the vertical line, paint " << paint;
    EXPECT_GT(darkIn({305, h - 26, 100, 22}), 50) << "Kravix v1.0, paint " << paint;
  }
}

TEST(StartListTime, TakesTheFirstFiveCharactersOfTheRegionalTime) {
  struct Row { QLocale locale; LocalDateTime t; const char* shown; };
  for (const Row& row : {Row{kGerman, {1997, 12, 5, 14, 23, 5}, "05.12.1997 14:23"},
                         Row{QLocale(QLocale::English, QLocale::UnitedStates), {1997, 12, 5, 9, 5, 0}, "12/5/1997 9:05:"}})
    EXPECT_EQ(StartListTime(row.t, row.locale), row.shown);
}

TEST_F(StartDialog, TheInteractiveStartShowsTheDialogUnlessStartFormReadsTrue) {
  struct Row { const char* stored; bool shown; };
  for (const Row& row : {Row{nullptr, true}, Row{"0", true}, Row{"False", true}, Row{"kaputt", true},
                         Row{"1", false}, Row{"-1", false}, Row{"True", false}}) {
    kxtest::ForgetEverythingStored();
    if (row.stored) SaveSetting(kAppName, "Startup", "StartForm", row.stored);
    if (row.shown) user_->answerDialog([](QDialog& d) { d.findChild<QPushButton*>("Command1_0")->click(); });
    user_->asked.clear();
    EXPECT_TRUE(RunEntryRoutine({}).runEventLoop);
    EXPECT_TRUE(TheArchiveWindow().isVisible());
    EXPECT_EQ(!user_->asked.empty() && user_->asked.back().title == "Willkommen zu Kravix für Windows 95", row.shown)
        << (row.stored ? row.stored : "(fehlt)");
    TheArchiveWindow().close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

}  // namespace
}  // namespace kx
