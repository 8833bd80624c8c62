// PLACEHOLDER until its owner lands the real code: links, does nothing.
#include "engine/formats/dos_archives.h"
namespace kx {
Result ReadZooDirectory(const ByteSource&, ArchiveDirectory&) { return rc::UnknownArchiveType; }
bool LooksLikeZoo(const ByteSource&) { return false; }
}
