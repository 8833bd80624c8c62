// An update that is cancelled, killed, or runs out of disk leaves the archive
// byte for byte as it was; the next update removes what a killed one left; an
// archive reached through a symbolic link is updated where the link points.
// A comment change interrupted at each of its steps is finished or undone.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/cancel.h"
#include "engine/zip/zip_add.h"
#include "engine/zip/zip_delete.h"
#include "engine/zip/zip_comment.h"
#include "engine/engine_fixture.h"

namespace {

using kxtest::ReadFile;
using kxtest::TempDir;
using kxtest::WriteFile;
namespace fs = std::filesystem;

// An archive with one entry, and a folder of files to add to it.
fs::path Prepare(const TempDir& dir, int files, std::size_t bytesEach) {
  WriteFile(dir / "alt.txt", "schon da");
  EXPECT_EQ(kxtest::Run({"zip", "-q", "a.zip", "alt.txt"}, dir.path()).exitCode, 0);
  for (int i = 0; i < files; ++i)
    WriteFile(dir / "neu" / ("f" + std::to_string(i) + ".bin"), kxtest::RandomBytes(bytesEach, i + 1));
  return dir / "a.zip";
}

TEST(CrashSafety, CancelFromProgressLeavesTheArchiveIdentical) {
  TempDir dir;
  const fs::path archive = Prepare(dir, 20, 100000);
  const std::string before = ReadFile(archive);
  kx::KxZip zip;
  kxwt::Aim(zip, archive, (dir / "neu").string());
  zip.MoveFiles = true;
  int events = 0;
  zip.Progress = [&](kx::ProgressEvent&) {
    if (++events == 5) KxCancel();
  };
  EXPECT_EQ(kx::AddFiles(zip), kx::rc::Cancelled);
  EXPECT_EQ(ReadFile(archive), before);
  EXPECT_TRUE(kxwt::Leftovers(dir.path()).empty());
  EXPECT_TRUE(fs::exists(dir / "neu/f0.bin"));  // nothing moved
  kx::ClearCancel();
}

TEST(CrashSafety, KilledUpdateLeavesTheOriginalAndTheNextUpdateCleansUp) {
  TempDir dir;
  const fs::path archive = Prepare(dir, 20, 200000);
  const std::string before = ReadFile(archive);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    kx::KxZip zip;
    kxwt::Aim(zip, archive, (dir / "neu").string());
    zip.Progress = [](kx::ProgressEvent& ev) {
      if (ev.Percent >= 40) ::raise(SIGKILL);  // mid-write, the new archive half done
    };
    kx::AddFiles(zip);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_EQ(ReadFile(archive), before);
  ASSERT_EQ(kxwt::Leftovers(dir.path()).size(), 1u);

  kx::KxZip zip;
  kxwt::Aim(zip, archive, (dir / "neu").string());
  ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
  EXPECT_TRUE(kxwt::Leftovers(dir.path()).empty());
  EXPECT_EQ(kxwt::PyNames(archive).size(), 1u + 1u + 20u);  // alt.txt, neu/, 20 files
}

TEST(CrashSafety, ArchiveBehindASymbolicLinkIsUpdatedWhereItPoints) {
  TempDir dir;
  const fs::path archive = Prepare(dir, 2, 1000);
  fs::create_directory(dir / "links");
  fs::create_symlink(archive, dir / "links/verweis.zip");
  kx::KxZip zip;
  kxwt::Aim(zip, dir / "links/verweis.zip", (dir / "neu").string());
  ASSERT_EQ(kx::AddFiles(zip), kx::rc::Ok);
  EXPECT_TRUE(fs::is_symlink(dir / "links/verweis.zip"));
  EXPECT_EQ(kxwt::PyNames(archive).size(), 4u);
  zip.FileSpec = "alt.txt";
  ASSERT_EQ(kx::DeleteEntries(zip), kx::rc::Ok);
  EXPECT_TRUE(fs::is_symlink(dir / "links/verweis.zip"));
  EXPECT_EQ(kxwt::PyNames(archive).size(), 3u);
  ASSERT_EQ(kx::WriteArchiveComment((dir / "links/verweis.zip").string(), "über den Verweis"), kx::rc::Ok);
  EXPECT_TRUE(fs::is_symlink(dir / "links/verweis.zip"));
  EXPECT_TRUE(kxwt::Leftovers(dir / "links").empty());
}

// Runs an add in a child whose files may not grow beyond `limit` bytes (the
// write then fails with EFBIG, as a full disk fails with ENOSPC).
kx::Result AddWithFileSizeLimit(const fs::path& archive, const fs::path& folder, rlim_t limit) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit rl = {limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &rl);
    kx::KxZip zip;
    kxwt::Aim(zip, archive, folder.string());
    ::_exit(static_cast<std::uint8_t>(kx::AddFiles(zip)));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? static_cast<kx::Result>(static_cast<std::int8_t>(WEXITSTATUS(status))) : kx::Result(1000);
}

