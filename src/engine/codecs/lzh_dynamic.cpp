#include "engine/codecs/lzh_dynamic.h"

namespace kx::codec {

Status DecodeLh1(PackedInput&, BoundedOutput&) { return Status::Unsupported; }
Status DecodeLzs(PackedInput&, BoundedOutput&) { return Status::Unsupported; }
Status DecodeLz5(PackedInput&, BoundedOutput&) { return Status::Unsupported; }

}  // namespace kx::codec
