// Fuzzes the Lha directory reader and its content sniffer (see dos_fuzz_common.h);
// a Lha header takes 22 bytes at least.
#include "dos_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return kxfuzz::FuzzDosReader(data, size, kx::LooksLikeLha, kx::ReadLhaDirectory, 22);
}
