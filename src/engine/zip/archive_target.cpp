#include "engine/zip/archive_target.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>
#include <unistd.h>

#include "engine/io/file_io.h"
#include "engine/zip/zip_format.h"
#include "engine/io/replace_file.h"

namespace kx {

using namespace zipfmt;
namespace {

constexpr std::size_t kBufferSize = 1 << 20;

// Empty archive: the end-of-central-directory record alone.
//   0  u32 signature "PK\5\6"      4  u16 this disk      6  u16 disk of directory
//   8  u16 entries on this disk   10  u16 entries      12  u32 directory size
//  16  u32 directory offset       20  u16 comment length   22 comment

}  // namespace

ArchiveTarget::ArchiveTarget(std::string path, std::uint64_t volumeSize)
    : ZipSourceBase(false), path_(std::move(path)), volumeSize_(volumeSize), mode_(ModeForTarget(path_)) {}

ArchiveTarget::~ArchiveTarget() {
  RollbackWrite();
  if (readFd_ >= 0) ::close(readFd_);
}

std::string ArchiveTarget::VolumeName(const std::string& firstVolume, std::size_t index) {
  char num[16];
  std::snprintf(num, sizeof num, "%03zu", index + 1);
  return firstVolume.substr(0, firstVolume.size() - 3) + num;
}

zip_source_t* ArchiveTarget::MakeSource(zip_error_t* error) {
  return CreateSource(error);
}

zip_int64_t ArchiveTarget::Fail(int zipError, int sysErrno) {
  lastErrno_ = sysErrno;
  return ZipSourceBase::Fail(zipError, sysErrno);
}

zip_int64_t ArchiveTarget::Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      if (readFd_ < 0) {
        readFd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (readFd_ < 0) return Fail(ZIP_ER_OPEN, errno);
        struct stat st {};
        if (::fstat(readFd_, &st) != 0) return Fail(ZIP_ER_READ, errno);
        readSize_ = static_cast<std::uint64_t>(st.st_size);
      }
      readPos_ = 0;
      return 0;
    case ZIP_SOURCE_READ: return Read(data, len);
    case ZIP_SOURCE_CLOSE: return 0;
    case ZIP_SOURCE_STAT: return Stat(data, len);
    case ZIP_SOURCE_SEEK: return Seek(readPos_, readSize_, data, len);
    case ZIP_SOURCE_TELL: return static_cast<zip_int64_t>(readPos_);
    case ZIP_SOURCE_BEGIN_WRITE: return BeginWrite();
    case ZIP_SOURCE_BEGIN_WRITE_CLONING: return BeginWriteCloning(len);
    case ZIP_SOURCE_WRITE: return Write(data, len);
    case ZIP_SOURCE_SEEK_WRITE: return Seek(writePos_, writeEnd_, data, len);
    case ZIP_SOURCE_TELL_WRITE: return static_cast<zip_int64_t>(writePos_);
    case ZIP_SOURCE_COMMIT_WRITE: return CommitWrite();
    case ZIP_SOURCE_ROLLBACK_WRITE: RollbackWrite(); return 0;
    case ZIP_SOURCE_REMOVE: return WriteEmptyArchive();
    case ZIP_SOURCE_ACCEPT_EMPTY: return 1;  // an existing empty file counts as an empty archive
    case ZIP_SOURCE_SUPPORTS: {
      zip_int64_t bits = ZIP_SOURCE_SUPPORTS_WRITABLE | zip_source_make_command_bitmap(ZIP_SOURCE_ACCEPT_EMPTY, -1);
      // Split output starts from nothing; a single file may keep the unchanged front of the old one.
      if (volumeSize_ == 0) bits |= zip_source_make_command_bitmap(ZIP_SOURCE_BEGIN_WRITE_CLONING, -1);
      return bits;
    }
    default: return Fail(ZIP_ER_OPNOTSUPP, 0);
  }
}

zip_int64_t ArchiveTarget::Stat(void* data, zip_uint64_t len) {
  zip_stat_t* st = StatArgs(data, len);
  if (!st) return -1;
  // libzip asks once per entry; the archive does not change meanwhile.
  if (!statKnown_) {
    // libzip recognises a missing archive by ZIP_ER_READ with ENOENT.
    if (::stat(path_.c_str(), &stat_) != 0) return Fail(ZIP_ER_READ, errno);
    statKnown_ = true;
  }
  st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
  st->size = static_cast<zip_uint64_t>(stat_.st_size);
  st->mtime = stat_.st_mtime;
  return sizeof(*st);
}

