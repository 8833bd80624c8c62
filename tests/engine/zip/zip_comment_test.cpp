// The archive comment: rewritten in place (entries untouched), an equal
// comment writes nothing, an over-long one is refused, and the handle
// functions wrap it.
#include <gtest/gtest.h>

#include "engine/functions/kx_comment.h"
#include "engine/zip/zip_comment.h"
#include "engine/engine_fixture.h"

namespace {

using kxtest::ReadFile;
using kxtest::TempDir;
using kxtest::WriteFile;
namespace fs = std::filesystem;

// Two entries; with zip64 "zip -fz" writes Zip64 records even for so small an archive.
fs::path MakeArchive(const TempDir& dir, bool zip64 = false) {
  WriteFile(dir / "a.txt", kxtest::RandomBytes(5000, 7));
  WriteFile(dir / "b.txt", "zwei");
  std::vector<std::string> argv = {"zip", "-q", "x.zip", "a.txt", "b.txt"};
  if (zip64) argv.insert(argv.begin() + 2, "-fz");
  kxwt::Pack(argv, dir.path());
  return dir / "x.zip";
}

// Everything before the end record: local headers, data and central directory.
std::string Body(const fs::path& archive) {
  const std::string all = ReadFile(archive);
  const auto at = all.rfind(std::string("PK\x05\x06", 4));
  return at == std::string::npos ? std::string() : all.substr(0, at);
}

TEST(ZipComment, NewCommentIsReadByPeersAndLeavesEntriesUntouched) {
  for (const bool zip64 : {false, true}) {
    SCOPED_TRACE(zip64 ? "zip64" : "plain");
    TempDir dir;
    const fs::path archive = MakeArchive(dir, zip64);
    const std::string body = Body(archive);
    for (const std::string& comment :
         std::vector<std::string>{"Erste Bemerkung – mit Umlauten äöü", "kürzer", std::string(3000, 'x'), ""}) {
      ASSERT_EQ(kx::WriteArchiveComment(archive.string(), comment), kx::rc::Ok);
      EXPECT_EQ(Body(archive), body);
      std::string read;
      EXPECT_EQ(kxwt::PyEntries(archive, &read).size(), 2u);
      EXPECT_EQ(read, comment);
      EXPECT_EQ(fs::file_size(archive), body.size() + 22 + comment.size());
      if (!comment.empty()) {
        const auto z = kxtest::Run({"unzip", "-z", archive.string()});
        EXPECT_NE(z.output.find(comment), std::string::npos) << z.output;
      }
      EXPECT_TRUE(kxwt::UnzipTestOk(archive));
    }
    EXPECT_TRUE(kxwt::Leftovers(dir.path()).empty());
  }
}

TEST(ZipComment, EqualCommentWritesNothing) {
  TempDir dir;
  const fs::path archive = MakeArchive(dir);
  ASSERT_EQ(kx::WriteArchiveComment(archive.string(), "gleich"), kx::rc::Ok);
  kxwt::SetMtime(archive, 1000000000);
  ASSERT_EQ(kx::WriteArchiveComment(archive.string(), "gleich"), kx::rc::Ok);
  EXPECT_EQ(kxwt::Mtime(archive), 1000000000);
  ASSERT_EQ(kx::WriteArchiveComment(archive.string(), "anders"), kx::rc::Ok);
  EXPECT_NE(kxwt::Mtime(archive), 1000000000);
}

TEST(ZipComment, TooLongCommentIsRefusedAndTheArchiveKept) {
  TempDir dir;
  const fs::path archive = MakeArchive(dir);
  const std::string before = ReadFile(archive);
  EXPECT_EQ(kx::WriteArchiveComment(archive.string(), std::string(65536, 'y')), kx::rc::Overflow);
  EXPECT_EQ(ReadFile(archive), before);
  ASSERT_EQ(kx::WriteArchiveComment(archive.string(), std::string(65535, 'y')), kx::rc::Ok);
  std::string read;
  kxwt::PyEntries(archive, &read);
  EXPECT_EQ(read.size(), 65535u);
}

TEST(ZipComment, NonArchivesAndMissingFilesAreReported) {
  TempDir dir;
  WriteFile(dir / "text.zip", "no archive here");
  EXPECT_EQ(kx::WriteArchiveComment((dir / "text.zip").string(), "x"), kx::rc::UnknownArchiveType);
  EXPECT_EQ(ReadFile(dir / "text.zip"), "no archive here");
  EXPECT_EQ(kx::WriteArchiveComment((dir / "fehlt.zip").string(), "x"), kx::rc::FileNotFound);
}

TEST(ZipComment, HandleFunctionsWriteThroughTheHandle) {
  TempDir dir;
  const fs::path archive = MakeArchive(dir);
  KxHandle handle = 0;
  ASSERT_EQ(KxZipOpen(archive.string(), 0, handle), kx::rc::Ok);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(KxZipNewComment(handle, "über den Griff"), kx::rc::Ok);
  EXPECT_EQ(KxZipClose(handle), kx::rc::Ok);
  EXPECT_EQ(handle, 0);
  std::string read;
  kxwt::PyEntries(archive, &read);
  EXPECT_EQ(read, "über den Griff");

  KxHandle stale = 12345;
  EXPECT_EQ(KxZipNewComment(stale, "x"), kx::rc::InvalidHandle);
  EXPECT_EQ(KxZipClose(stale), kx::rc::InvalidHandle);
  KxHandle missing = 0;
  EXPECT_EQ(KxZipOpen((dir / "fehlt.zip").string(), 0, missing), kx::rc::FileNotFound);
  EXPECT_EQ(missing, 0);
}

}  // namespace
