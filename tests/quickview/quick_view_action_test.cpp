// "&Schnellansicht..." in the archive window on a real archive made by
// Info-ZIP's zip: the entry found with and without its folders, a folder
// entry, the external viewer missing, not configured and started.
#include <QAction>
#include <QApplication>

#include <gtest/gtest.h>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/entry_model.h"
#include "archive_window/window_fixture.h"
#include "quickview/quick_viewer_window.h"
#include "settings/settings_store.h"
#include "support/scripted_user.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

class QuickViewAction : public kxtest::FreshStart {
 protected:
  void SetUp() override {
    FreshStart::SetUp();
    window_ = std::make_unique<ArchiveWindow>();
    window_->Form_Load();
    fs::create_directories(target_);
    ProgramState().TargetFolder = Q(target_);
    kxtest::WriteFile(dir_ / "src/TEXTE/LIESMICH.TXT", "Bitte lesen.\n");
    kxtest::WriteFile(dir_ / "src/bild daten.bin", kxtest::RandomBytes(300));
    ASSERT_EQ(kxtest::Run({"zip", "-q", "-r", "../a.zip", "TEXTE", "bild daten.bin"}, dir_ / "src").exitCode, 0);
    ProgramState().CurrentArchive = Q(dir_ / "a.zip");
    window_->viewzip(ProgramState().CurrentArchive);
  }
  void TearDown() override {
    if (QuickViewerLoaded()) TheQuickViewer().close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    window_.reset();
    FreshStart::TearDown();
  }
  void quickView(const QString& name) {
    for (int row = 0; row < window_->ListView1->rowCount(); ++row)
      if (window_->ListView1->model()->row(row).name == name) window_->ListView1->selectRow(row);
    ASSERT_EQ(window_->ListView1->selectedCount(), 1);
    window_->command("mnuSchnellansicht")->trigger();
  }

  std::unique_ptr<ArchiveWindow> window_;
  fs::path target_ = dir_ / "ziel";
  kxtest::ScriptedUserScope user_;
};

struct CandidateCase {
  const char* entry;
  bool restoreFolders;
  const char* shown;  // path under the target folder, empty when nothing is shown
  bool searchable;
};
void PrintTo(const CandidateCase& c, std::ostream* os) { *os << c.entry << (c.restoreFolders ? " mit Ordnern" : ""); }

class ShowsTheExtractedEntry : public QuickViewAction, public ::testing::WithParamInterface<CandidateCase> {};

TEST_P(ShowsTheExtractedEntry, FoundWithOrWithoutItsFolders) {
  const CandidateCase& c = GetParam();
  ProgramState().Options.RestoreFolders = c.restoreFolders;
  quickView(c.entry);
  EXPECT_TRUE(user_->asked.empty());  // no folder question, no message
  EXPECT_TRUE(user_->opened.empty());  // no file manager
  EXPECT_TRUE(window_->isEnabled());
  ASSERT_EQ(QuickViewerLoaded(), *c.shown != 0);
  if (!*c.shown) return;
  FrmQuickvw& viewer = TheQuickViewer();
  EXPECT_EQ(viewer.tag(), Q(target_ / c.shown));
  EXPECT_EQ(viewer.windowTitle(), "Schnellansicht - " + Q(fs::path(c.shown).filename()));
  EXPECT_EQ(viewer.command("mnu_suchen")->isEnabled(), c.searchable);
  EXPECT_EQ(viewer.command("button:suchen")->isEnabled(), c.searchable);
}

INSTANTIATE_TEST_SUITE_P(Entries, ShowsTheExtractedEntry, ::testing::Values(
    CandidateCase{"TEXTE/LIESMICH.TXT", true, "TEXTE/LIESMICH.TXT", true},   // candidate 1
    CandidateCase{"TEXTE/LIESMICH.TXT", false, "LIESMICH.TXT", true},        // candidate 2
    CandidateCase{"bild daten.bin", true, "bild daten.bin", false},          // shown in hex: no search
    CandidateCase{"TEXTE/", true, "", false}));                              // a folder: nothing

TEST_F(QuickViewAction, NothingWithoutASelection) {
  window_->mnuSchnellansicht_Click();
  EXPECT_TRUE(user_->asked.empty());
  EXPECT_FALSE(QuickViewerLoaded());
  EXPECT_FALSE(fs::exists(target_ / "TEXTE"));
}

TEST_F(QuickViewAction, ACandidateOutsideTheTargetFolderIsNotShown) {
  kxtest::WriteFile(dir_ / "draussen.txt", "x");
  EXPECT_EQ(ArchiveWindow::QuickViewCandidate(Q(target_), "../draussen.txt"), "");
  fs::create_symlink(dir_ / "draussen.txt", target_ / "link.txt");
  EXPECT_EQ(ArchiveWindow::QuickViewCandidate(Q(target_), "link.txt"), "");
}

struct ExternalCase {
  const char* name;
  const char* viewer;  // "Externer Viewer"
  QString message;     // empty: the viewer is started
};
void PrintTo(const ExternalCase& c, std::ostream* os) { *os << c.name; }

class ExternalViewer : public QuickViewAction, public ::testing::WithParamInterface<ExternalCase> {};

TEST_P(ExternalViewer, IsStartedWithTheFileOrItsAbsenceIsTold) {
  const ExternalCase& c = GetParam();
  ProgramState().IntegratedViewer = false;
  SaveSetting(kAppName, "Startup", "Externer Viewer", c.viewer);
  if (!c.message.isEmpty()) user_->answerMessage(-1);
  quickView("bild daten.bin");
  ASSERT_EQ(user_->asked.size(), 1u);
  EXPECT_FALSE(QuickViewerLoaded());
  if (c.message.isEmpty()) {
    EXPECT_EQ(user_->asked[0].kind, "program");
    EXPECT_EQ(user_->asked[0].title, c.viewer);
    EXPECT_EQ(user_->asked[0].text, Q(target_ / "bild daten.bin"));  // one argument, blank and all
  } else {
    EXPECT_EQ(user_->asked[0].text, c.message);
    EXPECT_EQ(user_->asked[0].title, "Nachricht");
    EXPECT_EQ(user_->asked[0].symbol, 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Viewers, ExternalViewer, ::testing::Values(
    ExternalCase{"Gestartet", "/usr/bin/xdg-open", {}},
    ExternalCase{"NichtAngegeben", "",
                 "Externer Viewer/Schnellansicht wurde noch nicht angegeben. Sie können einen Viewer im Dialog "
                 "'Einstellungen' unter Registerkarte 'Schnellansicht' angeben."},
    ExternalCase{"Fehlt", "/gibt/es/nicht/viewer",
                 "Externer Viewer/Schnellansicht konnte nicht gefunden werden oder wurde falsch angegeben. "
                 "Überprüfen Sie den Pfad und die Zuweisung."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kx
