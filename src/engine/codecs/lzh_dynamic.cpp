#include "engine/codecs/lzh_dynamic.h"

#include <array>
#include <cstring>

#include "engine/codecs/lz_window.h"

namespace kx::codec {
namespace {

// ---- -lh1- ----------------------------------------------------------------
//
// Every item starts with one symbol of an adaptive Huffman code: 0..255 a
// literal byte, 256..313 a match of length symbol - 253 (3..60). A match then
// gives its distance - 1 as 12 bits: the upper 6 with a fixed prefix code of
// 3 to 8 bits, the lower 6 as they are. The 4 KB dictionary starts as spaces.

constexpr std::size_t kLh1Window = 4096;
constexpr unsigned kLh1MinMatch = 3;
constexpr unsigned kLh1MaxMatch = 60;
constexpr unsigned kSymbols = 256 + kLh1MaxMatch - kLh1MinMatch + 1;  // 314
constexpr unsigned kNodes = 2 * kSymbols - 1;
constexpr unsigned kRoot = kNodes - 1;
// The root's count at which all counts are halved and the tree rebuilt.
constexpr unsigned kMaxFreq = 0x8000;

// The tree keeps the sibling property: nodes sorted by count, lowest first,
// the root last; each internal node's two children are adjacent. Raising a
// leaf's count walks up to the root, swapping a node whose count now exceeds
// the next one's with the last node of the lower count, which keeps the order.
class AdaptiveHuffman {
 public:
  AdaptiveHuffman() {
    for (unsigned s = 0; s < kSymbols; ++s) {
      freq_[s] = 1;
      child_[s] = std::uint16_t(kNodes + s);
      parent_[kNodes + s] = std::uint16_t(s);
    }
    for (unsigned i = 0, n = kSymbols; n < kNodes; i += 2, ++n) {
      freq_[n] = std::uint16_t(freq_[i] + freq_[i + 1]);
      child_[n] = std::uint16_t(i);
      parent_[i] = parent_[i + 1] = std::uint16_t(n);
    }
    freq_[kNodes] = 0xffff;  // stops the search for a swap partner
  }

  // The next symbol, or -1 when the walk down is longer than any tree of
  // these counts can be (it cannot happen; the guard keeps reads in bounds).
  int Decode(MsbBitReader& bits) {
    bits.Need(kMaxDepth);
    std::uint64_t w = bits.Window();
    int used = 0;
    unsigned node = child_[kRoot];
    do {
      node = child_[node + unsigned(w >> 63)];
      w <<= 1;
      ++used;
    } while (node < kNodes && used < kMaxDepth);
    if (node < kNodes) return -1;
    bits.Skip(used);
    const unsigned symbol = node - kNodes;
    Raise(symbol);
    return int(symbol);
  }

 private:
  // Counts stay below 2^15, which bounds the depth to about 22.
  static constexpr int kMaxDepth = 32;

  void Raise(unsigned symbol) {
    if (freq_[kRoot] == kMaxFreq) Rebuild();
    unsigned c = parent_[kNodes + symbol];
    for (;;) {
      const unsigned k = ++freq_[c];
      if (k > freq_[c + 1]) {
        unsigned l = c + 1;
        while (k > freq_[l + 1]) ++l;
        Swap(c, l, k);
        c = l;
      }
      if (c == kRoot) break;
      c = parent_[c];
    }
  }

  // Exchanges the subtrees at nodes c and l; c's count (already raised) is k.
  void Swap(unsigned c, unsigned l, unsigned k) {
    freq_[c] = freq_[l];
    freq_[l] = std::uint16_t(k);
    const unsigned a = child_[c];
    const unsigned b = child_[l];
    SetParent(a, l);
    SetParent(b, c);
    child_[l] = std::uint16_t(a);
    child_[c] = std::uint16_t(b);
  }

  void SetParent(unsigned childRef, unsigned node) {
    parent_[childRef] = std::uint16_t(node);
    if (childRef < kNodes) parent_[childRef + 1] = std::uint16_t(node);
  }

