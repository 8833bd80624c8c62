// PLACEHOLDER until its owner lands the real code: links, does nothing.
#include "engine/uucode.h"
namespace kx {
Result UuEncodeFile(const std::string&, const std::string&) { return rc::NoAction; }
Result UuDecodeFile(const std::string&, const std::string&, std::string*) { return rc::NoAction; }
}
