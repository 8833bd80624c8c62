#pragma once
// The directory reader of ARC archives. Pure: it reads only through the
// ByteSource, checks every length against the bytes really there, and returns
// rc::Ok with the entries, or rc::ArchiveError (nothing trustworthy could be
// read) leaving `out` with what was read so far. The conventions shared by
// the four DOS readers (method numbers, local times) are in dos_common.h.
#include "engine/entry.h"
#include "engine/formats/dos_common.h"
#include "engine/io/byte_source.h"
#include "engine/result_codes.h"

namespace kx {

Result ReadArcDirectory(const ByteSource& src, ArchiveDirectory& out);

// The same walk with every header's place (dos_common.h): information and
// control items are items too, not listed; folders know their nested end marker.
Result ReadArcLayout(const ByteSource& src, dosfmt::DosLayout& out);

// Content sniffing for IdentifyArchive: true when the first header is a
// plausible header of this kind (not only a magic number).
bool LooksLikeArc(const ByteSource& src);

}  // namespace kx
