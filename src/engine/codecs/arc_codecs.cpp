// ARC's method dispatch, "packed" (run-length coding alone) and "squeezed"
// (a Huffman tree stored before the data, then run-length coding). The LZW
// methods are in arc_lzw.cpp, the encoder in arc_lzw_encoder.cpp.
#include "engine/codecs/arc_codecs.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "engine/codecs/arc_internal.h"

namespace kx::codec {
namespace {

using arcdetail::LsbBitReader;
using arcdetail::Rle90Expander;

Status DecodePacked(PackedInput& in, BoundedOutput& out) {
  Rle90Expander rle(out);
  std::vector<std::uint8_t> chunk(std::size_t(1) << 16);
  for (;;) {
    const std::size_t want = std::size_t(std::min<std::uint64_t>(chunk.size(), in.Remaining()));
    if (want == 0) break;
    const std::size_t got = in.Read(chunk.data(), want);
    if (got == 0 || !rle.Expand(chunk.data(), got)) break;
  }
  return Finish(in, out);
}

// The squeezed tree: node 0 is the root, each node has two children; a child
// c >= 0 is another node, c < 0 the leaf of value -(c+1), 256 marking the end.
constexpr int kEndSymbol = 256;
constexpr std::size_t kMaxNodes = 256;  // 257 leaves need 256 inner nodes
constexpr unsigned kFastBits = 10;

struct SqueezeTree {
  std::array<std::array<std::int16_t, 2>, kMaxNodes> child{};
  std::size_t nodes = 0;
  // What the next kFastBits bits lead to: a value and how many bits it took,
  // or (bits == 0) the node reached after all of them.
  struct Fast {
    std::int16_t target;
    std::uint8_t bits;
  };
  std::array<Fast, 1u << kFastBits> fast{};
};

bool IsLeaf(std::int16_t c) { return c < 0; }
int LeafValue(std::int16_t c) { return -(c + 1); }

// Every node reachable from the root is referred to once, children name
// existing nodes and leaves hold 0..256: a tree, so every walk ends.
bool ReadTree(PackedInput& in, SqueezeTree& t) {
  auto word = [&in] {
    const int lo = in.Byte();
    const int hi = in.Byte();
    return std::uint16_t(std::uint8_t(lo) | (std::uint8_t(hi) << 8));
  };
  t.nodes = word();
  if (t.nodes > kMaxNodes) return false;
  for (std::size_t i = 0; i < t.nodes; ++i) {
    t.child[i][0] = std::int16_t(word());
    t.child[i][1] = std::int16_t(word());
  }
  if (in.PastEnd() != 0) return false;
  if (t.nodes == 0) return true;  // an empty member: only the end mark, no bits
  std::array<bool, kMaxNodes> seen{};
  std::array<std::size_t, kMaxNodes> queue{};
  std::size_t head = 0, tail = 0;
  queue[tail++] = 0;
  seen[0] = true;
  while (head < tail) {
    for (const std::int16_t c : t.child[queue[head++]]) {
      if (IsLeaf(c)) {
        if (LeafValue(c) > kEndSymbol) return false;
        continue;
      }
      if (std::size_t(c) >= t.nodes || seen[std::size_t(c)]) return false;
      seen[std::size_t(c)] = true;
      queue[tail++] = std::size_t(c);
    }
  }
  for (std::uint32_t v = 0; v < t.fast.size(); ++v) {
    std::int16_t node = 0;
    unsigned used = 0;
    for (;;) {
      const std::int16_t c = t.child[std::size_t(node)][(v >> used) & 1];
      ++used;
      if (IsLeaf(c)) {
        t.fast[v] = {std::int16_t(LeafValue(c)), std::uint8_t(used)};
        break;
      }
      node = c;
      if (used == kFastBits) {
        t.fast[v] = {node, 0};
        break;
      }
    }
  }
  return true;
}

Status DecodeSqueezed(PackedInput& in, BoundedOutput& out) {
  auto tree = std::make_unique<SqueezeTree>();
  if (!ReadTree(in, *tree)) return Status::Corrupt;
  const SqueezeTree& t = *tree;
  arcdetail::RleStage stage{Rle90Expander(out)};
  if (t.nodes == 0) return Finish(in, out);

  LsbBitReader bits(in);
  std::array<std::uint8_t, 4096> chunk;
  std::size_t fill = 0;
  for (;;) {
    bits.Refill();
    const SqueezeTree::Fast f = t.fast[bits.Peek(kFastBits)];
    int value;
    if (f.bits != 0) {
      bits.Drop(f.bits);
      value = f.target;
    } else {
      // A code longer than the table: walk on bit by bit. The tree check
      // bounds this walk by the number of nodes.
      bits.Drop(kFastBits);
      std::int16_t c = f.target;
      do {
        c = t.child[std::size_t(c)][bits.Bit()];
      } while (!IsLeaf(c));
      value = LeafValue(c);
    }
    // arc leaves out the last partial byte of its squeezed data, end mark
    // and all: the member also ends where its bits run out.
    if (value == kEndSymbol || bits.PastEnd()) break;
    chunk[fill++] = std::uint8_t(value);
    if (fill == chunk.size()) {
      if (!stage.Take(chunk.data(), fill)) return Finish(in, out);
      fill = 0;
    }
  }
  if (fill > 0) stage.Take(chunk.data(), fill);
  return Finish(in, out);
}

}  // namespace

Status DecodeArc(std::uint8_t method, PackedInput& in, BoundedOutput& out) {
  switch (method) {
    case 1:
    case 2:
      return CopyStored(in, out);
    case 3:
      return DecodePacked(in, out);
    case 4:
      return DecodeSqueezed(in, out);
    case 5:
      return arcdetail::DecodeCrunchedOld(in, out, false, false);
    case 6:
      return arcdetail::DecodeCrunchedOld(in, out, false, true);
    case 7:
      return arcdetail::DecodeCrunchedOld(in, out, true, true);
    case 8: {
      // Crunched: the first byte names the widest code; arc writes only 12.
      if (in.Remaining() == 0 || in.Byte() != 12) return Status::Corrupt;
      return arcdetail::DecodeLzwGroups(in, out, 12, true);
    }
    case 9:
      return arcdetail::DecodeLzwGroups(in, out, 13, false);
    default:
      return Status::Unsupported;
  }
}

}  // namespace kx::codec
