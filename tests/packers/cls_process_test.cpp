// clsProcess with real programs: the argument vector arrives literally, the
// environment lacks the packer variables, output is capped, a failed start
// ends the wait at once, and the end stays seen.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "packers/cls_process.h"
#include "support/test_support.h"

namespace {

// Polls like the wait loop does, bounded so a fault cannot hang the test.
bool WaitEnd(clsProcess& p, int seconds = 20) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < until)
    if (p.IsTerminated()) return true;
  return false;
}

TEST(ClsProcess, ArgumentsEnvironmentFolderAndExitStatus) {
  kxtest::TempDir dir;
  setenv("ARJ_SW", "-jm", 1);
  clsProcess p;
  p.ArgumentVector({"sh", "-c", "printf '%s|' \"$1\" \"$2\" \"${ARJ_SW-none}\" \"$(pwd)\"; read x; exit 3", "sh",
                    "-a b", "\"q\" !@"});
  p.WorkingDirectory(dir.path().string());
  ASSERT_TRUE(p.Exec());
  ASSERT_TRUE(WaitEnd(p));
  unsetenv("ARJ_SW");
  EXPECT_EQ(p.Output(), "-a b|\"q\" !@|none|" + dir.path().string() + "|");
  EXPECT_EQ(p.ExitStatus(), 3);  // `read` met end of input at once
  EXPECT_TRUE(p.IsTerminated());
  EXPECT_TRUE(p.IsTerminated());
}

TEST(ClsProcess, CommandLineTextIsSplit) {
  clsProcess p;
  p.ProgramName("printf \"%s;\" \"a b\" c");
  EXPECT_EQ(p.CommandLine(), "printf \"%s;\" \"a b\" c ");
  ASSERT_TRUE(p.Exec());
  ASSERT_TRUE(WaitEnd(p));
  EXPECT_EQ(p.Output(), "a b;c;");
  EXPECT_EQ(p.ExitStatus(), 0);
}

TEST(ClsProcess, FailedStartIsKnownAndEndsTheWait) {
  for (const char* program : {"/nonexistent/arj", "kravix-no-such-program", ""}) {
    clsProcess p;
    p.ProgramName(program);
    EXPECT_FALSE(p.Exec()) << program;
    EXPECT_NE(p.StartError(), 0);
    EXPECT_TRUE(p.IsTerminated());
    EXPECT_EQ(p.ExitStatus(), -1);
  }
}

TEST(ClsProcess, OutputIsCappedAndKillEndsTheChild) {
  clsProcess p;
  p.ArgumentVector({"sh", "-c", "head -c 300000 /dev/zero | tr '\\0' x; echo END; sleep 30"});
  ASSERT_TRUE(p.Exec());
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (p.Output().find("END") == std::string::npos && std::chrono::steady_clock::now() < until) p.IsTerminated();
  EXPECT_EQ(p.OutputBytes(), 300004u);
  EXPECT_EQ(p.Output().size(), clsProcess::kOutputCap);
  p.Kill();
  ASSERT_TRUE(WaitEnd(p, 5));
  EXPECT_TRUE(p.Signalled());
  EXPECT_EQ(p.ExitStatus(), -1);
}

}  // namespace
