// Action 5: deleting entries keeps the others byte for byte, an archive
// whose last entry goes stays a valid empty archive, and nothing named means
// nothing written.
#include <gtest/gtest.h>

#include "engine/cancel.h"
#include "engine/zip/zip_comment.h"
#include "engine/zip/zip_delete.h"
#include "engine/engine_fixture.h"

namespace {

using kxtest::ReadFile;
using kxtest::TempDir;
using kxtest::WriteFile;
namespace fs = std::filesystem;

// A five-entry archive made by Info-ZIP zip, so we delete from a foreign archive.
fs::path MakeFive(const TempDir& dir) {
  for (const char* n : {"a.txt", "b.txt", "mit blank.txt", "d.log", "e.txt"})
    WriteFile(dir / "src" / n, std::string(n) + kxtest::RandomBytes(3000, n[0]));
  const fs::path archive = dir / "fuenf.zip";
  EXPECT_EQ(kxtest::Run({"zip", "-q", "-X", archive.string(), "a.txt", "b.txt", "mit blank.txt", "d.log", "e.txt"}, dir / "src")
                .exitCode,
            0);
  return archive;
}

std::string Delete(const fs::path& archive, const std::string& request, kx::Result expected) {
  kx::KxZip zip;
  zip.ZipFile = archive.string();
  zip.FileSpec = request;
  EXPECT_EQ(kx::DeleteEntries(zip), expected) << request;
  return ReadFile(archive);
}

struct DeleteRow {
  std::string request;
  std::vector<std::string> left;
};

class ZipDeleteRows : public ::testing::TestWithParam<DeleteRow> {};

TEST_P(ZipDeleteRows, RemovesNamedEntriesAndKeepsTheOthersIdentical) {
  TempDir dir;
  const fs::path archive = MakeFive(dir);
  std::map<std::string, kxwt::PyEntry> before;
  for (const auto& e : kxwt::PyEntries(archive)) before[e.name] = e;
  Delete(archive, GetParam().request, kx::rc::Ok);
  std::vector<std::string> left;
  for (const auto& e : kxwt::PyEntries(archive)) {
    left.push_back(e.name);
    EXPECT_EQ(e.crc, before[e.name].crc) << e.name;
    EXPECT_EQ(e.packed, before[e.name].packed) << e.name;  // copied, not recompressed
    EXPECT_EQ(e.time, before[e.name].time) << e.name;
  }
  EXPECT_EQ(left, GetParam().left);
  EXPECT_TRUE(kxwt::UnzipTestOk(archive));
  EXPECT_TRUE(kxwt::SevenZipTestOk(archive));
}

INSTANTIATE_TEST_SUITE_P(Rows, ZipDeleteRows,
                         ::testing::Values(DeleteRow{"b.txt d.log", {"a.txt", "mit blank.txt", "e.txt"}},
                                           DeleteRow{"\"mit blank.txt\"", {"a.txt", "b.txt", "d.log", "e.txt"}},
                                           DeleteRow{"*.txt", {"d.log"}},
                                           DeleteRow{"?.log a.txt", {"b.txt", "mit blank.txt", "e.txt"}}));

TEST(ZipDelete, LastEntryLeavesAValidEmptyArchiveWithItsComment) {
  TempDir dir;
  WriteFile(dir / "nur.txt", "einzig");
  ASSERT_EQ(kxtest::Run({"zip", "-q", (dir / "eins.zip").string(), "nur.txt"}, dir.path()).exitCode, 0);
  ASSERT_EQ(kx::WriteArchiveComment((dir / "eins.zip").string(), "Notiz"), kx::rc::Ok);
  Delete(dir / "eins.zip", "nur.txt", kx::rc::Ok);
  ASSERT_TRUE(fs::exists(dir / "eins.zip"));
  EXPECT_EQ(fs::file_size(dir / "eins.zip"), 22u + 5u);
  std::string comment;
  EXPECT_TRUE(kxwt::PyEntries(dir / "eins.zip", &comment).empty());
  EXPECT_EQ(comment, "Notiz");
  const auto list = kxtest::Run({"unzip", "-l", (dir / "eins.zip").string()});
  EXPECT_NE(list.output.find("zipfile is empty"), std::string::npos) << list.output;
}

TEST(ZipDelete, NothingNamedGivesNoFilesAndWritesNothing) {
  TempDir dir;
  const fs::path archive = MakeFive(dir);
  const std::string before = ReadFile(archive);
  EXPECT_EQ(Delete(archive, "gibtsnicht.txt", kx::rc::NoFiles), before);
  EXPECT_EQ(Delete(archive, "", kx::rc::NoFiles), before);
}

TEST(ZipDelete, BrokenArchiveGivesAnErrorAndStaysAsItWas) {
  TempDir dir;
  WriteFile(dir / "kaputt.zip", "PK\x03\x04 but nothing that follows makes sense");
  const std::string before = ReadFile(dir / "kaputt.zip");
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "kaputt.zip", "a.txt");
  EXPECT_LT(kx::Code(kx::DeleteEntries(zip)), 0);
  EXPECT_EQ(ReadFile(dir / "kaputt.zip"), before);
  zip.ZipFile = (dir / "fehlt.zip").string();
  EXPECT_EQ(kx::DeleteEntries(zip), kx::rc::FileNotFound);
}

TEST(ZipDelete, ProgressNamesTheDeletedEntriesAsOperationFive) {
  TempDir dir;
  const fs::path archive = MakeFive(dir);
  kx::KxZip zip;
  zip.ZipFile = archive.string();
  zip.FileSpec = "a.txt e.txt";
  std::vector<std::string> names;
  zip.Progress = [&](kx::ProgressEvent& ev) {
    EXPECT_EQ(ev.Operation, kx::action::Delete);
    names.push_back(ev.FileName);
  };
  ASSERT_EQ(kx::DeleteEntries(zip), kx::rc::Ok);
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[0], "a.txt");
  EXPECT_EQ(names[1], "e.txt");
}

}  // namespace
