#pragma once
// Bit streams of the LZH family: bits are read and written from the most
// significant bit of each byte down. The reader pulls the packed bytes of one
// member in chunks and feeds zeros past their end, counting how far decoding
// really went there; the writer buffers whole bytes for a Sink and counts
// them. Both live on the stack of one decode or encode call.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/codecs/codec_io.h"

namespace kx::codec::lzh {

class MsbBitReader {
 public:
  // Refill() guarantees at least this many bits for Peek and Skip.
  static constexpr unsigned kMinBits = 56;

  explicit MsbBitReader(PackedInput& in) : in_(in) {}
  MsbBitReader(const MsbBitReader&) = delete;
  MsbBitReader& operator=(const MsbBitReader&) = delete;

  void Refill() {
    if (count_ >= kMinBits) return;
    if (end_ - pos_ >= 8) {
      // Loads eight bytes at once and keeps the whole ones that fit; the bits
      // of a partly kept byte are ORed in again, unchanged, next time.
      std::uint64_t v;
      std::memcpy(&v, bytes_.data() + pos_, 8);
      if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
      buf_ |= v >> count_;
      const unsigned take = (63 - count_) >> 3;
      pos_ += take;
      count_ += take * 8;
      return;
    }
    RefillSlow();
  }
  // The next n bits (1..32) without consuming them; Refill() first.
  std::uint32_t Peek(unsigned n) const { return std::uint32_t(buf_ >> (64 - n)); }
  void Skip(unsigned n) {
    buf_ <<= n;
    count_ -= n;
  }
  // n bits (0..16), refilling as needed; for the block headers.
  std::uint32_t Get(unsigned n) {
    if (n == 0) return 0;
    Refill();
    const std::uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  // Past the data by more than the slack of a bit reader: whatever is decoded
  // now comes from the zeros fed after the end.
  bool Exhausted() const { return zeros_ > PackedInput::kSlack + 8; }

  // Decoding has used bits beyond the packed data (zeros fed after the end).
  // Whole bytes still in the buffer are unused; a partly read one counts.
  bool PastEnd() const { return zeros_ > (count_ >> 3); }
  // Tells `in` when decoding used bits beyond the packed data, so that
  // Finish() reports the stream as cut short.
  void Settle() {
    if (!PastEnd()) return;
    for (std::uint64_t i = 0; i <= PackedInput::kSlack; ++i) in_.Byte();
  }

 private:
  void RefillSlow() {
    while (count_ <= 56) {
      if (pos_ == end_) Fetch();
      std::uint8_t b = 0;
      if (pos_ < end_) {
        b = bytes_[pos_++];
      } else {
        ++zeros_;
      }
      buf_ |= std::uint64_t(b) << (56 - count_);
      count_ += 8;
    }
  }
  void Fetch() {
    const std::uint64_t left = in_.Remaining();
    if (left == 0) return;
    const std::size_t want = std::size_t(std::min<std::uint64_t>(left, kChunk));
    end_ = in_.Read(bytes_.data(), want);
    pos_ = 0;
  }

  static constexpr std::size_t kChunk = 1 << 15;

  PackedInput& in_;
  std::uint64_t buf_ = 0;  // unread bits, left-aligned
  unsigned count_ = 0;     // how many of them are valid
  std::array<std::uint8_t, kChunk> bytes_{};
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::uint64_t zeros_ = 0;  // zero bytes fed after the end of the data
};

// Collects bits most significant first and hands whole bytes to the sink in
// large chunks. After the sink refuses, nothing more is written and Failed()
// is true.
class MsbBitWriter {
 public:
  explicit MsbBitWriter(const Sink& sink) : sink_(sink), out_(kChunk + 8) {}

  // Appends the low n bits of v (n at most 32).
  void Put(unsigned n, std::uint32_t v) {
    acc_ = (acc_ << n) | (v & ((std::uint64_t(1) << n) - 1));
    count_ += n;
    if (count_ >= 32) {
      count_ -= 32;
      const std::uint32_t word = std::uint32_t(acc_ >> count_);
      for (unsigned i = 0; i < 4; ++i) out_[fill_ + i] = std::uint8_t(word >> (24 - 8 * i));
      fill_ += 4;
      if (fill_ >= kChunk) Drain();
    }
  }
  // Pads the last byte with zero bits and hands everything to the sink.
  bool Finish() {
    while (count_ >= 8) {
      count_ -= 8;
      out_[fill_++] = std::uint8_t(acc_ >> count_);
    }
    if (count_ > 0) out_[fill_++] = std::uint8_t(acc_ << (8 - count_));
    count_ = 0;
    Drain();
    return !failed_;
  }
  bool Failed() const { return failed_; }
  std::uint64_t BytesWritten() const { return written_ + fill_; }

 private:
  void Drain() {
    if (!failed_ && fill_ > 0 && !sink_(out_.data(), fill_)) failed_ = true;
    written_ += fill_;
    fill_ = 0;
  }

  static constexpr std::size_t kChunk = 1 << 16;

  const Sink& sink_;
  std::uint64_t acc_ = 0;
  unsigned count_ = 0;  // bits in acc_ not yet written, fewer than 32
  std::vector<std::uint8_t> out_;
  std::size_t fill_ = 0;
  std::uint64_t written_ = 0;
  bool failed_ = false;
};

}  // namespace kx::codec::lzh
