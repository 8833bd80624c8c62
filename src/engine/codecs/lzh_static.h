#pragma once
// The LZ77 + static Huffman coding shared by LHA's -lh4- to -lh7-, ZOO's
// method 2 (the same as -lh5-) and ARJ's methods 1 to 3: blocks of a
// code-length table, literal/length codes and position codes. The variants
// differ in the window size and in how many position codes exist.
#include "engine/codecs/codec_io.h"

namespace kx::codec {

enum class LzhVariant : std::uint8_t { Lh4, Lh5, Lh6, Lh7, Arj };

// Decodes exactly out.Limit() bytes.
Status DecodeLzhStatic(LzhVariant variant, PackedInput& in, BoundedOutput& out);

// Packs everything `read` gives into the variant's format (for writing:
// Lh5 and Arj); `packed` gets the number of bytes given to `sink`.
Status EncodeLzhStatic(LzhVariant variant, const ReadFn& read, const Sink& sink, std::uint64_t& packed);

}  // namespace kx::codec
