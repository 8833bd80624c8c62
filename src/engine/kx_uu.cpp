// PLACEHOLDER until its owner lands the real code: links, does nothing.
#include "engine/kx_functions.h"
kx::Result KxUUEncode(const std::string&, const std::string&, std::int32_t, std::int32_t, std::int32_t& out) { out = 0; return kx::rc::NoAction; }
kx::Result KxUUDecode(const std::string&, const std::string&) { return kx::rc::NoAction; }
