#pragma once
// Extracting and testing members of an ARJ, ARC, LHA or ZOO archive.
//
// Every member is decoded through codecs/member_codec.h into a temporary file
// in its final folder, bounded by its declared size, and checked against its
// checksum; only then is it renamed to its name, and never over an existing
// file (that file is reported and stays). A failed member's temporary file is
// removed. Names follow the engine's safe-path rules (io/safe_paths.h):
// ".." is refused, absolute names land below the target (and are reported
// as NameStripped, which counts as a failure: the archive is not what it
// should be), folders are opened one by one without following symbolic
// links. Garbled entries are refused.
// An archive whose members' data overlap is refused whole.
//
// Calling thread; one Report per chosen entry (and per name that chose none).
#include <string>
#include <vector>

#include "engine/codecs/codec_io.h"
#include "engine/dosarc/dos_archive.h"
#include "engine/dosarc/dos_problem.h"

namespace kx::dosarc {

struct ExtractOptions {
  bool withPaths = true;      // false: every file into the target itself, folders not made
  std::string target = ".";   // must exist
};

// rc::Ok when every chosen entry was extracted; rc::PartiallyDone when some
// failed; rc::NoFiles when a name chose nothing and nothing else failed;
// rc::ArchiveError for overlapping data; rc::PathNotFound for a missing target.
Result ExtractMembers(const DosArchive& archive, const std::vector<std::string>& names, const ExtractOptions& options,
                      const ReportFn& report);

// Decodes and checks the chosen entries; results as ExtractMembers.
Result TestMembers(const DosArchive& archive, const std::vector<std::string>& names, const ReportFn& report);

// One listed file item decoded into sink and checked: None, CrcError,
// UnknownMethod, Corrupt or WriteFailed (the sink refused).
Problem DecodeItem(const DosArchive& archive, const dosfmt::DosItem& item, const codec::Sink& sink);

}  // namespace kx::dosarc
