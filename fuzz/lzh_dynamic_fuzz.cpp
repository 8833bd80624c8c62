// Fuzzes the -lh1-, -lzs- and -lz5- decoders (see decoder_fuzz_common.h);
// the first byte picks the method, the rest is size and packed data.
#include "decoder_fuzz_common.h"
#include "engine/codecs/lzh_dynamic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr kxfuzz::CodecDecoder kDecoders[] = {kx::codec::DecodeLh1, kx::codec::DecodeLzs,
                                                       kx::codec::DecodeLz5};
  if (size < 1) return 0;
  return kxfuzz::FuzzDecoder(kDecoders[data[0] % 3], data + 1, size - 1);
}
