// Fuzzes the Arj directory reader and its content sniffer (see dos_fuzz_common.h);
// a Arj header takes 40 bytes at least.
#include "dos_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return kxfuzz::FuzzDosReader(data, size, kx::LooksLikeArj, kx::ReadArjDirectory, 40);
}