  // Halves every leaf count (rounding up) and builds the tree anew: leaves in
  // their present order, then each pair joined and the new node placed after
  // all nodes of lower or equal count.
  void Rebuild() {
    unsigned n = 0;
    for (unsigned i = 0; i < kNodes; ++i) {
      if (child_[i] >= kNodes) {
        freq_[n] = std::uint16_t((freq_[i] + 1) / 2);
        child_[n] = child_[i];
        ++n;
      }
    }
    for (unsigned i = 0; n < kNodes; i += 2, ++n) {
      const unsigned f = freq_[i] + freq_[i + 1];
      unsigned k = n;
      while (k > i + 2 && f < freq_[k - 1]) --k;
      std::memmove(&freq_[k + 1], &freq_[k], (n - k) * sizeof freq_[0]);
      std::memmove(&child_[k + 1], &child_[k], (n - k) * sizeof child_[0]);
      freq_[k] = std::uint16_t(f);
      child_[k] = std::uint16_t(i);
    }
    for (unsigned i = 0; i < kNodes; ++i) SetParent(child_[i], i);
  }

  std::array<std::uint16_t, kNodes + 1> freq_{};
  std::array<std::uint16_t, kNodes> child_{};                // first child, or kNodes + symbol
  std::array<std::uint16_t, kNodes + kSymbols> parent_{};    // of a node, or of a symbol's leaf
};

// The fixed code of the upper six distance bits: 1 code of 3 bits, 3 of 4,
// 8 of 5, 12 of 6, 24 of 7 and 16 of 8, assigned in canonical order. Indexed
// by the next 8 bits: the upper bits and the code's length.
struct UpperCode {
  std::uint8_t value;
  std::uint8_t length;
};

constexpr std::array<UpperCode, 256> MakeUpperCodes() {
  constexpr std::uint8_t kCount[] = {1, 3, 8, 12, 24, 16};  // lengths 3..8
  std::array<UpperCode, 256> table{};
  unsigned code = 0, value = 0;
  for (unsigned len = 3; len <= 8; ++len) {
    for (unsigned i = 0; i < kCount[len - 3]; ++i, ++value, ++code) {
      const unsigned first = code << (8 - len);
      for (unsigned e = 0; e < (1u << (8 - len)); ++e) table[first + e] = {std::uint8_t(value), std::uint8_t(len)};
    }
    code <<= 1;
  }
  return table;
}

constexpr std::array<UpperCode, 256> kUpperCodes = MakeUpperCodes();

// ---- LArc ------------------------------------------------------------------
//
// Both LArc methods address the dictionary by ring position, not distance:
// the ring's write position starts kLookahead bytes before its end.

constexpr std::size_t kLzsWindow = 2048;
constexpr unsigned kLzsLookahead = 17;
constexpr unsigned kLzsMinMatch = 2;

constexpr std::size_t kLz5Window = 4096;
constexpr unsigned kLz5Lookahead = 18;
constexpr unsigned kLz5MinMatch = 3;
constexpr unsigned kLz5MaxMatch = kLz5MinMatch + 15;

// The distance of ring position pos from the write position r; 0 stands for
// the whole ring (the byte about to be overwritten).
std::size_t RingDistance(unsigned r, unsigned pos, std::size_t ring) {
  const std::size_t d = (r - pos) & (ring - 1);
  return d == 0 ? ring : d;
}

// -lz5- starts with a dictionary that already holds useful runs: each byte
// value 13 times, all values rising, all values falling, 128 zeros, 110
// spaces, by ring position; then 18 zeros where writing starts (valid data
// never reads them before they are written, and readers differ on them).
void FillLz5Dictionary(std::uint8_t* history) {
  std::array<std::uint8_t, kLz5Window> ring{};
  std::size_t p = 0;
  for (unsigned v = 0; v < 256; ++v)
    for (int i = 0; i < 13; ++i) ring[p++] = std::uint8_t(v);
  for (unsigned v = 0; v < 256; ++v) ring[p++] = std::uint8_t(v);
  for (unsigned v = 0; v < 256; ++v) ring[p++] = std::uint8_t(255 - v);
  p += 128;
  for (int i = 0; i < 110; ++i) ring[p++] = ' ';
  // Distance d from the start is ring position (start - d), start being
  // kLz5Window - kLz5Lookahead; so history[k] is ring[start + k].
  const unsigned start = kLz5Window - kLz5Lookahead;
  for (std::size_t k = 0; k < kLz5Window; ++k) history[k] = ring[(start + k) & (kLz5Window - 1)];
}

}  // namespace

Status DecodeLh1(PackedInput& in, BoundedOutput& out) {
  MsbBitReader bits(in);
  LzWindow win(kLh1Window, kLh1MaxMatch, out);
  std::memset(win.History(), ' ', kLh1Window);
  AdaptiveHuffman huffman;
  const std::uint64_t limit = out.Limit();
  while (win.Produced() < limit) {
    if (win.Full() && !win.Drain()) break;
    if (bits.Dry()) break;
    const int symbol = huffman.Decode(bits);
    if (symbol < 0) return Status::Corrupt;
    if (symbol < 256) {
      win.Put(std::uint8_t(symbol));
      continue;
    }
    bits.Need(14);
    const UpperCode upper = kUpperCodes[bits.Peek(8)];
    bits.Skip(upper.length);
    const std::size_t dist = ((std::size_t(upper.value) << 6) | bits.Peek(6)) + 1;
    bits.Skip(6);
    win.Copy(dist, unsigned(symbol) - 256 + kLh1MinMatch);
  }
  win.Drain();
  if (bits.Overran()) return Status::Corrupt;  // whatever came out
  return Finish(in, out);
}

// A flag bit per item: 1 and an 8-bit literal, or 0, an 11-bit ring
// position and a 4-bit length - 2.
Status DecodeLzs(PackedInput& in, BoundedOutput& out) {
  MsbBitReader bits(in);
  LzWindow win(kLzsWindow, kLzsMinMatch + 15, out);
  std::memset(win.History(), ' ', kLzsWindow);
  unsigned r = kLzsWindow - kLzsLookahead;
  const std::uint64_t limit = out.Limit();
  while (win.Produced() < limit) {
    if (win.Full() && !win.Drain()) break;
    if (bits.Dry()) break;
    bits.Need(16);
    const std::uint32_t v = bits.Peek(16);
    if (v & 0x8000) {
      win.Put(std::uint8_t(v >> 7));
      bits.Skip(9);
      ++r;
    } else {
      const unsigned len = (v & 15) + kLzsMinMatch;
      win.Copy(RingDistance(r, (v >> 4) & 0x7ff, kLzsWindow), len);
      bits.Skip(16);
      r += len;
    }
  }
  win.Drain();
  if (bits.Overran()) return Status::Corrupt;  // whatever came out
  return Finish(in, out);
}

// A flag byte for every eight items, lowest bit first: 1 and a literal
// byte, or 0 and two bytes: ring position low 8 bits; position high 4 bits
// in the upper nibble, length - 3 in the lower.
Status DecodeLz5(PackedInput& in, BoundedOutput& out) {
  LzWindow win(kLz5Window, 8 * kLz5MaxMatch, out);
  FillLz5Dictionary(win.History());
  unsigned r = kLz5Window - kLz5Lookahead;
  const std::uint64_t limit = out.Limit();
  while (win.Produced() < limit) {
    if (win.Full() && !win.Drain()) break;
    if (in.PastEnd() > 0) break;
    unsigned flags = std::uint8_t(in.Byte()) | 0x100u;  // the marker bit ends the group
    for (; flags != 1 && win.Produced() < limit; flags >>= 1) {
      if (flags & 1) {
        win.Put(std::uint8_t(in.Byte()));
        ++r;
      } else {
        const unsigned lo = std::uint8_t(in.Byte());
        const unsigned hi = std::uint8_t(in.Byte());
        const unsigned len = (hi & 15) + kLz5MinMatch;
        win.Copy(RingDistance(r, lo | ((hi & 0xf0) << 4), kLz5Window), len);
        r += len;
      }
    }
  }
  win.Drain();
  // Bytes need no reading ahead: any byte asked for past the end is missing.
  if (in.PastEnd() > 0) return Status::Corrupt;
  return Finish(in, out);
}

}  // namespace kx::codec
