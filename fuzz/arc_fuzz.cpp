// Fuzzes the Arc directory reader and its content sniffer (see dos_fuzz_common.h);
// a Arc header takes 25 bytes at least.
#include "dos_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return kxfuzz::FuzzDosReader(data, size, kx::LooksLikeArc, kx::ReadArcDirectory, 25);
}
