#include "archive_window/archive_window.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QToolBar>

#include <gtest/gtest.h>

#include "archive_window/entry_list_view.h"
#include "archive_window/window_fixture.h"
#include "platform/class_keys.h"
#include "platform/screen_metrics.h"
#include "settings/settings_store.h"
#include "support/scripted_user.h"

namespace kx {
namespace {

QString Stored(const QString& key) { return GetSetting(kAppName, "Startup", key, "<fehlt>"); }
void Store(const QString& key, const QString& value) { SaveSetting(kAppName, "Startup", key, value); }
QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

class ArchiveWindowTest : public kxtest::FreshStart {};

const char* const kArchiveCommands[] = {"mnu_Update", "mnualöschen", "mnuMarkAll", "mnuaextrakt", "mnutesten",
                                        "mnuSchnellansicht", "mnuadateibemerkung", "mnuarchivschliessen"};

void ExpectNoArchiveState(const ArchiveWindow& w) {
  EXPECT_EQ(w.windowTitle(), "Kravix - kein Archiv geöffnet");
  EXPECT_EQ(w.statusMessage(), "Im Menüpunkt 'Archiv' auf 'Neu' oder 'Öffnen' bzw. auf Symbole Klicken.");
  for (const char* name : kArchiveCommands) EXPECT_FALSE(w.command(QString::fromUtf8(name))->isEnabled()) << name;
  for (const char* key : {"update", "delete", "extrakt", "dateibemerkung"})
    EXPECT_FALSE(w.command(QString("button:") + key)->isEnabled()) << key;
  for (const char* key : {"öffnen", "neu", "einstellungen", "ansicht"})
    EXPECT_TRUE(w.command(QString("button:") + QString::fromUtf8(key))->isEnabled()) << key;
  for (int panel : {2, 3, 4}) EXPECT_TRUE(w.statusPanel(panel)->isHidden()) << panel;
  EXPECT_EQ(w.ListView1->rowCount(), 0);
  EXPECT_TRUE(ProgramState().CurrentArchive.isEmpty());
  EXPECT_EQ(ProgramState().EncryptedEntries, 0);
}

TEST_F(ArchiveWindowTest, FirstStartUsesTheDesignedDefaults) {
  ArchiveWindow w;
  w.Form_Load();
  ExpectNoArchiveState(w);
  EXPECT_EQ(w.ListView1->viewMode(), 3);
  EXPECT_TRUE(w.command("mnuicon(3)")->isChecked());
  EXPECT_FALSE(w.command("mnuicon(1)")->isChecked());
  EXPECT_FALSE(w.Toolbar1->isHidden());
  EXPECT_FALSE(w.statusBar()->isHidden());
  EXPECT_TRUE(w.command("mnusymbolleisten")->isChecked());
  EXPECT_FALSE(w.command("mnustrich")->isVisible()) << "no recent archives yet";
  EXPECT_TRUE(w.command("mnuexedatei")->isVisible()) << "kxsfx lies beside the program";
  EXPECT_EQ(w.x(), TwipsToPixelsX(BorderWidthTwips(BorderStyle::Sizable)));
  EXPECT_EQ(w.y(), TwipsToPixelsY(CaptionHeightTwips(BorderStyle::Sizable)));
  EXPECT_EQ(ProgramState().TargetFolder, QDir::tempPath());
  EXPECT_EQ(Stored("Schnellansicht Installiert"), "-1") << "Qview32.ocx lies beside the program";
  EXPECT_TRUE(ProgramState().IntegratedViewer);
  EXPECT_EQ(ClassKeyStore().storedDefault(".zip").value_or(""), "Zipfile") << "file types registered";
  EXPECT_TRUE(ClassKeyStore()
                  .storedDefault("Zipfile\\Shell\\Entpacken nach...\\command")
                  .value_or("")
                  .endsWith(" \"%1\" /entpacken"));
  EXPECT_EQ(ProgramState().Options.CompressionLevel, w.KxZip1.CompressionLevel);
  EXPECT_EQ(ProgramState().Options.StorePaths, w.KxZip1.StorePaths);
}

TEST_F(ArchiveWindowTest, ARestartRestoresWhatClosingStored) {
  {
    ArchiveWindow w;
    w.Form_Load();
    w.resize(700, 380);
    w.move(33, 44);
    w.ListView1->setBackgroundColor(QColor(10, 20, 30));
    QFont bold = w.ListView1->listFont();
    bold.setFamily("Times New Roman");
    bold.setBold(true);
    w.ListView1->setListFont(bold);
    w.mnuicon_Click(2);
    w.mnusymbolleisten_Click();
    w.mnustatusleiste_Click();
    w.Form_QueryUnload();
  }
  EXPECT_EQ(Stored("Ansicht Archiv"), "2");
  EXPECT_EQ(Stored("Symbolleistenvisible"), "False");
  EXPECT_EQ(Stored("Statusleistevisible"), "False");
  EXPECT_EQ(Stored("FontBold"), "True");
  EXPECT_EQ(Stored("Backcolor"), QString::number(10 + 20 * 256 + 30 * 65536)) << "red in the low byte";
  EXPECT_EQ(Stored("Bereite"), QString::number(PixelsToTwipsX(700)));

  ArchiveWindow again;
  again.Form_Load();
  EXPECT_EQ(again.size(), QSize(700, 380));
  EXPECT_EQ(again.pos(), QPoint(33, 44));
  EXPECT_EQ(again.ListView1->backgroundColor(), QColor(10, 20, 30));
  EXPECT_EQ(again.ListView1->listFont().family(), "Times New Roman");
  EXPECT_TRUE(again.ListView1->listFont().bold());
  EXPECT_EQ(again.ListView1->viewMode(), 2);
  EXPECT_TRUE(again.command("mnuicon(2)")->isChecked());
  EXPECT_FALSE(again.command("mnuicon(3)")->isChecked());
  EXPECT_TRUE(again.Toolbar1->isHidden());
  EXPECT_TRUE(again.statusBar()->isHidden());
  EXPECT_FALSE(again.command("mnusymbolleisten")->isChecked());
}

TEST_F(ArchiveWindowTest, AStoredNonNumberIsReportedAndLoadingGoesOn) {
  Store("Höhe", "hoch");
  Store("Bereite", QString::number(PixelsToTwipsX(640)));
  Store("Ansicht Archiv", "1");
  Store("Standartpfad", "/srv/ziel");
  kxtest::ScriptedUserScope scope;
  scope->answerMessage(0);
  ArchiveWindow w;
  const int designedHeight = w.height();
  w.Form_Load();
  ASSERT_EQ(scope->asked.size(), 1u);
  EXPECT_EQ(scope->asked[0].title, "Nachricht");
  EXPECT_EQ(scope->asked[0].text, "ERROR 13\r\n (Typen unverträglich)");
  EXPECT_EQ(scope->asked[0].symbol, 2);
  EXPECT_EQ(w.height(), designedHeight) << "the height keeps its designed value";
  EXPECT_EQ(w.width(), 640) << "the steps after the failing one still ran";
  EXPECT_EQ(w.ListView1->viewMode(), 1);
  EXPECT_EQ(ProgramState().TargetFolder, "/srv/ziel");
}

TEST_F(ArchiveWindowTest, AStoredViewModeOutOfRangeIsReportedAndTheReportViewTakesItsPlace) {
  for (const char* stored : {"5", "0", "-1"}) {
    Store("Ansicht Archiv", stored);
    kxtest::ScriptedUserScope scope;
    scope->answerMessage(0);
    ArchiveWindow w;
    w.mnuicon_Click(1);
    w.Form_Load();
    ASSERT_EQ(scope->asked.size(), 1u) << stored;
    EXPECT_EQ(scope->asked[0].text, "ERROR 380\r\n (Unzulässiger Eigenschaftswert)") << stored;
    EXPECT_EQ(w.ListView1->viewMode(), 3) << stored;
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(w.command(QString("mnuicon(%1)").arg(i))->isChecked(), i == 3) << stored;
  }
}

TEST_F(ArchiveWindowTest, ViewerSettingsAreWrittenAtLoadOnlyWhereTheRulesSay) {
  Store("Schnellansicht Installiert", "0");
  Store("Integrierten Viewer", "False");
  Store("Externer Viewer", "/opt/betrachter");
  ProgramState().IntegratedViewer = true;
  {
    ArchiveWindow w;
    w.Form_Load();
  }
  EXPECT_EQ(Stored("Schnellansicht Installiert"), "-1") << "the viewer component loads from beside the program";
  EXPECT_FALSE(ProgramState().IntegratedViewer) << "read from the stored setting";
  EXPECT_EQ(Stored("Externer Viewer"), "/opt/betrachter") << "a stored viewer is never replaced";

  Store("Externer Viewer", "");
  ArchiveWindow again;
  again.Form_Load();
  const bool opener = QFileInfo("/usr/bin/xdg-open").isExecutable();
  EXPECT_EQ(Stored("Externer Viewer"), opener ? "/usr/bin/xdg-open" : "") << "an empty one takes the desktop's opener";
}

TEST_F(ArchiveWindowTest, BelowTheNarrowestWidthTheListKeepsItsPlace) {
  ArchiveWindow w;
  w.Form_Load();
  w.resize(800, 500);
  const QRect wide = w.ListView1->geometry();
  EXPECT_EQ(w.Picture1->geometry(), wide);
  w.resize(TwipsToPixelsX(6480) - 20, 300);
  EXPECT_EQ(w.ListView1->geometry(), wide) << "narrower than 6480 twips: nothing moves";
  w.resize(TwipsToPixelsX(6480) + 40, 300);
  EXPECT_NE(w.ListView1->geometry(), wide);
  EXPECT_EQ(w.ListView1->geometry().height(), w.centralWidget()->height());
}

TEST_F(ArchiveWindowTest, ViewCommandsCycleAndToggle) {
  ArchiveWindow w;
  w.Form_Load();
  for (int expected : {1, 2, 3, 1}) {
    w.Toolbar1_ButtonClick("ansicht");
    EXPECT_EQ(w.ListView1->viewMode(), expected);
    EXPECT_TRUE(w.command(QString("mnuicon(%1)").arg(expected))->isChecked());
  }
  for (int i = 1; i <= 3; ++i) w.command(QString("mnuicon(%1)").arg(i))->setChecked(false);
  w.Toolbar1_ButtonClick("ansicht");
  EXPECT_EQ(w.ListView1->viewMode(), 1) << "no check mark anywhere starts at small icons";

  w.mnusymbolleisten_Click();
  EXPECT_TRUE(w.Toolbar1->isHidden());
  w.mnusymbolleisten_Click();
  EXPECT_FALSE(w.Toolbar1->isHidden());
  EXPECT_TRUE(w.command("mnusymbolleisten")->isChecked());
}

TEST_F(ArchiveWindowTest, ColumnClicksShareOneToggle) {
  ArchiveWindow w;
  w.ListView1_ColumnClick(2);
  EXPECT_EQ(w.ListView1->sortKey(), 2);
  EXPECT_EQ(w.ListView1->sortOrder(), 0) << "the first click sorts ascending";
  w.ListView1_ColumnClick(4);
  EXPECT_EQ(w.ListView1->sortKey(), 4);
  EXPECT_EQ(w.ListView1->sortOrder(), 1) << "the next click flips, whatever the column";
  w.mnusortieren_Click(2);
  EXPECT_EQ(w.ListView1->sortOrder(), 1) << "\"Aufwärts\" is the list's order 1";
  w.mnusortieren_Click(1);
  EXPECT_EQ(w.ListView1->sortOrder(), 0);
  EXPECT_EQ(w.ListView1->sortKey(), 4);
}

TEST_F(ArchiveWindowTest, ColourAndFontCancelledChangeNothing) {
  kxtest::ScriptedUserScope scope;
  scope->answerBox(0).answerFile("");
  ArchiveWindow w;
  const QColor before = w.ListView1->backgroundColor();
  const QString family = w.ListView1->listFont().family();
  w.mnufarbe_Click();
  w.mnuschrift_Click();
  EXPECT_EQ(w.ListView1->backgroundColor(), before);
  EXPECT_EQ(w.ListView1->listFont().family(), family);
}

// The four recent archives.
class RecentArchivesTest : public kxtest::FreshStart {
 protected:
  QString archive(const std::string& name) {
    kxtest::WriteFile(dir_ / name, "x");
    return Q(dir_ / name);
  }
  void open(ArchiveWindow& w, const QString& path) {
    ProgramState().CurrentArchive = path;
    w.AddRecentArchive(path);
  }
  QStringList entries(const ArchiveWindow& w) {
    QStringList list;
    for (int i = 1; i <= 4; ++i) list << (w.command(QString("mnudbmru(%1)").arg(i))->isVisible() ? w.RecentArchive(i) : "-");
    return list;
  }
};

TEST_F(RecentArchivesTest, ReopenedMovesUpNewPushesTheOldestOff) {
  const QString a = archive("a.zip"), b = archive("b.zip"), c = archive("c.zip"), d = archive("d.zip"),
                e = archive("e.zip");
  ArchiveWindow w;
  w.Form_Load();
  EXPECT_FALSE(w.command("mnustrich")->isVisible());
  for (const QString& p : {a, b, c, d}) open(w, p);
  EXPECT_TRUE(w.command("mnustrich")->isVisible());
  EXPECT_EQ(entries(w), QStringList({d, c, b, a}));
  EXPECT_EQ(w.command("mnudbmru(1)")->text(), "&1 " + d);
  open(w, b);  // entry 3
  EXPECT_EQ(entries(w), QStringList({b, d, c, a})) << "entry 4 unchanged";
  open(w, e);
  EXPECT_EQ(entries(w), QStringList({e, b, d, c}));
  w.Form_QueryUnload();
  EXPECT_EQ(Stored("1"), e);
  EXPECT_EQ(Stored("4"), c);
}

TEST_F(RecentArchivesTest, RestoringSkipsVanishedFilesAndClosingKeepsTheOrder) {
  const QString a = archive("a.zip"), c = archive("c.zip");
  Store("1", a);
  Store("2", Q(dir_ / "weg.zip"));
  Store("3", "");
  Store("4", c);
  {
    ArchiveWindow w;
    w.Form_Load();
    EXPECT_EQ(entries(w), QStringList({a, c, "-", "-"}));
    EXPECT_TRUE(w.command("mnustrich")->isVisible());
    w.Form_QueryUnload();
  }
  EXPECT_EQ(Stored("1"), a);
  EXPECT_EQ(Stored("2"), c);
  EXPECT_EQ(Stored("3"), "") << "keys of unused entries keep what they held";
  EXPECT_EQ(Stored("4"), c);
}

TEST_F(RecentArchivesTest, PathsCompareExactlyAndACancelledOpenChangesNothing) {
  const QString lower = archive("x.zip"), upper = archive("X.ZIP");
  ArchiveWindow w;
  w.Form_Load();
  open(w, lower);
  open(w, upper);
  EXPECT_EQ(entries(w), QStringList({upper, lower, "-", "-"})) << "two files that differ in case are two archives";

  kxtest::ScriptedUserScope scope;
  scope->answerFile("");
  w.mnuoeffnen_Click();
  ASSERT_EQ(scope->asked.size(), 1u);
  EXPECT_EQ(scope->asked[0].title, "Archiv Öffnen");
  EXPECT_TRUE(scope->asked[0].text.startsWith("Zip Archiv (*.ZIP)|*.ZIP|ZipMultivolume (*.001)|*.001|"));
  EXPECT_EQ(entries(w), QStringList({upper, lower, "-", "-"}));
}

}  // namespace
}  // namespace kx
