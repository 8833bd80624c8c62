#include "engine/operations.h"

namespace kx {

Result AddFiles(KxZip&) { return rc::NoAction; }
Result DeleteEntries(KxZip&) { return rc::NoAction; }
Result WriteArchiveComment(const std::string&, const std::string&) { return rc::NoAction; }

}  // namespace kx
