#include "engine/zip/zip_comment.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "engine/io/file_io.h"
#include "engine/zip/zip_central_dir.h"
#include "engine/zip/zip_format.h"
#include "engine/io/byte_source.h"
#include "engine/functions/kx_identify.h"
#include "engine/io/replace_file.h"

namespace kx {

using namespace zipfmt;
namespace {

// Journal file (little-endian):
//
//   +0  8 bytes magic "KXCOMJ01"
//   +8  u64 archive size before the change
//  +16  u64 offset of the end record
//  +24  u32 CRC-32 of the old tail (end record to old end of file)
//  +28  u32 length n of the new tail
//  +32  n   the new tail (end record and comment)
//  +32+n u32 CRC-32 of all bytes before it
namespace journal {
constexpr char kMagic[8] = {'K', 'X', 'C', 'O', 'M', 'J', '0', '1'};
constexpr std::size_t kOldSizeAt = 8;
constexpr std::size_t kOffsetAt = 16;
constexpr std::size_t kOldCrcAt = 24;
constexpr std::size_t kTailLengthAt = 28;
constexpr std::size_t kTailAt = 32;
constexpr std::size_t kMaxTail = eocd::kFixedSize + eocd::kMaxComment;
}  // namespace journal

void PutLe(std::string& out, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xff);
}

std::uint32_t Crc(const void* data, std::size_t n, std::uint32_t start = 0) {
  return static_cast<std::uint32_t>(crc32(start, static_cast<const Bytef*>(data), static_cast<uInt>(n)));
}

std::uint64_t FileSize(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

bool TailCrc(int fd, std::uint64_t from, std::uint64_t to, std::uint32_t& crc) {
  if (to < from || to - from > journal::kMaxTail) return false;
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(to - from));
  if (ReadExactAt(fd, buf.data(), buf.size(), from) != 0) return false;
  crc = Crc(buf.data(), buf.size());
  return true;
}

// Writes the new tail and cuts the file; the journal stays until this succeeded.
int OverwriteTail(const std::string& archive, std::uint64_t offset, const std::string& tail, std::uint64_t oldSize) {
  const int fd = ::open(archive.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return errno;
  const std::uint64_t newEnd = offset + tail.size();
  int err = 0;
  // Reserve the room first: a full disk must show before any byte of the archive changes.
  if (newEnd > oldSize) {
    err = ::posix_fallocate(fd, static_cast<off_t>(oldSize), static_cast<off_t>(newEnd - oldSize));
    if (err) {
      if (FileSize(fd) != oldSize && ::ftruncate(fd, static_cast<off_t>(oldSize)) != 0) err = errno;
      ::close(fd);
      return err;
    }
  }
  err = WriteExactAt(fd, tail.data(), tail.size(), offset);
  if (!err && ::ftruncate(fd, static_cast<off_t>(newEnd)) != 0) err = errno;
  if (!err && ::fsync(fd) != 0) err = errno;
  ::close(fd);
  return err;
}

bool ReadJournal(const std::string& path, std::uint64_t& oldSize, std::uint64_t& offset, std::uint32_t& oldCrc,
                 std::string& tail) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const std::uint64_t size = FileSize(fd);
  std::vector<std::uint8_t> buf;
  bool ok = size >= journal::kTailAt + 4 && size <= journal::kTailAt + journal::kMaxTail + 4;
  if (ok) {
    buf.resize(static_cast<std::size_t>(size));
    ok = ReadExactAt(fd, buf.data(), buf.size(), 0) == 0;
  }
  ::close(fd);
  if (!ok || std::memcmp(buf.data(), journal::kMagic, sizeof journal::kMagic) != 0) return false;
  const std::uint32_t tailLen = Le32(&buf[journal::kTailLengthAt]);
  if (journal::kTailAt + std::uint64_t(tailLen) + 4 != size) return false;
  if (Crc(buf.data(), buf.size() - 4) != Le32(&buf[buf.size() - 4])) return false;
  oldSize = Le64(&buf[journal::kOldSizeAt]);
  offset = Le64(&buf[journal::kOffsetAt]);
  oldCrc = Le32(&buf[journal::kOldCrcAt]);
  tail.assign(reinterpret_cast<const char*>(&buf[journal::kTailAt]), tailLen);
  return true;
}

void DropJournal(const std::string& archive) {
  ::unlink(CommentJournalPath(archive).c_str());
  SyncFolderOf(archive);
}

}  // namespace

std::string CommentJournalPath(const std::string& resolvedArchive) {
  return TemporaryPrefix(resolvedArchive) + "journal";
}

Result FindEndRecord(int fd, EndRecordLocation& out) {
  const DescriptorSource src(fd, FileSize(fd));
  if (!FindEndRecordIn(src, src.size(), false, out.offset)) return rc::UnknownArchiveType;
  std::uint8_t record[eocd::kFixedSize];
  if (!src.read(out.offset, record, sizeof record)) return rc::ArchiveError;
  out.fileSize = src.size();
  out.comment.resize(Le16(record + eocd::kCommentLengthAt));
  if (!src.read(out.offset + eocd::kFixedSize, out.comment.data(), out.comment.size())) return rc::ArchiveError;
  return rc::Ok;
}

