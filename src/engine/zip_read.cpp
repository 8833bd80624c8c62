// PLACEHOLDER until its owner lands the real code: links, does nothing.
#include "engine/operations.h"
namespace kx {
Result ReadDirectory(KxZip&, ArchiveDirectory&) { return rc::UnknownArchiveType; }
}
