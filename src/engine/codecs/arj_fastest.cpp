#include "engine/codecs/arj_fastest.h"

namespace kx::codec {

Status DecodeArjFastest(PackedInput&, BoundedOutput&) { return Status::Unsupported; }

}  // namespace kx::codec
