// PLACEHOLDER until its owner lands the real code: links, does nothing.
#include "engine/formats/dos_archives.h"
namespace kx {
Result ReadArcDirectory(const ByteSource&, ArchiveDirectory&) { return rc::UnknownArchiveType; }
bool LooksLikeArc(const ByteSource&) { return false; }
}
