// The ARC packer. Two LZW layouts that every ARC reader knows run side by
// side on the same input: method 8 ("crunched": run-length coding, then codes
// of up to 12 bits after a byte naming that width) and method 9 ("squashed":
// codes of up to 13 bits, no run-length step). Method 9 packs text and code
// up to 8% smaller, method 8 wins clearly on runs (images, sparse data).
// Both outputs are held in memory until one is to be kept: at the end, or
// once they hold kHoldLimit bytes together (some 2 MB of input); from then on
// only the smaller one goes on, straight to the sink, so large files cost
// little more than one packer.
#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "engine/codecs/arc_codecs.h"
#include "engine/codecs/arc_internal.h"

namespace kx::codec {
namespace {

using arcdetail::kRunMarker;

constexpr std::size_t kChunk = std::size_t(1) << 16;
constexpr std::uint64_t kHoldLimit = std::uint64_t(2) << 20;

// Packed bytes: held in memory while the method is still open, afterwards
// handed to the sink in large pieces.
class PackedOutput {
 public:
  explicit PackedOutput(const Sink& sink) : sink_(sink) {}

  void Append(const std::uint8_t* p, std::size_t n) {
    buf_.insert(buf_.end(), p, p + n);
    total_ += n;
    if (!holding_ && buf_.size() >= kChunk) Drain();
  }
  // Stops holding: everything so far goes to the sink now.
  void Release() {
    holding_ = false;
    Drain();
    buf_.shrink_to_fit();
  }
  void Drain() {
    if (!failed_ && !buf_.empty() && !sink_(buf_.data(), buf_.size())) failed_ = true;
    buf_.clear();
  }
  bool Failed() const { return failed_; }
  std::uint64_t Total() const { return total_; }

 private:
  const Sink& sink_;
  std::vector<std::uint8_t> buf_;
  std::uint64_t total_ = 0;
  bool holding_ = true;
  bool failed_ = false;
};

constexpr unsigned kClear = 256;
constexpr unsigned kFirst = 257;

// Places codes low bits first into groups of `bits` bytes. When the width
// grows or the table is cleared the group is written whole, padding and all:
// the reader skips to the next group then.
class GroupWriter {
 public:
  GroupWriter(unsigned maxBits, PackedOutput& out) : maxBits_(maxBits), out_(out) {}

  // `next` is the code the table gives its next entry.
  void Put(unsigned code, unsigned next, bool clear) {
    const std::size_t at = offset_ >> 3;
    const std::uint32_t shifted = code << (offset_ & 7);
    group_[at] |= std::uint8_t(shifted);
    group_[at + 1] |= std::uint8_t(shifted >> 8);
    group_[at + 2] |= std::uint8_t(shifted >> 16);
    offset_ += bits_;
    if (offset_ == bits_ * 8) WriteGroup(bits_);
    if (next > maxCode_ || clear) {
      if (offset_ > 0) WriteGroup(bits_);
      bits_ = clear ? 9 : bits_ + 1;
      maxCode_ = bits_ == maxBits_ ? (1u << maxBits_) : (1u << bits_) - 1;
    }
  }
  void End() {
    if (offset_ > 0) WriteGroup((offset_ + 7) / 8);
  }

 private:
  void WriteGroup(std::size_t n) {
    out_.Append(group_.data(), n);
    group_.fill(0);
    offset_ = 0;
  }

  const unsigned maxBits_;
  PackedOutput& out_;
  unsigned bits_ = 9;
  unsigned maxCode_ = (1u << 9) - 1;
  std::array<std::uint8_t, 16> group_{};
  std::size_t offset_ = 0;
};

// LZW over an open-addressed table of (prefix, byte) pairs. Once the table
// is full, the ratio of bytes in to bytes out since the last clear is checked
// every kCheckGap bytes; when it stops growing the table has gone stale, and
// a clear code starts it afresh. (Checking often matters: on machine code a
// gap of 10000 bytes packs some 15% worse than one of 1000.)
class LzwPacker {
 public:
  LzwPacker(unsigned maxBits, PackedOutput& out)
      : maxMax_(1u << maxBits), writer_(maxBits, out), out_(out), slots_(kHashSize) {}

  void Feed(const std::uint8_t* p, std::size_t n) {
    const std::uint8_t* const begin = p;
    const std::uint8_t* const end = p + n;
    if (p < end && current_ < 0) current_ = *p++;
    unsigned ent = unsigned(current_);
    for (; p < end; ++p) {
      const std::uint64_t key = ((std::uint64_t(ent) << 8) | *p) + 1;
      std::size_t h = Hash(key);
      std::uint64_t slot;
      while ((slot = slots_[h]) != 0 && (slot >> 16) != key) h = (h + 1) & kHashMask;
      if (slot != 0) {
        ent = unsigned(slot & 0xFFFF);
        continue;
      }
      writer_.Put(ent, next_, false);
      if (next_ < maxMax_) {
        slots_[h] = (key << 16) | next_++;
      } else {
        MaybeClear(in_ + std::uint64_t(p - begin));
      }
      ent = *p;
    }
    current_ = int(ent);
    in_ += n;
  }
  void End() {
    if (current_ >= 0) writer_.Put(unsigned(current_), next_, false);
    writer_.End();
  }

 private:
  static constexpr std::size_t kHashSize = std::size_t(1) << 14;  // two slots per 13-bit code
  static constexpr std::size_t kHashMask = kHashSize - 1;
  static constexpr std::uint64_t kCheckGap = 1000;

