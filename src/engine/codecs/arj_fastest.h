#pragma once
// ARJ's method 4 ("fastest"): LZ77 with fixed variable-length codes for
// lengths and positions, no Huffman tables.
//
// A pure function, any thread. Decodes exactly out.Limit() bytes and answers
// Ok, Corrupt (the data ends early, or a match reaches before the first
// byte), TooLong (the last match runs past the limit) or the output's own
// failure. The caller checks the CRC.
#include "engine/codecs/codec_io.h"

namespace kx::codec {

Status DecodeArjFastest(PackedInput& in, BoundedOutput& out);

}  // namespace kx::codec
