#pragma once
// The directory reader of ZOO archives. Pure: it reads only through the
// ByteSource, checks every length against the bytes really there, and returns
// rc::Ok with the entries, or rc::ArchiveError (nothing trustworthy could be
// read) leaving `out` with what was read so far. The conventions shared by
// the four DOS readers (method numbers, local times) are in dos_common.h.
#include "engine/entry.h"
#include "engine/formats/dos_common.h"
#include "engine/io/byte_source.h"
#include "engine/result_codes.h"

namespace kx {

Result ReadZooDirectory(const ByteSource& src, ArchiveDirectory& out);

// The same walk with every entry's place (dos_common.h): deleted entries are
// items too, not listed; the end entry's place is endAt.
Result ReadZooLayout(const ByteSource& src, dosfmt::DosLayout& out);

// Content sniffing for IdentifyArchive: true when the first header is a
// plausible header of this kind (not only a magic number).
bool LooksLikeZoo(const ByteSource& src);

}  // namespace kx
