#pragma once
// Directory readers for the DOS archive kinds that the engine lists but does
// not change: LHA (header levels 0, 1, 2), ARJ, ZOO and ARC. Each reader is
// pure: it reads only through the ByteSource, checks every length against the
// bytes really there, and returns rc::Ok with the entries, or rc::ArchiveError
// (nothing trustworthy could be read) leaving `out` with what was read so far.
#include "engine/byte_source.h"
#include "engine/entry.h"
#include "engine/result_codes.h"

namespace kx {

// EntryInfo::method holds each format's own number: ARJ 0..4, ARC 1..19
// (30 for folders), ZOO 0..2; LHA has a five-character ID such as "-lh5-",
// reported as (third character << 8) | fourth character, e.g. 'h' << 8 | '5'.
// Times are local: DOS date and time as stored, Unix times (LHA level 2,
// ARJ from Unix hosts) converted to local time.
Result ReadLhaDirectory(const ByteSource& src, ArchiveDirectory& out);
Result ReadArjDirectory(const ByteSource& src, ArchiveDirectory& out);
Result ReadZooDirectory(const ByteSource& src, ArchiveDirectory& out);
Result ReadArcDirectory(const ByteSource& src, ArchiveDirectory& out);

// Content sniffing for KxIdentifyFile: true when the first header is a
// plausible header of that kind (not only a magic number).
bool LooksLikeLha(const ByteSource& src);
bool LooksLikeArj(const ByteSource& src);
bool LooksLikeZoo(const ByteSource& src);
bool LooksLikeArc(const ByteSource& src);

}  // namespace kx
