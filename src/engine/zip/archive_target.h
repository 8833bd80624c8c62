#pragma once
// ArchiveTarget: the archive file an update works on, as a libzip source.
// libzip reads the current archive through it (when one exists) and writes the
// new archive through it. New bytes go only to temporary files beside the
// archive (replace_file.h); COMMIT_WRITE, which libzip sends after everything
// is written, flushes them and renames them over the archive. ROLLBACK_WRITE,
// a cancel, a kill or a full disk leave the archive byte for byte as it was.
//
// With a volume size the new archive is written as a split set: raw pieces
// name.001, name.002, ... of volumeSize bytes each (the last one shorter);
// concatenated they are one ordinary ZIP.
//
// When libzip finds no entries left it asks to remove the archive; this source
// writes an empty archive (an end record alone, keeping the comment) instead.
//
// Ownership: the caller owns the object and keeps it alive until zip_close or
// zip_discard has returned; libzip owns only the zip_source_t made by
// MakeSource (its FREE does not delete this object). Calling thread only.
// Failures reach libzip as its error codes; lastErrno() keeps the errno of the
// failed system call so the caller can report a full disk as such.
#include <cstdint>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>
#include <zip.h>

#include "engine/zip/zip_source_base.h"

namespace kx {

class ArchiveTarget final : public ZipSourceBase {
 public:
  explicit ArchiveTarget(std::string path, std::uint64_t volumeSize = 0);
  ~ArchiveTarget() override;
  ArchiveTarget(const ArchiveTarget&) = delete;
  ArchiveTarget& operator=(const ArchiveTarget&) = delete;

  zip_source_t* MakeSource(zip_error_t* error);

  // The comment kept in the end record when the archive becomes empty.
  void SetCommentForEmptyArchive(std::string comment) { emptyComment_ = std::move(comment); }

  int lastErrno() const { return lastErrno_; }
  bool committed() const { return committed_; }
  // Final names of the files written (one, or the volumes of a split set).
  const std::vector<std::string>& writtenFiles() const { return writtenFiles_; }

  // "name.001" → "name.007" for index 6.
  static std::string VolumeName(const std::string& firstVolume, std::size_t index);

 private:
  struct Piece {
    int fd = -1;
    std::string tempPath;
  };

  zip_int64_t Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) override;

  zip_int64_t Fail(int zipError, int sysErrno);
  zip_int64_t Stat(void* data, zip_uint64_t len);
  zip_int64_t Read(void* data, zip_uint64_t len);
  zip_int64_t BeginWrite();
  zip_int64_t BeginWriteCloning(zip_uint64_t keep);
  zip_int64_t Write(const void* data, zip_uint64_t len);
  zip_int64_t Flush();
  zip_int64_t WriteThrough(std::uint64_t pos, const void* data, zip_uint64_t len);
  zip_int64_t CommitWrite();
  void RollbackWrite();
  zip_int64_t WriteEmptyArchive();
  Piece* PieceFor(std::size_t index);
  std::string FinalName(std::size_t index) const;

  std::string path_;
  std::uint64_t volumeSize_;
  std::string emptyComment_;
  mode_t mode_;

  struct stat stat_ {};
  bool statKnown_ = false;
  int readFd_ = -1;
  std::uint64_t readSize_ = 0;
  std::uint64_t readPos_ = 0;
  std::vector<std::uint8_t> readBuffer_;
  std::uint64_t readBufferStart_ = 0;
  std::size_t readBufferLength_ = 0;

  std::vector<Piece> pieces_;
  std::uint64_t writePos_ = 0;
  std::uint64_t writeEnd_ = 0;
  std::vector<std::uint8_t> writeBuffer_;
  std::uint64_t writeBufferStart_ = 0;

  int lastErrno_ = 0;
  bool committed_ = false;
  std::vector<std::string> writtenFiles_;
};

}  // namespace kx