// A file size limit fails the write with EFBIG, a full file system (a small
// tmpfs, where we may mount one) with ENOSPC: both are a full disk.
TEST(CrashSafety, FullDiskGivesDiskFullAndTheArchiveStays) {
  TempDir dir;
  const fs::path archive = Prepare(dir, 3, 150000);
  const std::string before = ReadFile(archive);
  EXPECT_EQ(AddWithFileSizeLimit(archive, dir / "neu", 200000), kx::rc::DiskFull);
  EXPECT_EQ(ReadFile(archive), before);
  EXPECT_TRUE(kxwt::Leftovers(dir.path()).empty());

  const fs::path small = dir / "klein";
  fs::create_directory(small);
  if (kxtest::Run({"mount", "-t", "tmpfs", "-o", "size=256k", "tmpfs", small.string()}).exitCode != 0) return;
  struct Unmount {
    fs::path at;
    ~Unmount() { kxtest::Run({"umount", at.string()}); }
  } unmount{small};
  fs::copy_file(archive, small / "a.zip");
  kx::KxZip zip;
  kxwt::Aim(zip, small / "a.zip", (dir / "neu").string());
  EXPECT_EQ(kx::AddFiles(zip), kx::rc::DiskFull) << "tmpfs";
  EXPECT_EQ(ReadFile(small / "a.zip"), before);
  EXPECT_TRUE(kxwt::Leftovers(small).empty());
  // A comment that does not fit either: refused before a byte changes.
  WriteFile(small / "fill", kxtest::RandomBytes(fs::space(small).available - 100, 9));
  EXPECT_EQ(kx::WriteArchiveComment((small / "a.zip").string(), std::string(60000, 'c')), kx::rc::DiskFull);
  EXPECT_EQ(ReadFile(small / "a.zip"), before);
}

// The comment change stopped after each of its steps, as a kill would stop it.
TEST(CrashSafety, InterruptedCommentChangeIsFinishedOrUndone) {
  TempDir dir;
  const fs::path archive = Prepare(dir, 0, 0);
  ASSERT_EQ(kx::WriteArchiveComment(archive.string(), "eine recht lange alte Bemerkung"), kx::rc::Ok);
  const std::string old = ReadFile(archive);
  const std::string target = archive.string();
  const std::string journal = kx::CommentJournalPath(target);

  // Killed while the journal was written: the torn journal is dropped, the archive is the old one.
  kx::CommentChange change;
  ASSERT_EQ(kx::PlanCommentChange(target, "neu", change), kx::rc::Ok);
  ASSERT_EQ(kx::WriteCommentJournal(change), kx::rc::Ok);
  fs::resize_file(journal, fs::file_size(journal) - 3);
  EXPECT_EQ(ReadFile(archive), old);
  ASSERT_EQ(kx::RecoverCommentJournal(target), kx::rc::Ok);
  EXPECT_FALSE(fs::exists(journal));
  EXPECT_EQ(ReadFile(archive), old);

  // Killed after the journal: the archive is still the old one and readable; recovery rolls forward.
  ASSERT_EQ(kx::WriteCommentJournal(change), kx::rc::Ok);
  std::string comment;
  EXPECT_EQ(kxwt::PyEntries(archive, &comment).size(), 1u);
  EXPECT_EQ(comment, "eine recht lange alte Bemerkung");
  ASSERT_EQ(kx::RecoverCommentJournal(target), kx::rc::Ok);
  EXPECT_EQ(kxwt::PyEntries(archive, &comment).size(), 1u);
  EXPECT_EQ(comment, "neu");
  EXPECT_FALSE(fs::exists(journal));
  const std::string finished = ReadFile(archive);

  // Killed between overwriting and cutting: all entries readable, and the next update finishes it.
  WriteFile(archive, old);
  ASSERT_EQ(kx::WriteCommentJournal(change), kx::rc::Ok);
  {
    const int fd = ::open(target.c_str(), O_WRONLY);
    ASSERT_EQ(::pwrite(fd, change.newTail.data(), change.newTail.size(), change.old.offset),
              static_cast<ssize_t>(change.newTail.size()));
    ::close(fd);
  }
  EXPECT_EQ(kxwt::PyEntries(archive, &comment).size(), 1u);
  EXPECT_TRUE(kxwt::UnzipTestOk(archive));
  kx::KxZip zip;
  zip.ZipFile = target;
  zip.FileSpec = "gibtsnicht";
  EXPECT_EQ(kx::DeleteEntries(zip), kx::rc::NoFiles);  // any update recovers first
  EXPECT_EQ(ReadFile(archive), finished);

  // A journal that belongs to an archive replaced since is dropped, the archive left alone.
  ASSERT_EQ(kx::PlanCommentChange(target, "veraltet", change), kx::rc::Ok);
  ASSERT_EQ(kx::WriteCommentJournal(change), kx::rc::Ok);
  WriteFile(archive, old);
  ASSERT_EQ(kx::RecoverCommentJournal(target), kx::rc::Ok);
  EXPECT_EQ(ReadFile(archive), old);
  EXPECT_FALSE(fs::exists(journal));
}

}  // namespace
