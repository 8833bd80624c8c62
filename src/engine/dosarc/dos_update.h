#pragma once
// Deleting entries from and adding files to ARJ, ARC, LHA and ZOO archives.
//
// Both write a whole new archive into a temporary file beside the old one
// (io/replace_file.h) and put it in the old one's place only when it is
// complete; any failure leaves the old archive as it was, byte for byte.
// Kept members are copied through unchanged (dos_writer.h says which fields
// a format needs changed). Deleting every entry leaves an archive without
// entries in the form the format's programs leave it (EmptyArchive).
//
// Calling thread; one Report per entry deleted or file added, and per problem.
#include <string>
#include <vector>

#include "engine/dosarc/archive_out.h"
#include "engine/dosarc/dos_archive.h"
#include "engine/dosarc/dos_problem.h"

namespace kx::dosarc {

// Deletes the entries the names choose (dos_archive.h: ChooseItems; no names
// choose all). A name that chooses nothing is reported and nothing is deleted
// (rc::NoFiles). rc::FileNotFound, rc::UnknownArchiveType, rc::ArchiveError
// (damaged, or members' data overlap: not changed), an errno code of
// writing, or rc::Ok.
Result DeleteMembers(const std::string& archivePath, const std::vector<std::string>& names, const ReportFn& report);

// Adds the named files (dos_add_collect.h), replacing entries of the same
// name, to the archive; a missing archive is created with the kind of its
// extension (rc::UnknownArchiveType for other names). Nothing is written
// when any file cannot be added (rc::PartiallyDone) or read.
Result AddFiles(const std::string& archivePath, const std::vector<std::string>& names, const ReportFn& report);

// The rewrite itself: the archive without the dropped items (indexed like
// layout.items; an ARC folder goes with everything in it).
bool RewriteWithout(const DosArchive& archive, const std::vector<bool>& drop, ArchiveOut& out);

}  // namespace kx::dosarc
