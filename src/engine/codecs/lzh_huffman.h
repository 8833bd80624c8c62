#pragma once
// Canonical Huffman codes as the LZH family uses them: codes of at most 16
// bits, assigned shortest first and, within one length, by symbol order.
// HuffmanDecoder turns code lengths into a lookup table (a primary table
// indexed by the next bits, second-level tables for longer codes);
// BuildCodeLengths and AssignCanonicalCodes make the encoder's side.
// Plain values, no shared state; any thread.
#include <cstdint>
#include <vector>

#include "engine/codecs/lzh_bits.h"

namespace kx::codec::lzh {

constexpr unsigned kMaxCodeLength = 16;

class HuffmanDecoder {
 public:
  // tableBits: how many bits the primary table looks at (at most 16).
  explicit HuffmanDecoder(unsigned tableBits) : tableBits_(tableBits) {}

  // Builds the table for symbols 0..n-1 with the given lengths (0: unused).
  // False for a length above 16 or lengths that claim more codes than exist.
  // An incomplete code is accepted; its unused bit patterns decode as errors.
  bool Build(const std::uint8_t* lengths, unsigned n);
  // The table of a block with a single symbol: it takes no bits at all.
  void BuildSingle(std::uint16_t symbol);

  // The next symbol, or -1 for a bit pattern no code has. The reader must
  // hold at least 16 bits (Refill()).
  int Decode(MsbBitReader& bits) const {
    std::uint32_t e = table_[bits.Peek(tableBits_)];
    if (e & kLink) {
      if (e == kInvalid) return -1;
      bits.Skip(tableBits_);
      const unsigned subBits = (e >> kSubBitsShift) & 0x1f;
      e = table_[(e & kOffsetMask) + bits.Peek(subBits)];
      if (e == kInvalid) return -1;
    }
    bits.Skip(e >> kLengthShift);
    return int(e & kSymbolMask);
  }

 private:
  // Entry layout: a leaf holds the symbol (low 16 bits) and the bits to
  // consume (from bit 16); a link has the top bit set, the size in bits of
  // its second-level table (from bit 24) and that table's offset (low bits).
  static constexpr std::uint32_t kLink = 0x80000000u;
  static constexpr std::uint32_t kInvalid = 0xffffffffu;
  static constexpr unsigned kLengthShift = 16;
  static constexpr unsigned kSubBitsShift = 24;
  static constexpr std::uint32_t kSymbolMask = 0xffff;
  static constexpr std::uint32_t kOffsetMask = 0xffffff;

  unsigned tableBits_;
  std::vector<std::uint32_t> table_;
};

// Lengths of a Huffman code of at most maxLength bits for the symbols
// 0..n-1 with the given frequencies; symbols that never occur get 0. With a
// single symbol in use, that symbol gets length 1 (the callers write such
// tables in the format's one-symbol form instead). Returns the number of
// symbols in use.
unsigned BuildCodeLengths(const std::uint32_t* freq, unsigned n, unsigned maxLength, std::uint8_t* lengths);

// The canonical codes for the lengths, as HuffmanDecoder reads them.
void AssignCanonicalCodes(const std::uint8_t* lengths, unsigned n, std::uint16_t* codes);

}  // namespace kx::codec::lzh
