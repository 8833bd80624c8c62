#pragma once
// Self-extracting files: the stub program kxsfx with a ZIP archive appended.
//
//   +-----------------------+  0
//   | kxsfx (ELF program)   |
//   +-----------------------+  shift = size of the stub
//   | the ZIP, byte for byte|
//   | except its offsets:   |  every local header offset in the central
//   |                       |  directory, the directory offset of the end
//   |                       |  record, and with Zip64 the directory offset of
//   |                       |  the Zip64 end record and the record offset of
//   |                       |  its locator, each moved on by `shift`
//   +-----------------------+
//
// With the offsets counted from the start of the whole file the result is an
// ordinary ZIP with leading bytes: unzip, 7-Zip and the engine read it as it
// is, and the stub extracts it by opening its own program file.
//
// Plain functions without Qt, for zipexe and the stub; any thread. Failures
// are engine result codes; the words belong to the caller.
#include <cstdint>
#include <string>

#include "engine/result_codes.h"

namespace kx {

// Writes stub + zip as `out` (replaced as a whole, never half written;
// executable for everyone the umask allows). Refuses with
//   rc::FileNotFound / AccessDenied ...  a file that cannot be read or written
//   rc::UnknownArchiveType               zip is no ZIP archive
//   rc::ArchiveError                     its directory is damaged, or it is one
//                                        volume of a split set
//   rc::Overflow                         a 32-bit offset would pass 4 GiB once
//                                        moved (such an archive needs Zip64)
// and leaves `out` as it was.
Result MakeSelfExtractor(const std::string& stub, const std::string& zip, const std::string& out);

// Moves every offset of the ZIP whose directory records and end records lie
// in `tail` (the archive's bytes from its central directory to its end, the
// directory starting at archive offset `directoryOffset`) on by `shift`.
// rc::ArchiveError for records that do not parse, rc::Overflow as above.
Result ShiftZipOffsets(std::string& tail, std::uint64_t directoryOffset, std::uint64_t shift);

}  // namespace kx
