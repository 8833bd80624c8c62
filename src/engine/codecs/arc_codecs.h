#pragma once
// ARC's methods and ZOO's method 1: run-length coding with the 0x90 marker
// (3 "packed", and the last step of 4, 6, 7 and 8), Huffman "squeezing" (4),
// the LZW variants called "crunched" (5 to 8) and "squashed" (9), and ZOO's
// own LZW (method 1).
#include "engine/codecs/codec_io.h"

namespace kx::codec {

// ARC methods 3 to 9 (1 and 2 are stored). Decodes exactly out.Limit()
// bytes; TooLong when the data would give more.
Status DecodeArc(std::uint8_t method, PackedInput& in, BoundedOutput& out);

// ZOO method 1.
Status DecodeZooLzw(PackedInput& in, BoundedOutput& out);

// Packs everything `read` gives with the ARC method this code writes
// (`method` gets its number); `packed` gets the bytes given to `sink`.
Status EncodeArc(const ReadFn& read, const Sink& sink, std::uint8_t& method, std::uint64_t& packed);

}  // namespace kx::codec
