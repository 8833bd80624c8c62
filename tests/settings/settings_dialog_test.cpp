#include "settings/settings_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTabBar>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <tuple>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/window_fixture.h"
#include "packers/packer_page.h"
#include "settings/settings_store.h"
#include "support/scripted_user.h"

namespace kx {
namespace {

QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }
QString Stored(const char* key) { return GetSetting(kAppName, "Startup", key, "<fehlt>"); }
void Store(const char* key, const QString& value) { SaveSetting(kAppName, "Startup", key, value); }

template <class W>
W* Find(QWidget& form, const char* name) {
  W* w = form.findChild<W*>(QString::fromUtf8(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}
QPushButton* Button(Form2& f, int index) { return Find<QPushButton>(f, QString("Command1_%1").arg(index).toUtf8()); }
QString PageInFront(Form2& f) { return Find<QStackedWidget>(f, "Pages")->currentWidget()->objectName(); }

std::string ArchiveComment(const std::filesystem::path& zip) {
  return kxtest::Run({"python3", "-c", "import zipfile,sys; sys.stdout.write(zipfile.ZipFile(sys.argv[1]).comment.decode())",
                      zip.string()})
      .output;
}

class SettingsDialogTest : public kxtest::FreshStart {
 protected:
  // A real archive with one entry and the comment "alt".
  std::filesystem::path makeArchive() {
    const auto zip = dir_ / "Archiv.zip";
    EXPECT_EQ(kxtest::Run({"python3", "-c",
                           "import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1],'w')\nz.writestr('a.txt','Inhalt')\n"
                           "z.comment=b'alt'\nz.close()",
                           zip.string()})
                  .exitCode,
              0);
    return zip;
  }
  kxtest::ScriptedUserScope user_;
};

TEST_F(SettingsDialogTest, HasSixTabsWithTheirKeysToolTipsAndPages) {
  Form2 f(true);
  auto* tabs = Find<QTabBar>(f, "TabStrip1");
  const char* rows[][4] = {
      {"Zip", "zip", "Einstellungen zum Zip-Archiv erstellen", "Zipcont"},
      {"Unzip", "unzip", "Einstellungen zum Zip-Archiv Extrahieren", "UnZipcont"},
      {"Passwort", "passwort", "Passwort eingeben/setzen", "FramPasswort"},
      {"Bemerkung", "bemerkung", "Archivbemerkungen", "FramBemerkung"},
      {"Schnellansicht", "schnellansicht", "Schnellansicht konfigurieren", "Schnellcont"},
      {"Externe Packer", "expacker", "Externe Packer angeben", "FramExPacker"},
  };
  ASSERT_EQ(tabs->count(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(tabs->tabText(i), QString::fromUtf8(rows[i][0]));
    EXPECT_EQ(tabs->tabData(i).toString(), rows[i][1]);
    EXPECT_EQ(tabs->tabToolTip(i), QString::fromUtf8(rows[i][2]));
    tabs->setCurrentIndex(i);  // a click on the tab
    EXPECT_EQ(PageInFront(f), rows[i][3]);
  }
  EXPECT_EQ(f.FramExPacker->TabStrip2->currentIndex(), 0) << "the packer page opens on ARJ";
  EXPECT_EQ(Find<QComboBox>(f, "Combo2")->itemText(2), " - entpacke Archivdatei nur wenn sie existiert oder aktueller ist");
  EXPECT_EQ(Find<QComboBox>(f, "Combo3")->itemText(1), " - existierende Datei ohne Abfrage überschreiben");
  EXPECT_EQ(Find<QComboBox>(f, "Combo4")->itemText(2), " - Datum/Zeit nach der aktuellsten Archivdatei setzen");
  EXPECT_EQ(Button(f, 0)->text(), "&Abbrechen");
  EXPECT_EQ(Button(f, 1)->text(), "&Übernehmen");
  EXPECT_EQ(Button(f, 2)->text(), "&Hilfe");
}

TEST_F(SettingsDialogTest, LoadsFromTheWorkingValuesAndTheStore) {
  ProgramWideState& s = ProgramState();
  s.CurrentArchive = "/daten/Alt Archiv.zip";
  s.PendingComment = "Bemerkung";
  s.TargetFolder = "/ziel";
  s.Options = {.CompressionLevel = 2, .LongNames = false, .StorePaths = 0, .MoveFiles = true,
               .RestoreFolders = false, .ArchiveDateMode = 2, .ExtractMode = 1, .OverwriteMode = 2};
  for (int i = 0; i < 4; ++i) Store(std::array{"ExPackerARJ", "ExPackerARC", "ExPackerLHA", "ExPackerZOO"}[i], QString("/p/%1").arg(i));

  Form2 f(true);
  EXPECT_EQ(f.windowTitle(), "Zip/Unzip Einstellungen Alt Archiv.zip");
  // extract, overwrite, date mode; restore, move, long names, store paths; slider
  EXPECT_EQ(std::tuple(f.Combo2->currentIndex(), f.Combo3->currentIndex(), f.Combo4->currentIndex(),
                       f.Check5->isChecked(), f.Check6->isChecked(), f.Check3->isChecked(), f.Check2->isChecked(),
                       f.Slider1->value()),
            std::tuple(1, 2, 2, false, true, false, false, 30));
  EXPECT_EQ(f.Label2->text(), "/ziel");
  EXPECT_EQ(f.LabelBemerkung->text(), "Archivbemerkung - Alt Archiv.zip");
  EXPECT_EQ(f.TextBemerkung->toPlainText(), "Bemerkung");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(f.FramExPacker->textExPacker[i]->text(), QString("/p/%1").arg(i));
  EXPECT_EQ(PageInFront(f), "Zipcont");
  EXPECT_TRUE(user_->asked.empty()) << "an empty external viewer is no wrong one";

  // Level -> slider position (0 or less leaves the slider where it was);
  // store paths 1 and 2 both show ticked.
  const std::pair<int, int> levels[] = {{1, 0}, {3, 60}, {4, 90}, {9, 90}, {0, 0}};
  for (auto [level, position] : levels) {
    s.Options.CompressionLevel = static_cast<std::int16_t>(level);
    EXPECT_EQ(Form2(true).Slider1->value(), position) << level;
  }
  for (auto [paths, ticked] : {std::pair{0, false}, {1, true}, {2, true}}) {
    s.Options.StorePaths = static_cast<std::int16_t>(paths);
    EXPECT_EQ(Form2(true).Check2->isChecked(), ticked) << paths;
  }
}

TEST_F(SettingsDialogTest, WithoutAnArchiveTheCommentTabIsAbsentAndTheCaptionEndsInABlank) {
  ProgramState().PendingComment = "vom geschlossenen Archiv";
  Form2 f(false);
  EXPECT_EQ(f.windowTitle(), "Zip/Unzip Einstellungen ");
  for (int i = 0; i < f.TabStrip1->count(); ++i) EXPECT_NE(f.TabStrip1->tabData(i).toString(), "bemerkung");
  EXPECT_EQ(f.TabStrip1->count(), 5);
  Button(f, 1)->click();
  EXPECT_TRUE(user_->asked.empty()) << "no comment is written without an archive";
  EXPECT_EQ(f.result(), QDialog::Accepted);
}

TEST_F(SettingsDialogTest, ApplyTakesEffectInOrderAndStopsAtAMissingZooPacker) {
  ProgramWideState& s = ProgramState();
  const auto arj = dir_ / "arj";
  kxtest::WriteFile(arj, "x");
  Store("ExPackerZOO", "/alt/zoo");
  Form2 f(false);
  f.Check2->setChecked(false);
  f.Check3->setChecked(false);
  f.Check6->setChecked(true);
  f.Slider1->setValue(90);
  f.Combo4->setCurrentIndex(1);
  f.Check5->setChecked(false);
  f.Combo3->setCurrentIndex(2);
  f.Combo2->setCurrentIndex(1);
  f.Text1->setText("  geheim ");
  f.FramExPacker->textExPacker[0]->setText(Q(arj));
  f.FramExPacker->textExPacker[2]->setText(Q(arj));
  f.FramExPacker->textExPacker[3]->setText("/gibt/es/nicht/zoo");
  user_->answerMessage(0);
  Button(f, 1)->click();

  ASSERT_EQ(user_->asked.size(), 1u);
  EXPECT_EQ(user_->asked[0].text, "Angegebener Externer Packer /gibt/es/nicht/zoo existstiert nicht oder wurde falsch angegeben.");
  EXPECT_EQ(user_->asked[0].title, "Nachicht");
  EXPECT_NE(f.result(), QDialog::Accepted) << "the dialog stays open";
  EXPECT_EQ(f.selectedTab(), "expacker");
  EXPECT_EQ(f.FramExPacker->TabStrip2->currentIndex(), 3);
  EXPECT_EQ(f.focusWidget(), f.FramExPacker->textExPacker[3]);
  // Steps 1 to 7 are in effect, the packer paths are not stored.
  const WorkingOptions& o = s.Options;
  EXPECT_EQ(std::tuple(o.StorePaths, o.LongNames, o.MoveFiles, o.CompressionLevel, o.ArchiveDateMode,
                       o.RestoreFolders, o.OverwriteMode, o.ExtractMode),
            std::tuple(0, false, true, 4, 1, false, 2, 1));
  EXPECT_EQ(s.Password, "geheim");
  EXPECT_EQ(Stored("Integrierten Viewer"), "True");
  EXPECT_EQ(Stored("ExPackerARJ"), "<fehlt>");
  EXPECT_EQ(Stored("ExPackerZOO"), "/alt/zoo");

  // Corrected: the next apply stores all four and closes; the slider between
  // two marks keeps the level, an empty password box keeps the password.
  f.FramExPacker->textExPacker[3]->clear();
  f.Check2->setChecked(true);
  f.Slider1->setValue(45);
  f.Text1->clear();
  Button(f, 1)->click();
  EXPECT_EQ(f.result(), QDialog::Accepted);
  EXPECT_EQ(o.StorePaths, 2);
  EXPECT_EQ(o.CompressionLevel, 4);
  EXPECT_EQ(s.Password, "geheim");
  EXPECT_EQ(QStringList({Stored("ExPackerARJ"), Stored("ExPackerARC"), Stored("ExPackerLHA"), Stored("ExPackerZOO")}),
            QStringList({Q(arj), "", Q(arj), ""}));
}

TEST_F(SettingsDialogTest, CancelClearsThePasswordAndStoresNothing) {
  ProgramState().Password = "vorher";
  Form2 f(false);
  f.Text1->setText("getippt");
  f.Slider1->setValue(0);
  f.FramExPacker->textExPacker[1]->setText("/gibt/es/nicht");
  Button(f, 0)->click();
  EXPECT_EQ(f.result(), QDialog::Rejected);
  EXPECT_TRUE(ProgramState().Password.isEmpty());
  EXPECT_EQ(ProgramState().Options.CompressionLevel, 3);
  EXPECT_EQ(Stored("ExPackerARC"), "<fehlt>");
  EXPECT_EQ(Stored("Integrierten Viewer"), "<fehlt>");
}

TEST_F(SettingsDialogTest, TheCommentIsWrittenThroughTheEngineOnlyWhenChanged) {
  const auto zip = makeArchive();
  const auto gone = dir_ / "weg" / "Archiv.zip";  // its folder does not exist
  struct Row {
    std::filesystem::path archive;
    QString box;
    bool refused;
    QString pending;      // PendingComment afterwards
    std::string stored;   // the archive's comment afterwards
  } rows[] = {
      {zip, "  alt ", false, "  alt ", "alt"},   // unchanged after trimming: nothing written
      {gone, "alt", false, "alt", "alt"},        // unchanged: the engine is not even asked
      {zip, " neu\nzweite Zeile ", false, "neu\nzweite Zeile", "neu\nzweite Zeile"},
      {gone, "neu", true, "alt", "alt"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.box.toStdString() + " " + r.archive.string());
    kxtest::Run({"python3", "-c", "import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1],'a')\nz.comment=b'alt'\nz.close()",
                 zip.string()});
    const auto before = std::filesystem::last_write_time(zip);
    ProgramState().CurrentArchive = Q(r.archive);
    ProgramState().PendingComment = "alt";
    user_->asked.clear();
    if (r.refused) user_->answerMessage(0);
    Form2 f(true);
    f.TextBemerkung->setPlainText(r.box);
    Button(f, 1)->click();
    EXPECT_EQ(ProgramState().PendingComment, r.pending);
    EXPECT_EQ(ArchiveComment(zip), r.stored);
    if (r.refused) {
      ASSERT_EQ(user_->asked.size(), 1u);
      EXPECT_EQ(user_->asked[0].text, "Kann keine Bemerkung erstellen.");
      EXPECT_EQ(user_->asked[0].title, "Nachricht");
      EXPECT_EQ(user_->asked[0].symbol, 2);
      EXPECT_EQ(f.TextBemerkung->toPlainText(), "alt");
    } else {
      EXPECT_TRUE(user_->asked.empty());
      if (r.stored == "alt") {
        EXPECT_EQ(std::filesystem::last_write_time(zip), before) << "no write";
      }
    }
  }
}

TEST_F(SettingsDialogTest, TheViewerBoxFollowsInstallationFlagAndCheckBox) {
  const QColor grey(192, 192, 192), white(Qt::white);
  struct Row {
    const char* installed;
    bool flag;
    Qt::CheckState state;
    bool boxEnabled;
    const char* caption;
    bool flagAfterApply;
  } rows[] = {
      {"-1", true, Qt::Checked, false, "Integrierte Schnellansicht benutzen", true},
      {"-1", false, Qt::Unchecked, true, "Integrierte Schnellansicht benutzen", false},
      {"0", true, Qt::PartiallyChecked, true, "Nicht Installiert", true},  // greyed: the flag stays
      {"0", false, Qt::PartiallyChecked, true, "Nicht Installiert", false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.installed) + (r.flag ? " an" : " aus"));
    Store("Schnellansicht Installiert", r.installed);
    ProgramState().IntegratedViewer = r.flag;
    Form2 f(false);
    EXPECT_EQ(f.ChkIntrierterViewer->checkState(), r.state);
    EXPECT_EQ(f.ChkIntrierterViewer->isEnabled(), r.state != Qt::PartiallyChecked);
    EXPECT_EQ(f.ChkIntrierterViewer->text(), r.caption);
    EXPECT_EQ(f.TextExtrViewer->isEnabled(), r.boxEnabled);
    EXPECT_EQ(f.ComdWechseln->isEnabled(), r.boxEnabled);
    EXPECT_EQ(f.TextExtrViewer->palette().color(QPalette::Base), r.boxEnabled ? white : grey);
    Button(f, 1)->click();
    EXPECT_EQ(ProgramState().IntegratedViewer, r.flagAfterApply);
    EXPECT_EQ(Stored("Integrierten Viewer"), r.flagAfterApply ? "True" : "False");
  }
  // A click on the box greys the path box and back.
  Store("Schnellansicht Installiert", "-1");
  Form2 f(false);
  f.ChkIntrierterViewer->click();
  EXPECT_FALSE(f.TextExtrViewer->isEnabled());
  f.ChkIntrierterViewer->click();
  EXPECT_TRUE(f.TextExtrViewer->isEnabled());
}

TEST_F(SettingsDialogTest, ViewerAndFolderChoicesAreStoredAtOnce) {
  const auto viewer = dir_ / "betrachter";
  kxtest::WriteFile(viewer, "#!/bin/sh\n");
  Store("Externer Viewer", "/gibt/es/nicht");
  ProgramState().IntegratedViewer = false;
  user_->answerMessage(0);  // the stored viewer is checked at load
  Form2 f(false);
  ASSERT_EQ(user_->asked.size(), 1u);
  EXPECT_EQ(user_->asked[0].title, "Sicherheitsabfrage");
  EXPECT_TRUE(user_->asked[0].text.startsWith("Angegebener Externer Viewer/Schnellansicht konnte nicht gefunden"));
  EXPECT_TRUE(f.Picture2->pixmap().isNull());

  user_->answerFile(" " + Q(viewer) + " ");
  f.ComdWechseln->click();
  EXPECT_EQ(user_->asked.back().title, "Viewer/Schnellansicht wählen");
  EXPECT_EQ(Stored("Externer Viewer"), Q(viewer));
  EXPECT_EQ(f.TextExtrViewer->text(), Q(viewer));
  EXPECT_FALSE(f.Picture2->pixmap().isNull()) << "the program's icon";

  user_->answerFile("");  // cancelled: nothing changes
  f.ComdWechseln->click();
  EXPECT_EQ(Stored("Externer Viewer"), Q(viewer));

  f.TextExtrViewer->setText("/usr/bin/less ");
  QTest::keyClick(f.TextExtrViewer, Qt::Key_Return);
  EXPECT_EQ(Stored("Externer Viewer"), "/usr/bin/less");
  EXPECT_NE(f.result(), QDialog::Accepted) << "Enter in the path box does not apply";
  f.TextExtrViewer->clear();
  f.TextExtrViewer_LostFocus();
  EXPECT_EQ(Stored("Externer Viewer"), "");

  ProgramState().TargetFolder = "/tmp";
  user_->answerFolder(Q(dir_.path()));
  f.Command2->click();
  EXPECT_EQ(user_->asked.back().text, "Wählen Sie ein Verzeichnis aus:");
  EXPECT_EQ(ProgramState().TargetFolder, Q(dir_.path()));
  EXPECT_EQ(f.Label2->text(), Q(dir_.path()));
  EXPECT_EQ(Stored("Standartpfad"), Q(dir_.path()));
  // Cancelled, or the same folder again: nothing is stored.
  Store("Standartpfad", "unberührt");
  user_->answerFolder("").answerFolder(Q(dir_.path()));
  f.Command2->click();
  f.Command2->click();
  EXPECT_EQ(Stored("Standartpfad"), "unberührt");
  EXPECT_EQ(ProgramState().TargetFolder, Q(dir_.path()));
}

TEST_F(SettingsDialogTest, ARunningPackerSearchLocksTabsAndButtons) {
  Form2 f(false);
  for (bool running : {true, false}) {
    emit f.FramExPacker->searchRunning(running);
    EXPECT_EQ(f.TabStrip1->isEnabled(), !running);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Button(f, i)->isEnabled(), !running) << i;
  }
}

TEST_F(SettingsDialogTest, TheSettingsCommandAndItsButtonOpenTheDialog) {
  ArchiveWindow w;
  w.Form_Load();
  for (const char* name : {"mnuaeinstellungen", "button:einstellungen"}) {
    QString seen;
    int tabs = 0;
    user_->answerDialog([&](QDialog& d) {
      seen = d.objectName();
      tabs = d.findChild<QTabBar*>("TabStrip1")->count();
      d.findChild<QPushButton*>("Command1_0")->click();
    });
    w.command(name)->trigger();
    EXPECT_EQ(seen, "Form2") << name;
    EXPECT_EQ(tabs, 5) << "no archive open: no comment page";
  }
}

}  // namespace
}  // namespace kx
