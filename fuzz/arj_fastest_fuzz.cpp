// Fuzzes the ARJ method 4 decoder (see decoder_fuzz_common.h).
#include "decoder_fuzz_common.h"
#include "engine/codecs/arj_fastest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return kxfuzz::FuzzDecoder(kx::codec::DecodeArjFastest, data, size);
}
