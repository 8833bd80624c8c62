// The engine control: dispatch, error events, comment write-through and the
// entry getters outside the directory (inside it zip_extract_test checks them
// against every peer; an equal comment is zip_comment_test's).
#include <gtest/gtest.h>

#include "engine/engine_fixture.h"
#include "engine/raw_zip.h"

namespace {

using kxtest::TempDir;
using kxtest::WriteFile;
namespace fs = std::filesystem;

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

// A missing file, a foreign one, a damaged archive: each failed action
// reaches Progress once, with the most specific name there is.
TEST(KxZipControl, OneErrorEventPerFailedActionWithTheMostSpecificName) {
  TempDir dir;
  kxtest::RawZip raw;
  raw.Add(kxtest::FileEntry("a.txt", "eins"));
  raw.Add(kxtest::FileEntry("b.txt", "zwei"));
  raw.central[1].localOffset += 3;  // no local header where the directory says
  WriteFile(dir / "kaputt.zip", raw.Finish());
  WriteFile(dir / "text.zip", "Dies ist kein Archiv, nur Text.\n");
  // libzip refuses a name flagged UTF-8 that is not: a clear error, no guess.
  kxtest::RawZip lying;
  kxtest::RawEntry e = kxtest::FileEntry("\x8e" "rger.txt", "x");
  e.flags = 0x0800;
  lying.Add(e);
  WriteFile(dir / "falsch.zip", lying.Finish());

  struct Case {
    const char* file;
    std::int16_t action;
    kx::Result result;
    std::string name;
  };
  for (const Case& c : {Case{"kaputt.zip", kx::action::Test, kx::rc::ArchiveError, "b.txt"},
                        Case{"kaputt.zip", kx::action::Extract, kx::rc::ArchiveError, "b.txt"},
                        Case{"text.zip", kx::action::ReadDirectory, kx::rc::UnknownArchiveType, ""},
                        Case{"text.zip", kx::action::Test, kx::rc::UnknownArchiveType, ""},
                        Case{"fehlt.zip", kx::action::ReadDirectory, kx::rc::FileNotFound, ""},
                        Case{"falsch.zip", kx::action::ReadDirectory, kx::rc::ArchiveError, "Ärger.txt"}}) {
    kx::KxZip zip;
    std::vector<kx::ProgressEvent> errors;
    zip.Progress = [&](kx::ProgressEvent& ev) {
      if (ev.MsgType != 0) errors.push_back(ev);
    };
    kxwt::Aim(zip, dir / c.file, "", dir / "aus");
    zip.SetAction(c.action);
    EXPECT_EQ(zip.LastResult(), c.result) << c.file << " " << c.action;
    EXPECT_EQ(zip.EntryCount(), 0) << c.file;
    ASSERT_EQ(errors.size(), 1u) << c.file << " " << c.action;
    EXPECT_EQ(errors[0].MsgType, c.result);
    EXPECT_EQ(errors[0].FileName, c.name);
    EXPECT_EQ(errors[0].Operation, c.action);
  }
  EXPECT_FALSE(fs::exists(dir / "aus"));
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

  // A write that fails is told through Progress, and the held comment stays.
  std::vector<kx::ProgressEvent> events;
  zip.Progress = [&](kx::ProgressEvent& e) { events.push_back(e); };
  fs::remove(dir / "a.zip");
  zip.SetZipComment("verloren");
  EXPECT_EQ(zip.LastResult(), kx::rc::FileNotFound);
  EXPECT_EQ(zip.ZipComment(), "Grüße aus Köln");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].MsgType, kx::rc::FileNotFound);
  EXPECT_EQ(events[0].ZipFile, (dir / "a.zip").string());
}

}  // namespace
