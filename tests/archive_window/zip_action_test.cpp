#include "archive_window/zip_action.h"

#include <gtest/gtest.h>

#include "app/program_state.h"
#include "archive_window/window_fixture.h"
#include "engine/kxzip.h"
#include "support/scripted_user.h"

namespace kx {
namespace {

class ZipAction : public kxtest::FreshStart {
 protected:
  // a.zip with a.txt, b.txt and "mit blank.txt", made by Info-ZIP's zip.
  std::string makeArchive() {
    for (const char* name : {"a.txt", "b.txt", "mit blank.txt"}) kxtest::WriteFile(dir_ / "src" / name, name);
    EXPECT_EQ(kxtest::Run({"zip", "-q", "../a.zip", "a.txt", "b.txt", "mit blank.txt"}, dir_ / "src").exitCode, 0);
    return (dir_ / "a.zip").string();
  }
  std::string listing(const std::string& archive) {
    return kxtest::Run({"unzip", "-Z1", archive}).output;
  }
};

TEST_F(ZipAction, SendsEveryOptionRunsTheActionAndForgetsThePassword) {
  const std::string archive = makeArchive();
  ProgramWideState& s = ProgramState();
  s.CurrentArchive = QString::fromStdString(archive);
  s.Password = "  geheim\t ";
  s.TargetFolder = "/srv/ziel";
  s.Options = {4, true, false, 0, true, false, 2, 1, 2};
  KxZip engine;
  std::string passwordDuringAction;
  engine.Progress = [&](ProgressEvent&) { passwordDuringAction = engine.Password; };

  zip(engine, "  b.txt \"mit blank.txt\"  ", action::Delete);

  EXPECT_EQ(engine.FileSpec, "b.txt \"mit blank.txt\"") << "trimmed at the ends only";
  EXPECT_EQ(passwordDuringAction, "geheim\t") << "blanks trimmed, nothing else";
  EXPECT_EQ(engine.ZipFile, archive);
  EXPECT_EQ(engine.CompressionLevel, 4);
  EXPECT_TRUE(engine.MultiVolume);
  EXPECT_FALSE(engine.LongNames);
  EXPECT_EQ(engine.StorePaths, 0);
  EXPECT_TRUE(engine.MoveFiles);
  EXPECT_EQ(engine.TargetDir, "/srv/ziel");
  EXPECT_FALSE(engine.RestoreFolders);
  EXPECT_EQ(engine.ArchiveDateMode, 2);
  EXPECT_EQ(engine.ExtractMode, 1);
  EXPECT_EQ(engine.OverwriteMode, 2);
  EXPECT_TRUE(engine.EngineEnabled);
  EXPECT_EQ(engine.Action(), action::None);
  EXPECT_TRUE(s.Password.isEmpty());
  EXPECT_TRUE(engine.Password.empty());
  EXPECT_EQ(listing(archive), "a.txt\n") << "the action ran on the archive";
}

TEST_F(ZipAction, WritesTheHeldCommentBackOnlyWhenThereIsOne) {
  const std::string archive = makeArchive();
  ProgramWideState& s = ProgramState();
  s.CurrentArchive = QString::fromStdString(archive);
  KxZip engine;
  s.PendingComment = "  Notiz zum Archiv  ";
  zip(engine, "b.txt", action::Delete);
  EXPECT_NE(kxtest::Run({"unzip", "-z", archive}).output.find("Notiz zum Archiv"), std::string::npos);
  EXPECT_EQ(s.PendingComment, "  Notiz zum Archiv  ") << "the held comment stays";

  s.PendingComment.clear();
  zip(engine, "a.txt", action::Delete);
  EXPECT_NE(kxtest::Run({"unzip", "-z", archive}).output.find("Notiz zum Archiv"), std::string::npos)
      << "an empty held comment writes nothing";
}

// DOS archives often end their comment in CR LF; the held comment is the
// stored one, so an action that changes nothing must not rewrite the file.
TEST_F(ZipAction, AHeldCommentEndingInCrLfLeavesTheArchiveUntouched) {
  const std::string archive = makeArchive();
  for (const char* comment : {"Notiz\r\n", "Zeile 1\r\nZeile 2\r\n\r\n"}) {
    ASSERT_EQ(kxtest::Run({"python3", "-c",
                           "import sys, zipfile\n"
                           "with zipfile.ZipFile(sys.argv[1], 'a') as z: z.comment = sys.argv[2].encode()",
                           archive, comment}).exitCode, 0);
    const std::string before = kxtest::ReadFile(archive);
    ProgramWideState& s = ProgramState();
    s.CurrentArchive = QString::fromStdString(archive);
    s.PendingComment = QString::fromUtf8(comment);
    KxZip engine;
    zip(engine, "*.*", action::Test);
    EXPECT_EQ(kxtest::ReadFile(archive), before) << "rewritten for " << comment;
  }
}

TEST_F(ZipAction, AnEmptyPasswordLeavesTheEnginesAlone) {
  const std::string archive = makeArchive();
  ProgramState().CurrentArchive = QString::fromStdString(archive);
  KxZip engine;
  engine.Password = "vom Aufrufer";
  std::string seen;
  engine.Progress = [&](ProgressEvent&) { seen = engine.Password; };
  zip(engine, "b.txt", action::Delete);
  EXPECT_TRUE(engine.Password.empty()) << "cleared after the action in any case";
}

}  // namespace
}  // namespace kx
