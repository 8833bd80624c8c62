#include "app/utility.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include "support/scripted_user.h"
#include "support/test_support.h"
#include "ui/animation_control.h"
#include "ui/progress_window.h"

namespace kx {
namespace {

QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

TEST(FileExists, FilesYesFoldersNoPatternsFindMatches) {
  kxtest::TempDir dir;
  kxtest::WriteFile(dir / "Archiv mit Blank.zip", "x");
  kxtest::WriteFile(dir / "sub" / "b.arj", "x");
  EXPECT_TRUE(FileExists(Q(dir / "Archiv mit Blank.zip")));
  EXPECT_FALSE(FileExists(Q(dir / "sub")));
  EXPECT_FALSE(FileExists(Q(dir / "missing.zip")));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists("\"" + Q(dir / "Archiv mit Blank.zip") + "\"")) << "quotes are part of the name";
  EXPECT_TRUE(FileExists(Q(dir / "*.zip")));
  EXPECT_TRUE(FileExists(Q(dir / "sub" / "?.arj")));
  EXPECT_FALSE(FileExists(Q(dir / "*.lzh")));
  EXPECT_FALSE(FileExists(Q(dir / "nope" / "*.*")));
}

TEST(BrowseForFolder, AsksThroughTheSeamAndIsEmptyOnCancel) {
  kxtest::ScriptedUserScope scope;
  scope->answerFolder("/tmp/ziel/").answerFolder("");
  EXPECT_EQ(BrowseForFolder(nullptr, "Wählen Sie ein Verzeichnis:"), "/tmp/ziel");
  EXPECT_EQ(BrowseForFolder(nullptr, "noch einmal"), "");
  ASSERT_EQ(scope->asked.size(), 2u);
  EXPECT_EQ(scope->asked[0].kind, "folder");
  EXPECT_EQ(scope->asked[0].text, "Wählen Sie ein Verzeichnis:");
}

TEST(PlayAnimation, PlaysTheProgramsOwnClipAndIgnoresAMissingOne) {
  FrmKommando window;
  PlayAnimation(&window, "filecopy.avi");
  EXPECT_TRUE(window.Animation1->isPlaying()) << "filecopy.avi beside " << ProgramFolder().toStdString();
  FrmKommando other;
  PlayAnimation(&other, "fehlt.avi");
  EXPECT_FALSE(other.Animation1->isPlaying());
  PlayAnimation(nullptr, "filecopy.avi");  // no window: nothing happens
}

}  // namespace
}  // namespace kx
