// PLACEHOLDER until its owner lands the real code: links, does nothing.
#include "engine/kx_functions.h"
kx::Result KxIdentifyFile(const std::string&, std::int16_t& kind) { kind = 0; return kx::rc::UnknownArchiveType; }
