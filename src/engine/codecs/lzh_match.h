#pragma once
// The LZ77 half of the LZH encoders: a sliding window over the input with
// hash chains on three-byte prefixes, which finds the longest earlier copy
// of the bytes ahead within a maximum distance. Owns the window and pulls
// the input through the caller's ReadFn; one encode call, one thread.
#include <climits>
#include <cstdint>
#include <vector>

#include "engine/codecs/codec_io.h"

namespace kx::codec::lzh {

struct Match {
  unsigned length = 0;    // 0: none
  unsigned distance = 0;  // 1 = the byte just before
};

class MatchFinder {
 public:
  static constexpr unsigned kMinMatch = 3;
  static constexpr unsigned kMaxMatch = 256;
  // Fill() keeps at least this much ahead while the input lasts, so a whole
  // match and the lazy look one byte further always fit.
  static constexpr unsigned kMinLookahead = kMaxMatch + kMinMatch + 1;

  MatchFinder(unsigned maxDistance, const ReadFn& read);

  // Tops the window up from the input; false when reading failed.
  bool Fill();
  // Bytes from the current position to the end of the input read so far.
  unsigned Lookahead() const { return unsigned(end_ - pos_); }
  std::uint8_t Current() const { return win_[pos_]; }
  void Advance() { ++pos_; }
  // Input bytes read so far.
  std::uint64_t Consumed() const { return slid_ + end_; }

  // Enters the current position into the chains (three bytes must be
  // ahead) and returns the longest match longer than `longerThan`, looking
  // at no more than `chain` earlier positions and stopping at `nice`.
  Match InsertAndFind(unsigned longerThan, unsigned chain, unsigned nice);
  // Enters the current position into the chains when three bytes are ahead.
  void Insert();

 private:
  void Slide();

  static constexpr std::int32_t kNone = INT32_MIN / 2;

  const ReadFn& read_;
  unsigned maxDistance_;
  std::size_t wsize_;                // power of two above maxDistance + kMinLookahead
  std::size_t span_;                 // bytes dropped at a time, a multiple of wsize_
  std::vector<std::uint8_t> win_;    // up to wsize_ + span_ bytes and a tail for wide compares
  std::vector<std::int32_t> head_;   // last position of each hash
  std::vector<std::int32_t> prev_;   // the position before, by position modulo wsize_
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::uint64_t slid_ = 0;  // bytes dropped off the front of the window
  bool atEnd_ = false;
};

}  // namespace kx::codec::lzh
