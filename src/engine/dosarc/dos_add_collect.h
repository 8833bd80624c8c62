#pragma once
// The files an add takes, from the names given (paths relative to the
// current folder; a folder stands for every file below it), each with the
// entry name it gets and that name in the format's stored form. Reading the
// file system only; calling thread.
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

#include "engine/dosarc/dos_problem.h"
#include "engine/dosarc/dos_writer.h"

namespace kx::dosarc {

struct FileToAdd {
  std::string path;        // as to open it, relative to the current folder
  std::string entryName;   // UTF-8 as the listing shows it: "/" between folders (ARC: the file name alone)
  std::string storedName;  // code page 437
  std::int64_t unixTime = 0;
  std::uint32_t unixMode = 0644;
};

// The file the archive itself is, left out of what is added.
struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
};

// false when any name cannot be added (each reported: NoSuchFile, UnsafeName,
// NotCp437, NameTooLong, TooLarge, SameName, NotAFile, ReadFailed); notes
// (Skipped, IsArchive) are reported too and do not fail.
bool CollectFiles(ArchiveKind kind, const DosWriter& writer, const std::vector<std::string>& names,
                  const FileId& archive, std::vector<FileToAdd>& out, const ReportFn& report);

}  // namespace kx::dosarc
