// The file search on real files: times, size, names, patterns and masks.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "start_dialog/file_facts.h"
#include "support/test_support.h"

namespace kx {
namespace {

LocalDateTime Local(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

TEST(FileFacts, ReadsTimesSizeAndNamesOfOneFile) {
  kxtest::TempDir dir;
  const auto file = dir / "README.TXT";
  kxtest::WriteFile(file, "");
  ASSERT_EQ(truncate(file.c_str(), (1LL << 32) + 5), 0);  // sparse: only the low 32 bits count
  const timespec times[2] = {{1000000000, 0}, {881328185, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  FileFacts facts;
  FileSearch search;
  EXPECT_EQ(search.findFirst(file.string(), 0, facts), "Readme.txt");
  EXPECT_EQ(facts.longName, "README.TXT");
  EXPECT_EQ(facts.size, 5u);
  EXPECT_EQ(facts.attributes, fileattr::Archive);
  EXPECT_EQ(facts.accessed, Local(1000000000));
  EXPECT_EQ(facts.modified, Local(881328185));
  EXPECT_EQ(search.findNext(facts), "");
  // The birth time where the file system keeps one (procfs keeps none),
  // else the status change.
  for (const std::filesystem::path& path : {file, std::filesystem::path("/proc/version")}) {
    struct statx sx {};
    ASSERT_EQ(statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_CTIME, &sx), 0);
    const bool birth = (sx.stx_mask & STATX_BTIME) != 0;
    ASSERT_TRUE(ReadFileFacts(path, facts));
    EXPECT_EQ(facts.createdIsBirthTime, birth) << path;
    EXPECT_EQ(facts.created, Local(birth ? sx.stx_btime.tv_sec : sx.stx_ctime.tv_sec)) << path;
  }
  EXPECT_FALSE(facts.createdIsBirthTime);
}

TEST(FileFacts, PatternsMatchEitherCaseAndMasksChooseTheKind) {
  kxtest::TempDir dir;
  for (const char* name : {"b.zip", "A.ZIP", "ohne"}) kxtest::WriteFile(dir / name, "x");
  std::filesystem::create_directory(dir / "ordner.zip");
  struct Row { const char* pattern; std::uint32_t mask; std::vector<std::string> found; };
  for (const Row& row : {Row{"*.zip", 0, {"A.zip", "B.zip", "Ordner.zip"}},
                         Row{"*.zip", fileattr::Directory, {"Ordner.zip"}},
                         Row{"*.*", fileattr::Archive, {"A.zip", "B.zip", "Ohne"}},
                         Row{"?.ZIP", 0, {"A.zip", "B.zip"}}, Row{"fehlt.zip", 0, {}}}) {
    FileSearch search;
    FileFacts facts;
    std::vector<std::string> found;
    for (auto n = search.findFirst((dir / row.pattern).string(), row.mask, facts); !n.empty();
         n = search.findNext(facts))
      found.push_back(n);
    EXPECT_EQ(found, row.found) << row.pattern;
  }
}

}  // namespace
}  // namespace kx
