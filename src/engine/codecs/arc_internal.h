#pragma once
// Pieces shared by the ARC and ZOO decoders and the encoder: the run-length
// step with the 0x90 marker, an LSB-first bit reader, and where decoded
// bytes go.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/codecs/codec_io.h"

namespace kx::codec::arcdetail {

constexpr std::uint8_t kRunMarker = 0x90;

// Expands ARC's run-length coding: marker n repeats the last literal n-1 more
// times, marker 0 stands for the byte 0x90 itself. As in arc and nomarch, a
// 0x90 written that way does not become the byte later runs repeat (unar
// differs here, so the encoder never writes a run right after it).
class Rle90Expander {
 public:
  explicit Rle90Expander(BoundedOutput& out) : out_(out) {}

  // False when the output refused (TooLong, OutputFailed).
  bool Expand(const std::uint8_t* p, std::size_t n) {
    const std::uint8_t* end = p + n;
    while (p < end) {
      if (afterMarker_) {
        afterMarker_ = false;
        const std::uint8_t count = *p++;
        if (count == 0) {
          if (!out_.Put(kRunMarker)) return false;
        } else if (count > 1 && !Repeat(count - 1)) {
          return false;
        }
        continue;
      }
      const auto* marker = static_cast<const std::uint8_t*>(std::memchr(p, kRunMarker, std::size_t(end - p)));
      const std::uint8_t* stop = marker ? marker : end;
      if (stop > p) {
        if (!out_.Write(p, std::size_t(stop - p))) return false;
        last_ = stop[-1];
      }
      if (!marker) break;
      afterMarker_ = true;
      p = marker + 1;
    }
    return true;
  }

 private:
  bool Repeat(unsigned n) {
    std::uint8_t run[256];
    std::memset(run, last_, n);
    return out_.Write(run, n);
  }

  BoundedOutput& out_;
  std::uint8_t last_ = 0;
  bool afterMarker_ = false;
};

// Reads bits from the low end of each byte first. Refill() keeps at least 57
// bits ready; past the end of the packed data it feeds ones (what the old
// DOS readers saw at the end of a file) without reading, and PastEnd() tells
// when more bits were taken than the data holds.
class LsbBitReader {
 public:
  explicit LsbBitReader(PackedInput& in) : in_(in), left_(in.Remaining() * 8) {}

  void Refill() {
    while (count_ <= 56) {
      const std::uint8_t b = in_.Remaining() > 0 ? std::uint8_t(in_.Byte()) : 0xFF;
      bits_ |= std::uint64_t(b) << count_;
      count_ += 8;
    }
  }
  std::uint32_t Peek(unsigned n) const { return std::uint32_t(bits_) & ((1u << n) - 1); }
  void Drop(unsigned n) {
    bits_ >>= n;
    count_ -= n;
    taken_ += n;
  }
  unsigned Bit() {
    if (count_ == 0) Refill();
    const unsigned b = unsigned(bits_ & 1);
    Drop(1);
    return b;
  }
  bool PastEnd() const { return taken_ > left_; }

 private:
  PackedInput& in_;
  std::uint64_t bits_ = 0;
  unsigned count_ = 0;
  std::uint64_t taken_ = 0;
  const std::uint64_t left_;
};

// The two ends a decoder's bytes can go to.
struct DirectStage {
  BoundedOutput& out;
  bool Take(const std::uint8_t* p, std::size_t n) { return out.Write(p, n); }
};
struct RleStage {
  Rle90Expander rle;
  bool Take(const std::uint8_t* p, std::size_t n) { return rle.Expand(p, n); }
};

// The LZW decoders of arc_lzw.cpp.
// Methods 5 to 7: 12-bit codes whose table slots come from a hash.
Status DecodeCrunchedOld(PackedInput& in, BoundedOutput& out, bool newHash, bool runLength);
// Methods 8 and 9: codes growing from 9 to maxBits bits, read in groups.
Status DecodeLzwGroups(PackedInput& in, BoundedOutput& out, unsigned maxBits, bool runLength);

}  // namespace kx::codec::arcdetail
