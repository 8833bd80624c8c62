#include "engine/codecs/lzh_match.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kx::codec::lzh {
namespace {

// Compares at most `limit` bytes at a and b; the buffers hold at least eight
// bytes more than that.
unsigned CommonLength(const std::uint8_t* a, const std::uint8_t* b, unsigned limit) {
  unsigned n = 0;
  if constexpr (std::endian::native == std::endian::little) {
    while (n < limit) {
      std::uint64_t x, y;
      std::memcpy(&x, a + n, 8);
      std::memcpy(&y, b + n, 8);
      if (x != y) return std::min(limit, n + unsigned(std::countr_zero(x ^ y)) / 8);
      n += 8;
    }
    return limit;
  } else {
    while (n < limit && a[n] == b[n]) ++n;
    return n;
  }
}

constexpr std::size_t kTail = 8;
constexpr std::size_t kMinSpan = std::size_t(1) << 18;
constexpr std::size_t kReadChunk = std::size_t(1) << 16;
constexpr unsigned kHashBits = 15;

inline std::uint32_t Hash3(const std::uint8_t* p) {
  const std::uint32_t v = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
  return (v * 0x9E3779B1u) >> (32 - kHashBits);
}

std::uint16_t Load16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

}  // namespace

MatchFinder::MatchFinder(unsigned maxDistance, const ReadFn& read)
    : read_(read),
      maxDistance_(maxDistance),
      wsize_(std::bit_ceil(std::size_t(maxDistance) + kMinLookahead + 1)),
      span_(std::max<std::size_t>(wsize_, kMinSpan)) {
  head_.assign(std::size_t(1) << kHashBits, kNone);
  prev_.assign(wsize_, kNone);
}

void MatchFinder::Slide() {
  // Drops span_ bytes off the front, keeping the last wsize_ before pos_;
  // positions move down by span_ (a multiple of wsize_, so chain slots stay
  // where they are) and entries that fall off the front become "none".
  std::memmove(win_.data(), win_.data() + span_, end_ - span_);
  pos_ -= span_;
  end_ -= span_;
  slid_ += span_;
  const auto shift = [s = std::int32_t(span_)](std::int32_t& p) { p = p >= s ? p - s : kNone; };
  std::for_each(head_.begin(), head_.end(), shift);
  std::for_each(prev_.begin(), prev_.end(), shift);
}

bool MatchFinder::Fill() {
  const std::size_t capacity = wsize_ + span_;
  while (!atEnd_ && end_ - pos_ < kMinLookahead) {
    if (pos_ >= capacity - kMinLookahead) Slide();
    // The buffer grows with the input, so small files cost little.
    const std::size_t room = std::min(capacity - end_, kReadChunk);
    if (win_.size() < end_ + room + kTail) win_.resize(std::min(capacity, std::max(2 * win_.size(), end_ + room)) + kTail);
    const std::size_t got = read_(win_.data() + end_, room);
    if (got == SIZE_MAX) return false;
    if (got == 0) {
      atEnd_ = true;
    } else {
      end_ += std::min(got, room);
    }
  }
  // Bytes past the end compare as zeros, never as stale data.
  std::fill_n(win_.data() + end_, kTail, std::uint8_t(0));
  return true;
}

void MatchFinder::Insert() {
  if (end_ - pos_ < kMinMatch) return;
  const std::uint32_t h = Hash3(win_.data() + pos_);
  prev_[pos_ & (wsize_ - 1)] = head_[h];
  head_[h] = std::int32_t(pos_);
}

Match MatchFinder::InsertAndFind(unsigned longerThan, unsigned chain, unsigned nice) {
  Match best;
  const unsigned ahead = unsigned(std::min<std::size_t>(end_ - pos_, kMaxMatch));
  if (ahead < kMinMatch) return best;
  const std::uint32_t h = Hash3(win_.data() + pos_);
  std::int32_t cand = head_[h];
  prev_[pos_ & (wsize_ - 1)] = cand;
  head_[h] = std::int32_t(pos_);

  const std::int32_t limit = std::int32_t(pos_) - std::int32_t(maxDistance_);
  const std::uint8_t* here = win_.data() + pos_;
  unsigned bestLen = std::max(longerThan, kMinMatch - 1);
  if (bestLen >= ahead) return best;
  nice = std::min(nice, ahead);
  // A candidate can only be longer if it agrees at the two bytes ending
  // at bestLen and at the first two; those are checked before anything else.
  std::uint16_t end = Load16(here + bestLen - 1);
  const std::uint16_t start = Load16(here);
  while (cand >= limit && chain-- > 0) {
    const std::uint8_t* there = win_.data() + cand;
    if (Load16(there + bestLen - 1) == end && Load16(there) == start) {
      const unsigned len = CommonLength(there, here, ahead);
      if (len > bestLen) {
        bestLen = len;
        best.length = len;
        best.distance = unsigned(std::int32_t(pos_) - cand);
        if (len >= nice) break;
        end = Load16(here + bestLen - 1);
      }
    }
    cand = prev_[std::size_t(cand) & (wsize_ - 1)];
  }
  return best;
}

}  // namespace kx::codec::lzh
