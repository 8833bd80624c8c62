#pragma once
// The directory reader of LHA archives, header levels 0, 1 and 2. Pure: it reads only through the
// ByteSource, checks every length against the bytes really there, and returns
// rc::Ok with the entries, or rc::ArchiveError (nothing trustworthy could be
// read) leaving `out` with what was read so far. The conventions shared by
// the four DOS readers (method numbers, local times) are in dos_common.h.
#include "engine/entry.h"
#include "engine/formats/dos_common.h"
#include "engine/io/byte_source.h"
#include "engine/result_codes.h"

namespace kx {

Result ReadLhaDirectory(const ByteSource& src, ArchiveDirectory& out);

// The same walk with every header's place (dos_common.h).
Result ReadLhaLayout(const ByteSource& src, dosfmt::DosLayout& out);

// Content sniffing for IdentifyArchive: true when the first header is a
// plausible header of this kind (not only a magic number).
bool LooksLikeLha(const ByteSource& src);

}  // namespace kx
