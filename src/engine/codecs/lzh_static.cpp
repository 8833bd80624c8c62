#include "engine/codecs/lzh_static.h"

namespace kx::codec {

Status DecodeLzhStatic(LzhVariant, PackedInput&, BoundedOutput&) { return Status::Unsupported; }
Status EncodeLzhStatic(LzhVariant, const ReadFn&, const Sink&, std::uint64_t&) { return Status::Unsupported; }

}  // namespace kx::codec
