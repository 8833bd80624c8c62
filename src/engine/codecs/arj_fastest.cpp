#include "engine/codecs/arj_fastest.h"

#include <algorithm>
#include <bit>

#include "engine/codecs/lz_window.h"

namespace kx::codec {
namespace {

// Both numbers of an item are coded alike: up to `maxOnes` one bits, ended
// by a zero unless all are ones; k ones are followed by `base` + k bits, and
// the number is those bits plus the values all shorter widths cover.
//
//   length code:  k = 0..7 ones, then k bits       -> 0..254
//                 0 is a literal (8 bits follow), n a match of n + 2 bytes
//   position:     k = 0..4 ones, then 9 + k bits   -> 0..15871, distance - 1
constexpr int kLengthMaxOnes = 7;
constexpr int kPositionMaxOnes = 4;
constexpr int kPositionBaseBits = 9;
constexpr unsigned kMinMatch = 3;
constexpr std::size_t kMaxMatch = 256;
constexpr std::size_t kMaxDistance = ((1u << (kPositionBaseBits + kPositionMaxOnes + 1)) - (1u << kPositionBaseBits));

// Reads the run of ones (at most maxOnes) and the stop bit after it.
int ReadOnes(MsbBitReader& bits, int maxOnes) {
  const int ones = std::min(std::countl_one(bits.Window()), maxOnes);
  bits.Skip(ones < maxOnes ? ones + 1 : ones);
  return ones;
}

}  // namespace

Status DecodeArjFastest(PackedInput& in, BoundedOutput& out) {
  MsbBitReader bits(in);
  LzWindow win(kMaxDistance, kMaxMatch, out);
  const std::uint64_t limit = out.Limit();
  while (win.Produced() < limit) {
    if (win.Full() && !win.Drain()) break;
    if (bits.Dry()) break;
    // The longest item, a match, takes 14 + 17 bits.
    bits.Need(31);
    const int lengthOnes = ReadOnes(bits, kLengthMaxOnes);
    unsigned code = (1u << lengthOnes) - 1;
    if (lengthOnes > 0) {
      code += bits.Peek(lengthOnes);
      bits.Skip(lengthOnes);
    }
    if (code == 0) {
      win.Put(std::uint8_t(bits.Peek(8)));
      bits.Skip(8);
      continue;
    }
    const int positionOnes = ReadOnes(bits, kPositionMaxOnes);
    const int width = kPositionBaseBits + positionOnes;
    const std::size_t dist = ((1u << width) - (1u << kPositionBaseBits)) + bits.Peek(width) + 1;
    bits.Skip(width);
    // The dictionary starts empty: nothing lies before the first byte.
    if (dist > win.Produced()) return Status::Corrupt;
    win.Copy(dist, code + kMinMatch - 1);
  }
  win.Drain();
  if (bits.Overran()) return Status::Corrupt;  // whatever came out
  return Finish(in, out);
}

}  // namespace kx::codec