zip_int64_t ArchiveTarget::Read(void* data, zip_uint64_t len) {
  if (readPos_ >= readSize_) return 0;
  const std::uint64_t want = std::min<std::uint64_t>(len, readSize_ - readPos_);
  // libzip reads headers field by field and data in 8 KB blocks; serve them
  // from one larger read instead of a system call each.
  const bool buffered = readPos_ >= readBufferStart_ && readPos_ < readBufferStart_ + readBufferLength_;
  if (!buffered) {
    if (want >= kBufferSize) {
      const ssize_t n = ReadSomeAt(readFd_, data, want, readPos_);
      if (n < 0) return Fail(ZIP_ER_READ, errno);
      readPos_ += static_cast<std::uint64_t>(n);
      return n;
    }
    if (readBuffer_.empty()) readBuffer_.resize(kBufferSize);
    const ssize_t n = ReadSomeAt(readFd_, readBuffer_.data(), readBuffer_.size(), readPos_);
    if (n < 0) return Fail(ZIP_ER_READ, errno);
    readBufferLength_ = static_cast<std::size_t>(n);
    readBufferStart_ = readPos_;
    if (n == 0) return 0;
  }
  const std::size_t at = static_cast<std::size_t>(readPos_ - readBufferStart_);
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(want, readBufferLength_ - at));
  std::memcpy(data, readBuffer_.data() + at, n);
  readPos_ += n;
  return static_cast<zip_int64_t>(n);
}

ArchiveTarget::Piece* ArchiveTarget::PieceFor(std::size_t index) {
  while (pieces_.size() <= index) {
    Piece piece;
    piece.fd = CreateTemporaryBeside(FinalName(pieces_.size()), piece.tempPath);
    if (piece.fd < 0) {
      Fail(ZIP_ER_TMPOPEN, errno);
      return nullptr;
    }
    pieces_.push_back(std::move(piece));
  }
  return &pieces_[index];
}

std::string ArchiveTarget::FinalName(std::size_t index) const {
  return volumeSize_ == 0 ? path_ : VolumeName(path_, index);
}

zip_int64_t ArchiveTarget::BeginWrite() {
  RollbackWrite();
  writePos_ = writeEnd_ = 0;
  return PieceFor(0) ? 0 : -1;
}

zip_int64_t ArchiveTarget::BeginWriteCloning(zip_uint64_t keep) {
  // libzip keeps the entries before the first changed one as they are: the
  // kernel copies them (or shares their blocks), far faster than reading and
  // writing them through libzip.
  if (volumeSize_ != 0 || readFd_ < 0 || keep > readSize_) return Fail(ZIP_ER_OPNOTSUPP, 0);
  if (BeginWrite() != 0) return -1;
  std::vector<std::uint8_t> buffer;
  bool kernelCopies = true;
  if (const int err = CopyRange(readFd_, 0, pieces_[0].fd, 0, keep, buffer, kernelCopies))
    return Fail(err == EIO ? ZIP_ER_READ : ZIP_ER_WRITE, err);
  writePos_ = writeEnd_ = keep;
  return 0;
}

zip_int64_t ArchiveTarget::Write(const void* data, zip_uint64_t len) {
  // Gather libzip's many small writes (a header takes several) into large
  // ones. After each entry libzip goes back to finish its local header and
  // then on to the end: while that header is still in the buffer, it is
  // changed there, without a write of its own.
  const std::uint64_t bufferEnd = writeBufferStart_ + writeBuffer_.size();
  const bool inBuffer = !writeBuffer_.empty() && writePos_ >= writeBufferStart_ && writePos_ <= bufferEnd;
  if (!writeBuffer_.empty() && !inBuffer && Flush() != 0) return -1;
  if (writeBuffer_.empty()) writeBufferStart_ = writePos_;
  const auto* p = static_cast<const std::uint8_t*>(data);
  const std::size_t at = static_cast<std::size_t>(writePos_ - writeBufferStart_);
  const std::size_t over = static_cast<std::size_t>(std::min<std::uint64_t>(len, writeBuffer_.size() - at));
  std::memcpy(writeBuffer_.data() + at, p, over);
  writeBuffer_.insert(writeBuffer_.end(), p + over, p + len);
  writePos_ += len;
  writeEnd_ = std::max(writeEnd_, writePos_);
  if (writeBuffer_.size() >= kBufferSize && Flush() != 0) return -1;
  return static_cast<zip_int64_t>(len);
}

