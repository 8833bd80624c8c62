// The engine control: dispatch, error events, comment write-through and the
// entry getters after a listing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include "engine/kxzip.h"
#include "support/test_support.h"

namespace {

using kxtest::TempDir;
using kxtest::WriteFile;

std::string PyComment(const kxtest::fs::path& archive) {
  return kxtest::Run({"python3", "-c", "import sys,zipfile;sys.stdout.write(zipfile.ZipFile(sys.argv[1]).comment.decode())",
              archive.string()})
      .output;
}

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

TEST(KxZipControl, CommentIsWrittenOnlyWhenItChanges) {
  TempDir dir;
  WriteFile(dir / "a.txt", "inhalt");
  ASSERT_EQ(kxtest::Run({"zip", "-q", "a.zip", "a.txt"}, dir.path()).exitCode, 0);
  kx::KxZip zip;
  zip.ZipFile = (dir / "a.zip").string();
  zip.SetZipComment("Grüße aus Köln");
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  EXPECT_EQ(zip.ZipComment(), "Grüße aus Köln");
  EXPECT_EQ(PyComment(dir / "a.zip"), "Grüße aus Köln");

  // Equal text: the file is not touched at all.
  struct stat before {};
  ASSERT_EQ(stat((dir / "a.zip").c_str(), &before), 0);
  const std::string bytes = kxtest::ReadFile(dir / "a.zip");
  timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir / "a.zip").c_str(), old, 0), 0);
  zip.SetZipComment("Grüße aus Köln");
  struct stat after {};
  ASSERT_EQ(stat((dir / "a.zip").c_str(), &after), 0);
  EXPECT_EQ(after.st_mtime, 1000000000);
  EXPECT_EQ(kxtest::ReadFile(dir / "a.zip"), bytes);
}

TEST(KxZipControl, EntryGettersDescribeTheListedArchive) {
  TempDir dir;
  WriteFile(dir / "klein.txt", "abc");
  WriteFile(dir / "ordner/innen.txt", std::string(5000, 'x'));
  // A fixed local time, so date and time texts are known.
  ASSERT_EQ(kxtest::Run({"touch", "-d", "2021-03-04 05:06:08", (dir / "klein.txt").string()}).exitCode, 0);
  ASSERT_EQ(kxtest::Run({"zip", "-q", "-r", "a.zip", "klein.txt", "ordner"}, dir.path()).exitCode, 0);

  kx::KxZip zip;
  zip.ZipFile = (dir / "a.zip").string();
  zip.SetAction(kx::action::ReadDirectory);
  ASSERT_EQ(zip.LastResult(), kx::rc::Ok);
  ASSERT_EQ(zip.EntryCount(), 3);
  zip.SetEntryIndex(0);
  EXPECT_EQ(zip.EntryName(), "klein.txt");
  EXPECT_EQ(zip.EntryDate(), "04.03.2021");
  EXPECT_EQ(zip.EntryTime(), "05:06:08");
  EXPECT_EQ(zip.EntrySize(), 3);
  EXPECT_EQ(zip.EntryCrc(), static_cast<std::int32_t>(0x352441c2u));  // CRC-32 of "abc"
  EXPECT_FALSE(zip.EntryEncrypted());
  zip.SetEntryIndex(2);
  EXPECT_EQ(zip.EntryName(), "ordner/innen.txt");
  EXPECT_EQ(zip.EntrySize(), 5000);
  EXPECT_LT(zip.EntryPackedSize(), 100);
  // Outside the directory every getter is empty.
  zip.SetEntryIndex(3);
  EXPECT_EQ(zip.EntryName(), "");
  EXPECT_EQ(zip.EntrySize(), 0);
  zip.SetEntryIndex(-1);
  EXPECT_EQ(zip.Entry(), nullptr);
}

}  // namespace
