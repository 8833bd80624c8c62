// The engine control: dispatch, error events, comment write-through and the
// entry getters outside the directory (inside it zip_read_test checks them
// against every peer; an equal comment is zip_comment_test's).
#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace {

using kxtest::TempDir;
using kxtest::WriteFile;

TEST(KxZipControl, FailedActionsReachTheProgressEventAndActionReturnsToZero) {
  kx::KxZip zip;
  std::vector<kx::ProgressEvent> events;
  zip.Progress = [&](kx::ProgressEvent& e) { events.push_back(e); };
  zip.ZipFile = "/nicht/vorhanden.zip";
  zip.SetAction(99);
  EXPECT_EQ(zip.Action(), 0);
  EXPECT_EQ(zip.LastResult(), kx::rc::NoAction);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].MsgType, kx::rc::NoAction);
  EXPECT_EQ(events[0].Operation, 99);

  zip.EngineEnabled = false;
  zip.SetAction(kx::action::ReadDirectory);
  EXPECT_EQ(zip.LastResult(), kx::rc::NoAction);
}

TEST(KxZipControl, CommentWritesThroughAndGettersOutsideTheDirectoryAreEmpty) {
  TempDir dir;
  WriteFile(dir / "a.txt", "inhalt");
  kxwt::Pack({"zip", "-q", "a.zip", "a.txt"}, dir.path());
  kx::KxZip zip;
  zip.ZipFile = (dir / "a.zip").string();
  zip.SetAction(kx::action::ReadDirectory);
  ASSERT_EQ(zip.EntryCount(), 1);
  zip.SetZipComment("Grüße aus Köln");
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  EXPECT_EQ(zip.ZipComment(), "Grüße aus Köln");
  std::string comment;
  EXPECT_EQ(kxwt::PyEntries(dir / "a.zip", &comment).size(), 1u);
  EXPECT_EQ(comment, "Grüße aus Köln");
  zip.SetEntryIndex(0);
  EXPECT_EQ(zip.EntryName(), "a.txt");
  zip.SetEntryIndex(1);
  EXPECT_EQ(zip.EntryName(), "");
  EXPECT_EQ(zip.EntrySize(), 0);
  EXPECT_EQ(zip.EntryDate(), "");
  zip.SetEntryIndex(-1);
  EXPECT_EQ(zip.Entry(), nullptr);
}

}  // namespace
