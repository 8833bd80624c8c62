#pragma once
// The older LHA-family methods: -lh1- (LZ77 with a 4 KB window and adaptive
// Huffman codes), and LArc's -lzs- (2 KB window) and -lz5- (4 KB window),
// which mark literals and matches with flag bits.
//
// Pure functions, any thread, no state between calls. Each decodes exactly
// out.Limit() bytes and answers Ok, Corrupt (the data ends before that many
// bytes came out), TooLong (the last match runs past them) or the output's
// own failure. The caller checks the CRC.
#include "engine/codecs/codec_io.h"

namespace kx::codec {

Status DecodeLh1(PackedInput& in, BoundedOutput& out);
Status DecodeLzs(PackedInput& in, BoundedOutput& out);
Status DecodeLz5(PackedInput& in, BoundedOutput& out);

}  // namespace kx::codec
