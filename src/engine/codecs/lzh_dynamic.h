#pragma once
// The older LHA-family methods: -lh1- (LZ77 with a 4 KB window and adaptive
// Huffman codes), and LArc's -lzs- (2 KB window) and -lz5- (4 KB window),
// which mark literals and matches with flag bits.
#include "engine/codecs/codec_io.h"

namespace kx::codec {

// Each decodes exactly out.Limit() bytes.
Status DecodeLh1(PackedInput& in, BoundedOutput& out);
Status DecodeLzs(PackedInput& in, BoundedOutput& out);
Status DecodeLz5(PackedInput& in, BoundedOutput& out);

}  // namespace kx::codec
