#pragma once
// ARJ's method 4 ("fastest"): LZ77 with fixed variable-length codes for
// lengths and positions, no Huffman tables.
#include "engine/codecs/codec_io.h"

namespace kx::codec {

// Decodes exactly out.Limit() bytes.
Status DecodeArjFastest(PackedInput& in, BoundedOutput& out);

}  // namespace kx::codec