zip_int64_t ArchiveTarget::Flush() {
  if (writeBuffer_.empty()) return 0;
  const zip_int64_t r = WriteThrough(writeBufferStart_, writeBuffer_.data(), writeBuffer_.size());
  writeBuffer_.clear();
  return r;
}

zip_int64_t ArchiveTarget::WriteThrough(std::uint64_t pos, const void* data, zip_uint64_t len) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::uint64_t left = len;
  while (left > 0) {
    std::size_t index = 0;
    std::uint64_t at = pos;
    std::uint64_t room = left;
    if (volumeSize_ != 0) {
      index = static_cast<std::size_t>(pos / volumeSize_);
      at = pos % volumeSize_;
      room = std::min<std::uint64_t>(left, volumeSize_ - at);
    }
    Piece* piece = PieceFor(index);
    if (!piece) return -1;
    if (const int err = WriteExactAt(piece->fd, p, static_cast<std::size_t>(room), at))
      return Fail(ZIP_ER_WRITE, err);
    p += room;
    left -= room;
    pos += room;
  }
  return 0;
}

zip_int64_t ArchiveTarget::CommitWrite() {
  if (Flush() != 0) return -1;
  // Flush every piece before the first rename, so a crash never leaves a
  // renamed volume whose data is not on disk.
  for (auto& piece : pieces_) {
    if (::fsync(piece.fd) != 0) return Fail(ZIP_ER_WRITE, errno);
  }
  for (std::size_t i = 0; i < pieces_.size(); ++i) {
    if (const int err = CommitTemporary(pieces_[i].fd, pieces_[i].tempPath, FinalName(i), mode_)) {
      pieces_[i].fd = -1;
      return Fail(ZIP_ER_RENAME, err);
    }
    pieces_[i].fd = -1;
    writtenFiles_.push_back(FinalName(i));
  }
  // Later volumes of an older, longer set would be read as part of this one.
  if (volumeSize_ != 0) {
    for (std::size_t i = pieces_.size(); ::unlink(FinalName(i).c_str()) == 0; ++i) {
    }
  }
  pieces_.clear();
  committed_ = true;
  return 0;
}

void ArchiveTarget::RollbackWrite() {
  writeBuffer_.clear();
  for (auto& piece : pieces_) {
    if (piece.fd >= 0) ::close(piece.fd);
    ::unlink(piece.tempPath.c_str());
  }
  pieces_.clear();
}

zip_int64_t ArchiveTarget::WriteEmptyArchive() {
  std::uint8_t record[eocd::kFixedSize] = {'P', 'K', 5, 6};
  const std::size_t commentLen = std::min<std::size_t>(emptyComment_.size(), 0xffff);
  record[eocd::kCommentLengthAt] = static_cast<std::uint8_t>(commentLen & 0xff);
  record[eocd::kCommentLengthAt + 1] = static_cast<std::uint8_t>(commentLen >> 8);
  std::string tempPath;
  const int fd = CreateTemporaryBeside(path_, tempPath);
  if (fd < 0) return Fail(ZIP_ER_TMPOPEN, errno);
  int err = WriteExactAt(fd, record, sizeof record, 0);
  if (!err) err = WriteExactAt(fd, emptyComment_.data(), commentLen, eocd::kFixedSize);
  if (err) {
    ::close(fd);
    ::unlink(tempPath.c_str());
    return Fail(ZIP_ER_WRITE, err);
  }
  if (const int cerr = CommitTemporary(fd, tempPath, path_, mode_)) return Fail(ZIP_ER_RENAME, cerr);
  writtenFiles_.push_back(path_);
  committed_ = true;
  return 0;
}

}  // namespace kx
