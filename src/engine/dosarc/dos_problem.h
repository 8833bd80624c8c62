#pragma once
// What happened to one entry or file during a DOS archive operation, as the
// engine reports it; the words a user reads are the program's business.
#include <cstdint>
#include <functional>
#include <string>

namespace kx::dosarc {

enum class Problem : std::uint8_t {
  None,           // done (extracted, tested, deleted, added)
  NameStripped,   // absolute path or drive letter removed: extracted below the target, but reported as a fault of the archive
  CrcError,       // decoded, but the checksum differs
  UnknownMethod,  // no decoder for its method
  Corrupt,        // the packed data cannot be decoded, end early or give more than declared
  NotFound,       // a name that chose no entry
  NoSuchFile,     // a file to add that is not there
  Exists,         // extraction would replace an existing file
  Encrypted,      // garbled (password protected) entry
  UnsafeName,     // a name that climbs out of the target ("..") or is empty
  Blocked,        // a symbolic link, file or folder is in the way on disk
  WriteFailed,    // writing the file failed (errno in the report)
  ReadFailed,     // a file to add could not be read (errno in the report)
  NotCp437,       // a name with a character code page 437 lacks
  NameTooLong,    // a name the format cannot hold (ARC: more than 12 bytes)
  TooLarge,       // a file of 4 GiB or more
  SameName,       // two files to add would get the same entry name
  NotAFile,       // a file to add that is neither a regular file nor a folder
  Skipped,        // a symbolic link or device below a folder being added, left out
  IsArchive,      // the archive itself, left out of an add
};

struct Report {
  std::string name;  // the entry name as listed, or the file's path as given
  Problem problem = Problem::None;
  int err = 0;       // errno for WriteFailed, ReadFailed, Blocked
};

using ReportFn = std::function<void(const Report&)>;

// Problems that are notes: the work went on and succeeded.
inline bool IsNote(Problem p) { return p == Problem::None || p == Problem::Skipped || p == Problem::IsArchive; }

}  // namespace kx::dosarc
