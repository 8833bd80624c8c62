#include "shell/error_report.h"

#include <gtest/gtest.h>

#include "app/base/run_error.h"
#include "support/scripted_user.h"
#include "support/test_support.h"

namespace kx {
namespace {

TEST(ReportError, ShowsThePendingErrorInTheErrorFormatThenClearsIt) {
  kxtest::ScriptedUserScope scope;
  scope->answerMessage(0);

  ErrorTrap err;
  bool laterStepRan = false;
  err([] { Raise(err::FileNotFound); });
  err([&] { laterStepRan = true; });
  ASSERT_TRUE(laterStepRan);
  if (err) ReportError(err);

  ASSERT_EQ(scope->asked.size(), 1u);
  EXPECT_EQ(scope->asked[0].title, "Nachricht");
  EXPECT_EQ(scope->asked[0].text, "ERROR 53\r\n (Datei nicht gefunden)");
  EXPECT_EQ(scope->asked[0].symbol, 2);
  EXPECT_FALSE(err);
  EXPECT_EQ(err.number(), 0);
}

TEST(ReportError, ReportsAFileSystemFailureWithItsClassicNumber) {
  kxtest::ScriptedUserScope scope;
  scope->answerMessage(0);
  ErrorTrap err;
  err([] { (void)std::filesystem::file_size("/no-such-folder-kx/a.txt"); });
  ReportError(err);
  ASSERT_EQ(scope->asked.size(), 1u);
  EXPECT_EQ(scope->asked[0].text, "ERROR 76\r\n (Pfad nicht gefunden)");
}

TEST(ExploreFolder, OpensExistingFoldersOnly) {
  kxtest::ScriptedUserScope scope;
  kxtest::TempDir dir;
  const QString folder = QString::fromStdString(dir.path().string());
  ExploreFolder(nullptr, folder);
  ExploreFolder(nullptr, folder + "/missing");
  ExploreFolder(nullptr, "/");
  ASSERT_EQ(scope->opened.size(), 2u);
  EXPECT_EQ(scope->opened[0], folder);
  EXPECT_EQ(scope->opened[1], "/");
}

}  // namespace
}  // namespace kx
