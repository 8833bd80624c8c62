#include "engine/result_codes.h"

#include <cerrno>
#include <ostream>

#include <zip.h>

namespace kx {

std::ostream& operator<<(std::ostream& out, Result r) { return out << Code(r); }

Result ResultFromErrno(int err, Result otherwise) {
  switch (err) {
    case 0: return rc::Ok;
    case ENOSPC:
    case EFBIG:
    case EDQUOT: return rc::DiskFull;
    case ENOENT: return rc::FileNotFound;
    case ENOTDIR: return rc::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return rc::AccessDenied;
    case ENOMEM: return rc::OutOfMemory;
    case ENFILE:
    case EMFILE: return rc::TooManyFiles;
    default: return otherwise;
  }
}

Result ResultFromZipError(int zipError, int sysErrno) {
  switch (zipError) {
    case ZIP_ER_OK: return rc::Ok;
    case ZIP_ER_CANCELLED: return rc::Cancelled;
    case ZIP_ER_MEMORY: return rc::OutOfMemory;
    case ZIP_ER_NOZIP: return rc::UnknownArchiveType;
    case ZIP_ER_INCONS:
    case ZIP_ER_CRC: return rc::ArchiveError;
    case ZIP_ER_NOENT: return rc::FileNotFound;
    case ZIP_ER_COMPNOTSUPP: return rc::UnknownMethod;
    case ZIP_ER_EOF: return rc::ReadPastEnd;
    case ZIP_ER_WRONGPASSWD: return rc::WrongPassword;
    case ZIP_ER_RDONLY: return rc::AccessDenied;
    default: return sysErrno != 0 ? ResultFromErrno(sysErrno) : rc::ArchiveError;
  }
}

}  // namespace kx