  static std::size_t Hash(std::uint64_t key) { return std::size_t((std::uint32_t(key) * 0x9E3779B1u) >> 18); }

  void MaybeClear(std::uint64_t in) {
    if (in < checkpoint_) return;
    checkpoint_ = in + kCheckGap;
    const std::uint64_t ratio = ((in - clearedIn_) << 8) / std::max<std::uint64_t>(out_.Total() - clearedOut_, 1);
    if (ratio > bestRatio_) {
      bestRatio_ = ratio;
      return;
    }
    bestRatio_ = 0;
    clearedIn_ = in;
    clearedOut_ = out_.Total();
    std::fill(slots_.begin(), slots_.end(), 0);
    next_ = kFirst;
    writer_.Put(kClear, next_, true);
  }

  const unsigned maxMax_;
  GroupWriter writer_;
  PackedOutput& out_;
  // (((prefix << 8) | byte) + 1) << 16 | code; 0 is a free slot
  std::vector<std::uint64_t> slots_;
  unsigned next_ = kFirst;
  int current_ = -1;  // the string matched so far, -1 before the first byte
  std::uint64_t in_ = 0;
  std::uint64_t checkpoint_ = kCheckGap;
  std::uint64_t bestRatio_ = 0;
  std::uint64_t clearedIn_ = 0, clearedOut_ = 0;
};

// ARC's run-length coding as arc writes it: runs of three and more become
// byte, marker, count (at most 255); 0x90 itself is always 0x90 0 and never
// starts a run, so readers that disagree on what a run after it repeats
// still agree here.
class RlePacker {
 public:
  // Codes n (at most kChunk) bytes; the result stays valid until the next call.
  std::pair<const std::uint8_t*, std::size_t> Feed(const std::uint8_t* p, std::size_t n) {
    std::uint8_t* o = buf_.data();
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t b = p[i];
      if (run_ > 0 && b == byte_ && run_ < 255) {
        ++run_;
        continue;
      }
      o = Flush(o);
      if (b == kRunMarker) {
        *o++ = kRunMarker;
        *o++ = 0;
      } else {
        byte_ = b;
        run_ = 1;
      }
    }
    return {buf_.data(), std::size_t(o - buf_.data())};
  }
  std::pair<const std::uint8_t*, std::size_t> End() {
    return {buf_.data(), std::size_t(Flush(buf_.data()) - buf_.data())};
  }

 private:
  std::uint8_t* Flush(std::uint8_t* o) {
    if (run_ >= 3) {
      *o++ = byte_;
      *o++ = kRunMarker;
      *o++ = std::uint8_t(run_);
    } else {
      for (unsigned i = 0; i < run_; ++i) *o++ = byte_;
    }
    run_ = 0;
    return o;
  }

  // Each byte gives at most two (0x90 0); a run pending from before, three.
  std::vector<std::uint8_t> buf_ = std::vector<std::uint8_t>(2 * kChunk + 3);
  std::uint8_t byte_ = 0;
  unsigned run_ = 0;
};

// One method's packer with its output.
class Candidate {
 public:
  Candidate(std::uint8_t method, const Sink& sink)
      : method_(method), out_(sink), lzw_(method == 8 ? 12 : 13, out_) {
    if (method_ == 8) {
      const std::uint8_t widest = 12;
      out_.Append(&widest, 1);
    }
  }
  void Feed(const std::uint8_t* p, std::size_t n) {
    if (method_ == 8) {
      const auto [coded, size] = rle_.Feed(p, n);
      lzw_.Feed(coded, size);
    } else {
      lzw_.Feed(p, n);
    }
  }
  void End() {
    if (method_ == 8) {
      const auto [coded, size] = rle_.End();
      lzw_.Feed(coded, size);
    }
    lzw_.End();
  }
  std::uint8_t Method() const { return method_; }
  PackedOutput& Out() { return out_; }

 private:
  const std::uint8_t method_;
  PackedOutput out_;
  LzwPacker lzw_;
  RlePacker rle_;
};

}  // namespace

Status EncodeArc(const ReadFn& read, const Sink& sink, std::uint8_t& method, std::uint64_t& packed) {
  auto crunched = std::make_unique<Candidate>(8, sink);
  auto squashed = std::make_unique<Candidate>(9, sink);
  Candidate* chosen = nullptr;
  // Keeps the smaller output (method 8 when equal) and drops the other.
  auto choose = [&] {
    const bool nine = squashed->Out().Total() < crunched->Out().Total();
    chosen = nine ? squashed.get() : crunched.get();
    (nine ? crunched : squashed).reset();
    chosen->Out().Release();
  };
  std::vector<std::uint8_t> chunk(kChunk);
  for (;;) {
    const std::size_t got = read(chunk.data(), chunk.size());
    if (got == SIZE_MAX) return Status::InputFailed;
    if (got == 0) break;
    if (chosen) {
      chosen->Feed(chunk.data(), got);
      if (chosen->Out().Failed()) return Status::OutputFailed;
      continue;
    }
    crunched->Feed(chunk.data(), got);
    squashed->Feed(chunk.data(), got);
    if (crunched->Out().Total() + squashed->Out().Total() >= kHoldLimit) {
      choose();
      if (chosen->Out().Failed()) return Status::OutputFailed;
    }
  }
  if (!chosen) {
    crunched->End();
    squashed->End();
    choose();
  } else {
    chosen->End();
  }
  chosen->Out().Drain();
  if (chosen->Out().Failed()) return Status::OutputFailed;
  method = chosen->Method();
  packed = chosen->Out().Total();
  return Status::Ok;
}

}  // namespace kx::codec
