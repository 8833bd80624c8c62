#pragma once
// The LZ77 + static Huffman coding shared by LHA's -lh4- to -lh7-, ZOO's
// method 2 (the same as -lh5-) and ARJ's methods 1 to 3: blocks of a
// code-length table, literal/length codes and position codes. The variants
// differ in the window size and in how many position codes exist.
// Stateless calls on any thread; failures come back as a Status.
#include "engine/codecs/codec_io.h"

namespace kx::codec {

enum class LzhVariant : std::uint8_t { Lh4, Lh5, Lh6, Lh7, Arj };

// Decodes exactly out.Limit() bytes. Corrupt for data that cannot be decoded
// or ends early, TooLong when the codes go on past the declared size.
Status DecodeLzhStatic(LzhVariant variant, PackedInput& in, BoundedOutput& out);

// Packs everything `read` gives into the variant's format (any variant;
// Lh5 and Arj are the ones written into archives); `packed` gets the number
// of bytes given to `sink`. Empty input gives no bytes at all.
Status EncodeLzhStatic(LzhVariant variant, const ReadFn& read, const Sink& sink, std::uint64_t& packed);

// ZOO's method 2: the Lh5 coding followed by an empty block, which ZOO's own
// extractors take as the end of the data.
Status EncodeZooLzh(const ReadFn& read, const Sink& sink, std::uint64_t& packed);

}  // namespace kx::codec
