#include "engine/codecs/arc_codecs.h"

namespace kx::codec {

Status DecodeArc(std::uint8_t, PackedInput&, BoundedOutput&) { return Status::Unsupported; }
Status DecodeZooLzw(PackedInput&, BoundedOutput&) { return Status::Unsupported; }
Status EncodeArc(const ReadFn&, const Sink&, std::uint8_t&, std::uint64_t&) { return Status::Unsupported; }

}  // namespace kx::codec
