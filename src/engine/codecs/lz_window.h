#pragma once
// Two pieces the LZ77 decoders of the old DOS methods share: a bit reader for
// streams packed most significant bit first, and a flat history window that
// produced bytes go into before they reach the BoundedOutput. Both are inline:
// they sit in the innermost loops. No allocation depends on the packed data.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/codecs/codec_io.h"

namespace kx::codec {

// Reads bits most significant first. The valid bits sit at the top of a
// 64-bit word; past the end of the packed data one bits come in and the
// PackedInput counts them, so decoders check Dry() once per item, not per
// bit, and Overran() at the end.
class MsbBitReader {
 public:
  explicit MsbBitReader(PackedInput& in) : in_(in) {}

  // Makes at least n (<= 57) bits available to Peek.
  void Need(int n) {
    if (count_ >= n) return;
    while (count_ <= 56) {
      bits_ |= std::uint64_t(std::uint8_t(in_.Byte())) << (56 - count_);
      count_ += 8;
    }
  }
  // The next n (1..57) bits without consuming them; Need(n) first.
  std::uint32_t Peek(int n) const { return std::uint32_t(bits_ >> (64 - n)); }
  // All buffered bits, the next one on top; for counting leading ones.
  std::uint64_t Window() const { return bits_; }
  void Skip(int n) {
    bits_ <<= n;
    count_ -= n;
  }
  // n (1..25) bits as a number.
  std::uint32_t Bits(int n) {
    Need(n);
    const std::uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  // Far past the end: stop decoding (checked once per item).
  bool Dry() const { return in_.Overrun(); }
  // True when bits past the end were consumed, not only fetched ahead: the
  // fetched bytes past the end are the last ones, so the bits still buffered
  // cover them unless some were used.
  bool Overran() const { return in_.PastEnd() * 8 > std::uint64_t(count_); }

 private:
  PackedInput& in_;
  std::uint64_t bits_ = 0;
  int count_ = 0;
};

// The history of an LZ77 decoder as one flat buffer: the last `history`
// bytes, then the bytes not yet handed on. Matches copy without wrapping;
// when the buffer is nearly full, Drain() hands the new bytes to the output
// and moves the history to the front. The history area starts zeroed and
// methods that begin with a filled dictionary write it through History().
class LzWindow {
 public:
  // maxMatch is the longest single copy, so one item always fits after Full().
  LzWindow(std::size_t history, std::size_t maxMatch, BoundedOutput& out)
      : history_(history),
        buf_(history + kChunk + maxMatch + kOvershoot),
        pos_(history),
        start_(history),
        out_(out) {}

  // The dictionary before the first byte: History()[history - d] is the byte
  // at distance d.
  std::uint8_t* History() { return buf_.data(); }

  std::uint64_t Produced() const { return drained_ + (pos_ - start_); }
  // True when the next item might not fit: call Drain() first.
  bool Full() const { return pos_ >= history_ + kChunk; }

  void Put(std::uint8_t b) { buf_[pos_++] = b; }

  // Copies len bytes from dist (1..history) back; the two may overlap.
  void Copy(std::size_t dist, std::size_t len) {
    std::uint8_t* dst = buf_.data() + pos_;
    const std::uint8_t* src = dst - dist;
    pos_ += len;
    if (dist >= 8) {
      // Eight at a time; the last block may run up to 7 bytes past the
      // match into the slack, which later bytes overwrite.
      for (std::size_t done = 0; done < len; done += 8) std::memcpy(dst + done, src + done, 8);
    } else {
      for (std::size_t i = 0; i < len; ++i) dst[i] = src[i];
    }
  }

  // Hands the new bytes on; false once the output refused (too many, sink).
  bool Drain() {
    const std::size_t fresh = pos_ - start_;
    const bool ok = out_.Write(buf_.data() + start_, fresh);
    drained_ += fresh;
    std::memmove(buf_.data(), buf_.data() + pos_ - history_, history_);
    pos_ = start_ = history_;
    return ok;
  }

 private:
  static constexpr std::size_t kChunk = std::size_t(1) << 16;
  static constexpr std::size_t kOvershoot = 8;

  std::size_t history_;
  std::vector<std::uint8_t> buf_;
  std::size_t pos_;
  std::size_t start_;
  std::uint64_t drained_ = 0;
  BoundedOutput& out_;
};

}  // namespace kx::codec
