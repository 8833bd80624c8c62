#include "engine/zip/update_session.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/functions/kx_identify.h"
#include "engine/io/replace_file.h"
#include "engine/zip/zip_comment.h"

namespace kx {
namespace {

bool EndsWith001(const std::string& path) {
  return path.size() > 4 && path.compare(path.size() - 4, 4, ".001") == 0;
}

}  // namespace

UpdateSession::~UpdateSession() {
  if (archive_) zip_discard(archive_);
}

Result UpdateSession::Open(const std::string& archivePath, bool create, std::uint64_t volumeSize) {
  if (const Result r = Prepare(archivePath, create, volumeSize); r != rc::Ok) return r;
  return OpenArchive();
}

Result UpdateSession::Prepare(const std::string& archivePath, bool create, std::uint64_t volumeSize) {
  path_ = ResolveArchivePath(archivePath);
  struct stat st {};
  existed_ = ::stat(path_.c_str(), &st) == 0;
  if (!existed_ && !create) return rc::FileNotFound;
  if (existed_) {
    if (S_ISDIR(st.st_mode)) return rc::AccessDenied;
    ArchiveKind kind = ArchiveKind::None;
    IdentifyArchive(path_, kind);
    if (IsSplitSetKind(kind)) return rc::NotWithMultiVolume;
    if (const Result r = RecoverCommentJournal(path_); r != rc::Ok) return r;
  }
  split_ = !existed_ && volumeSize > 0 && EndsWith001(path_);
  volumeSize_ = volumeSize;
  create_ = create;
  RemoveStaleTemporaries(path_, split_);
  return rc::Ok;
}

Result UpdateSession::OpenArchive() {
  target_ = std::make_unique<ArchiveTarget>(path_, split_ ? volumeSize_ : 0);
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = target_->MakeSource(&error);
  if (src) archive_ = zip_open_from_source(src, create_ ? ZIP_CREATE : 0, &error);
  const Result r = archive_ ? rc::Ok : ResultFromZipError(zip_error_code_zip(&error), zip_error_code_system(&error));
  if (!archive_ && src) zip_source_free(src);
  zip_error_fini(&error);
  return r;
}

Result UpdateSession::Close(UpdateProgress& progress) {
  progress.Attach(archive_);
  if (zip_close(archive_) == 0) {
    archive_ = nullptr;
    return rc::Ok;
  }
  zip_error_t* error = zip_get_error(archive_);
  const int zipError = zip_error_code_zip(error);
  // A system error code of a write step (ENOSPC) is more telling than libzip's.
  const int sysErrno = target_->lastErrno() != 0 ? target_->lastErrno() : zip_error_code_system(error);
  zip_discard(archive_);  // removes the temporary files, the archive stays as it was
  archive_ = nullptr;
  if (progress.cancelled() || zipError == ZIP_ER_CANCELLED) return rc::Cancelled;
  if (target_->lastErrno() != 0) return ResultFromErrno(target_->lastErrno());
  return ResultFromZipError(zipError, sysErrno);
}

}  // namespace kx
