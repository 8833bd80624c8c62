// Fuzzes the Zoo directory reader and its content sniffer (see dos_fuzz_common.h);
// a Zoo header takes 51 bytes at least.
#include "dos_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return kxfuzz::FuzzDosReader(data, size, kx::LooksLikeZoo, kx::ReadZooDirectory, 51);
}