Result PlanCommentChange(const std::string& resolvedArchive, const std::string& comment, CommentChange& out) {
  if (comment.size() > eocd::kMaxComment) return rc::Overflow;
  const int fd = ::open(resolvedArchive.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ResultFromErrno(errno);
  out.archive = resolvedArchive;
  Result r = FindEndRecord(fd, out.old);
  std::string record(eocd::kFixedSize, '\0');
  if (r == rc::Ok && ReadExactAt(fd, record.data(), record.size(), out.old.offset) != 0) r = rc::ArchiveError;
  if (r == rc::Ok && !TailCrc(fd, out.old.offset, out.old.fileSize, out.oldTailCrc)) r = rc::ArchiveError;
  ::close(fd);
  if (r != rc::Ok) return r;
  record[eocd::kCommentLengthAt] = static_cast<char>(comment.size() & 0xff);
  record[eocd::kCommentLengthAt + 1] = static_cast<char>(comment.size() >> 8);
  out.newTail = record + comment;
  return rc::Ok;
}

Result WriteCommentJournal(const CommentChange& change) {
  std::string data(journal::kMagic, sizeof journal::kMagic);
  PutLe(data, change.old.fileSize, 8);
  PutLe(data, change.old.offset, 8);
  PutLe(data, change.oldTailCrc, 4);
  PutLe(data, change.newTail.size(), 4);
  data += change.newTail;
  PutLe(data, Crc(data.data(), data.size()), 4);

  const std::string path = CommentJournalPath(change.archive);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return ResultFromErrno(errno);
  int err = WriteExactAt(fd, data.data(), data.size(), 0);
  if (!err && ::fsync(fd) != 0) err = errno;
  ::close(fd);
  if (!err) err = SyncFolderOf(path);
  if (err) {
    ::unlink(path.c_str());
    return ResultFromErrno(err);
  }
  return rc::Ok;
}

Result ApplyCommentChange(const CommentChange& change) {
  const int err = OverwriteTail(change.archive, change.old.offset, change.newTail, change.old.fileSize);
  if (err == ENOSPC || err == EFBIG || err == EDQUOT) {
    // Nothing of the archive was changed: the room could not be reserved.
    DropJournal(change.archive);
    return rc::DiskFull;
  }
  if (err) return ResultFromErrno(err);  // the journal stays and finishes the job later
  DropJournal(change.archive);
  return rc::Ok;
}

Result RecoverCommentJournal(const std::string& resolvedArchive) {
  const std::string path = CommentJournalPath(resolvedArchive);
  if (::access(path.c_str(), F_OK) != 0) return rc::Ok;
  std::uint64_t oldSize = 0, offset = 0;
  std::uint32_t oldCrc = 0;
  std::string tail;
  if (!ReadJournal(path, oldSize, offset, oldCrc, tail)) {
    // Torn while being written: the archive was not touched yet.
    DropJournal(resolvedArchive);
    return rc::Ok;
  }
  const int fd = ::open(resolvedArchive.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ResultFromErrno(errno);
  const std::uint64_t size = FileSize(fd);
  std::uint32_t crc = 0;
  const bool stillOld = size == oldSize && TailCrc(fd, offset, size, crc) && crc == oldCrc;
  bool partlyNew = false;
  if (!stillOld && size >= offset + tail.size()) {
    std::string here(tail.size(), '\0');
    partlyNew = ReadExactAt(fd, here.data(), here.size(), offset) == 0 && here == tail;
  }
  ::close(fd);
  if (!stillOld && !partlyNew) {
    // The archive has changed since (replaced by another file): the journal is stale.
    DropJournal(resolvedArchive);
    return rc::Ok;
  }
  const int err = OverwriteTail(resolvedArchive, offset, tail, size);
  if (err) return ResultFromErrno(err);
  DropJournal(resolvedArchive);
  return rc::Ok;
}

Result WriteArchiveComment(const std::string& archive, const std::string& comment) {
  if (comment.size() > eocd::kMaxComment) return rc::Overflow;  // refused, never cut
  const std::string target = ResolveArchivePath(archive);
  if (::access(target.c_str(), F_OK) != 0) return rc::FileNotFound;
  ArchiveKind kind = ArchiveKind::None;
  IdentifyArchive(target, kind);
  if (IsSplitSetKind(kind)) return rc::NotWithMultiVolume;
  if (const Result r = RecoverCommentJournal(target); r != rc::Ok) return r;
  CommentChange change;
  if (const Result r = PlanCommentChange(target, comment, change); r != rc::Ok) return r;
  if (change.old.comment == comment) return rc::Ok;  // nothing to write, the file keeps its time
  if (const Result r = WriteCommentJournal(change); r != rc::Ok) return r;
  return ApplyCommentChange(change);
}

}  // namespace kx
