// PLACEHOLDER until its owner lands the real code: links, does nothing.
#include "engine/formats/dos_archives.h"
namespace kx {
Result ReadArjDirectory(const ByteSource&, ArchiveDirectory&) { return rc::UnknownArchiveType; }
bool LooksLikeArj(const ByteSource&) { return false; }
}
