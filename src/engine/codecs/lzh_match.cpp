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

}  // namespace

MatchFinder::MatchFinder(unsigned maxDistance, const ReadFn& read)
    : read_(read), maxDistance_(maxDistance), wsize_(std::bit_ceil(std::size_t(maxDistance) + kMinLookahead + 1)) {
  win_.assign(2 * wsize_ + kTail, 0);
  head_.assign(std::size_t(1) << kHashBits, kNone);
  prev_.assign(wsize_, kNone);
}

std::uint32_t MatchFinder::HashAt(std::size_t pos) const {
  const std::uint32_t v = std::uint32_t(win_[pos]) | (std::uint32_t(win_[pos + 1]) << 8) |
                          (std::uint32_t(win_[pos + 2]) << 16);
  return (v * 0x9E3779B1u) >> (32 - kHashBits);
}

void MatchFinder::Slide() {
  // Drops the older half of the window; positions move down by wsize_, and
  // chain entries that fall off the front become "none".
  std::memmove(win_.data(), win_.data() + wsize_, end_ - wsize_);
  std::fill(win_.begin() + std::ptrdiff_t(end_ - wsize_), win_.end(), std::uint8_t(0));
  pos_ -= wsize_;
  end_ -= wsize_;
  slid_ += wsize_;
  const auto shift = [w = std::int32_t(wsize_)](std::int32_t& p) { p = p >= w ? p - w : kNone; };
  std::for_each(head_.begin(), head_.end(), shift);
  std::for_each(prev_.begin(), prev_.end(), shift);
}

bool MatchFinder::Fill() {
  while (!atEnd_ && end_ - pos_ < kMinLookahead) {
    if (pos_ >= 2 * wsize_ - kMinLookahead) Slide();
    const std::size_t room = 2 * wsize_ - end_;
    const std::size_t got = read_(win_.data() + end_, room);
    if (got == SIZE_MAX) return false;
    if (got == 0) {
      atEnd_ = true;
    } else {
      end_ += std::min(got, room);
    }
  }
  return true;
}

void MatchFinder::Insert() {
  if (end_ - pos_ < kMinMatch) return;
  const std::uint32_t h = HashAt(pos_);
  prev_[pos_ & (wsize_ - 1)] = head_[h];
  head_[h] = std::int32_t(pos_);
}

Match MatchFinder::InsertAndFind(unsigned longerThan, unsigned chain, unsigned nice) {
  Match best;
  const unsigned ahead = unsigned(std::min<std::size_t>(end_ - pos_, kMaxMatch));
  if (ahead < kMinMatch) return best;
  const std::uint32_t h = HashAt(pos_);
  std::int32_t cand = head_[h];
  prev_[pos_ & (wsize_ - 1)] = cand;
  head_[h] = std::int32_t(pos_);

  const std::int32_t limit = std::int32_t(pos_) - std::int32_t(maxDistance_);
  const std::uint8_t* here = win_.data() + pos_;
  unsigned bestLen = std::max(longerThan, kMinMatch - 1);
  if (bestLen >= ahead) return best;
  nice = std::min(nice, ahead);
  while (cand >= limit && chain-- > 0) {
    const std::uint8_t* there = win_.data() + cand;
    // The byte that would make a longer match is checked first.
    if (there[bestLen] == here[bestLen] && there[0] == here[0] && there[1] == here[1]) {
      const unsigned len = CommonLength(there, here, ahead);
      if (len > bestLen) {
        bestLen = len;
        best.length = len;
        best.distance = unsigned(std::int32_t(pos_) - cand);
        if (len >= nice) break;
      }
    }
    cand = prev_[std::size_t(cand) & (wsize_ - 1)];
  }
  return best;
}

}  // namespace kx::codec::lzh
