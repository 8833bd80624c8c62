// PLACEHOLDER until its owner lands the real code: links, does nothing.
#include "engine/formats/dos_archives.h"
namespace kx {
Result ReadLhaDirectory(const ByteSource&, ArchiveDirectory&) { return rc::UnknownArchiveType; }
bool LooksLikeLha(const ByteSource&) { return false; }
}
