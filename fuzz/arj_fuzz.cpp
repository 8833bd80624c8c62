// Fuzzes the Arj directory reader and its content sniffer (see dos_fuzz_common.h);
// a Arj header takes 40 bytes at least.
//
// Every header carries a CRC-32 of its basic header, and the reader stops at
// the first one that does not match; a mutated header almost never matches,
// so the fuzzer would hardly get past the checksum (and never to the code
// for headers written on DOS, as the seeds are from a Unix host). So the
// checksums of the headers the reader walks to are put right first. Inputs
// of odd length go to the reader as they are, which keeps the checksum test
// itself covered.
#include <vector>

#include <zlib.h>

#include "dos_fuzz_common.h"

namespace {

constexpr std::uint16_t kHeaderId = 0xEA60;
constexpr std::size_t kFrameLen = 4;      // u16 id, u16 basic size
constexpr std::size_t kCrcLen = 4;
constexpr std::size_t kMinBasic = 30;
constexpr std::size_t kMaxBasic = 2600;
constexpr std::size_t kPackedAt = 12;     // within the basic header

// Walks the headers as the reader does (main header, then each local header
// with its extended headers and packed data) and writes each basic header's
// CRC-32 after it; stops where the reader would stop.
void RepairHeaderCrcs(std::vector<std::uint8_t>& b) {
  std::size_t pos = 0;
  for (bool main = true;; main = false) {
    if (b.size() - pos < kFrameLen || kx::Le16(&b[pos]) != kHeaderId) return;
    const std::size_t basic = kx::Le16(&b[pos + 2]);
    if (basic < kMinBasic || basic > kMaxBasic || b.size() - pos - kFrameLen < basic + kCrcLen) return;
    const std::size_t basicAt = pos + kFrameLen;
    const auto crc = static_cast<std::uint32_t>(crc32(0, &b[basicAt], static_cast<uInt>(basic)));
    for (std::size_t i = 0; i < kCrcLen; ++i) b[basicAt + basic + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    std::size_t next = basicAt + basic + kCrcLen;
    for (;;) {  // extended headers: u16 size, data, u32 CRC-32; up to a size of 0
      if (b.size() - next < 2) return;
      const std::size_t ext = kx::Le16(&b[next]);
      next += 2;
      if (ext == 0) break;
      if (b.size() - next < ext + kCrcLen) return;
      next += ext + kCrcLen;
    }
    if (!main) {
      const std::uint32_t packed = kx::Le32(&b[basicAt + kPackedAt]);
      if (b.size() - next < packed) return;
      next += packed;
    }
    pos = next;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  if (size % 2 == 0) RepairHeaderCrcs(bytes);
  return kxfuzz::FuzzDosReader(bytes.data(), bytes.size(), kx::LooksLikeArj, kx::ReadArjDirectory, 40);
}
