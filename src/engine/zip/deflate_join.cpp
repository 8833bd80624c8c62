#include "engine/zip/deflate_join.h"

#include <zlib.h>

namespace kx {
namespace {

constexpr int kRawDeflate = -15;
// inflate's data_type after a Z_BLOCK stop: unused bits of the last input
// byte, whether the final block is being decoded, whether it stopped right
// after an end-of-block code.
constexpr int kUnusedBits = 7;
constexpr int kInFinalBlock = 64;
constexpr int kAtBlockEnd = 128;
// An empty stored block without the final flag: 3 header bits (all zero),
// padding to the byte boundary, then LEN 0 and NLEN 0xffff.
constexpr std::uint8_t kEmptyStoredLengths[] = {0x00, 0x00, 0xff, 0xff};

struct Ends {
  std::uint64_t finalHeaderBit = 0;  // the final block's BFINAL bit
  std::uint64_t endBit = 0;          // first bit after its end-of-block code
};

// Decodes the whole stream, noting where its final block begins and ends.
bool FindFinalBlock(const std::vector<std::uint8_t>& stream, std::size_t plainSize, Ends& ends) {
  thread_local std::vector<std::uint8_t> plain;
  plain.resize(plainSize + 1);  // one spare byte: more output than promised is caught
  z_stream z{};
  if (inflateInit2(&z, kRawDeflate) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = plain.data();
  z.avail_out = static_cast<uInt>(plain.size());
  std::uint64_t blockStart = 0;
  bool sawFinalEnd = false;
  bool ok = false;
  for (;;) {
    const int r = inflate(&z, Z_BLOCK);
    if (r == Z_STREAM_END) {
      ok = sawFinalEnd && z.avail_in == 0 && z.total_out == plainSize;
      break;
    }
    if (r != Z_OK) break;
    if ((z.data_type & kAtBlockEnd) == 0) continue;
    const std::uint64_t bit = (stream.size() - z.avail_in) * std::uint64_t{8} - (z.data_type & kUnusedBits);
    if (z.data_type & kInFinalBlock) {
      ends.finalHeaderBit = blockStart;
      ends.endBit = bit;
      sawFinalEnd = true;
    } else {
      blockStart = bit;
    }
  }
  inflateEnd(&z);
  return ok;
}

}  // namespace

bool LeaveDeflateStreamOpen(std::vector<std::uint8_t>& stream, std::size_t plainSize) {
  if (stream.size() > UINT32_MAX || plainSize >= UINT32_MAX) return false;
  Ends ends;
  if (!FindFinalBlock(stream, plainSize, ends)) return false;
  stream[ends.finalHeaderBit / 8] &= static_cast<std::uint8_t>(~(1u << (ends.finalHeaderBit % 8)));
  // The stored block's three zero header bits follow the end-of-block code;
  // the rest of that byte is padding.
  const std::uint64_t headerEnd = ends.endBit + 3;
  stream.resize((headerEnd + 7) / 8, 0);
  if (ends.endBit % 8 != 0) stream[ends.endBit / 8] &= static_cast<std::uint8_t>((1u << (ends.endBit % 8)) - 1);
  for (std::size_t i = ends.endBit / 8 + 1; i < stream.size(); ++i) stream[i] = 0;
  stream.insert(stream.end(), std::begin(kEmptyStoredLengths), std::end(kEmptyStoredLengths));
  return true;
}

}  // namespace kx
