// The LZW decoders of ARC (methods 5 to 9) and ZOO (method 1).
//
// Each table entry is a string: an earlier entry (its prefix) plus one byte.
// That string was last seen in the output just before the entry was made,
// so the decoder copies it from the output history in wide steps; only
// strings older than the kept history are spelled backwards along their
// prefixes. Entries only ever name older entries as prefix, so every
// spelling ends. A code one past the table is the string about to be added
// (the previous string plus its own first byte); anything further out is
// damage.
#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "engine/codecs/arc_codecs.h"
#include "engine/codecs/arc_internal.h"

namespace kx::codec {
namespace arcdetail {
namespace {

// Copies n bytes forwards, also when dst overlaps the end of the source (the
// string that repeats its own start). Writes up to 15 bytes past dst + n.
inline void CopyForward(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
  if (std::size_t(dst - src) >= 16) {
    // Each step reads only bytes written before it.
    for (std::size_t i = 0; i < n; i += 16) std::memcpy(dst + i, src + i, 16);
  } else {
    for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
  }
}

// The decoded output, kept for copying strings from: up to 1 MB of it, less
// for smaller members. It goes on to the stage in pieces of kHandOn bytes,
// and all of it before the kept part moves to the front of the buffer.
class History {
 public:
  static constexpr std::uint64_t kMaxRoom = std::uint64_t(2) << 20;
  static constexpr std::uint64_t kMinRoom = std::uint64_t(1) << 12;
  static constexpr std::size_t kHandOn = std::size_t(1) << 16;
  static constexpr std::size_t kSlack = 16;

  History(std::uint64_t size, std::size_t longest)
      : room_(std::size_t(std::clamp(size, kMinRoom, kMaxRoom))), buf_(room_ + longest + kSlack) {}

  // The output position of the next byte.
  std::uint64_t Pos() const { return base_ + fill_; }
  // Where n (at most `longest`) more bytes go; null when the stage refused.
  template <class Stage>
  std::uint8_t* Reserve(std::size_t n, Stage& stage) {
    if (fill_ + n + kSlack > buf_.size()) {
      if (!HandOn(stage)) return nullptr;
      const std::size_t keep = std::min(fill_, room_ / 2);
      std::memmove(buf_.data(), buf_.data() + (fill_ - keep), keep);
      base_ += fill_ - keep;
      fill_ = handed_ = keep;
    }
    return buf_.data() + fill_;
  }
  void Advance(std::size_t n) { fill_ += n; }
  // The bytes at an output position, or null when no longer kept.
  const std::uint8_t* Find(std::uint64_t pos) const { return pos >= base_ ? buf_.data() + (pos - base_) : nullptr; }

  template <class Stage>
  bool HandOnIfFull(Stage& stage) {
    return fill_ - handed_ < kHandOn || HandOn(stage);
  }
  template <class Stage>
  bool HandOn(Stage& stage) {
    const bool ok = fill_ == handed_ || stage.Take(buf_.data() + handed_, fill_ - handed_);
    handed_ = fill_;
    return ok;
  }

 private:
  const std::size_t room_;
  std::vector<std::uint8_t> buf_;
  std::uint64_t base_ = 0;  // output position of buf_[0]
  std::size_t fill_ = 0;
  std::size_t handed_ = 0;
};

// ---- methods 5 to 7: 12-bit codes, slots chosen by a hash ----------------
//
// The table has 4096 slots; an entry goes to the slot its (prefix, byte)
// hashes to, or, when that is taken, from the end of that slot's chain of
// duplicates 101 slots on and then to the next free one. Codes name slots,
// so the decoder must place its entries exactly as the packer did.

constexpr unsigned kSlots = 4096;
constexpr std::uint16_t kNoPrefix = 0xFFFF;

unsigned MidSquareHash(unsigned prefix, unsigned byte) {
  const std::uint32_t key = ((prefix + byte) & 0xFFFF) | 0x0800;
  return ((key * key) >> 6) & 0x0FFF;
}

unsigned MultiplyHash(unsigned prefix, unsigned byte) { return (((prefix + byte) & 0xFFFF) * 15073u) & 0x0FFF; }

struct SlotTable {
  std::array<std::uint64_t, kSlots> start;  // output position of the string
  std::array<std::uint16_t, kSlots> prefix;
  std::array<std::uint16_t, kSlots> next;  // the chain of duplicates; 0 ends it
  std::array<std::uint16_t, kSlots> length;
  std::array<std::uint8_t, kSlots> byte;
  std::array<bool, kSlots> used{};
  unsigned (*hash)(unsigned, unsigned);

  // Only called while a slot is free, so the search ends.
  unsigned Insert(unsigned pre, unsigned b, std::uint64_t at) {
    unsigned slot = hash(pre, b);
    if (used[slot]) {
      while (next[slot] != 0) slot = next[slot];
      const unsigned last = slot;
      slot = (last + 101) & 0x0FFF;
      while (used[slot]) slot = (slot + 1) & 0x0FFF;
      next[last] = std::uint16_t(slot);
    }
    used[slot] = true;
    next[slot] = 0;
    prefix[slot] = std::uint16_t(pre);
    byte[slot] = std::uint8_t(b);
    length[slot] = pre == kNoPrefix ? 1 : std::uint16_t(length[pre] + 1);
    start[slot] = at;
    return slot;
  }

  // Writes the string of a used slot to dst[0, length).
  void Spell(unsigned slot, std::uint8_t* dst) const {
    std::uint8_t* p = dst + length[slot];
    while (prefix[slot] != kNoPrefix) {
      *--p = byte[slot];
      slot = prefix[slot];
    }
    *--p = byte[slot];
  }
  void Write(unsigned slot, const History& h, std::uint8_t* dst) const {
    if (prefix[slot] == kNoPrefix) {
      *dst = byte[slot];
    } else if (const std::uint8_t* src = h.Find(start[slot])) {
      CopyForward(dst, src, length[slot]);
    } else {
      Spell(slot, dst);
    }
  }
};

// 12-bit codes, high bits first: three bytes hold two codes; a last code on
// its own takes two bytes.
class TwelveBitCodes {
 public:
  explicit TwelveBitCodes(PackedInput& in) : in_(in) {}
  // The next code, or -1 at the end of the data.
  int Next() {
    if (half_) {
      half_ = false;
      const int b = NextByte();
      return b < 0 ? -1 : (nibble_ << 8) | b;
    }
    const int b0 = NextByte();
    const int b1 = b0 < 0 ? -1 : NextByte();
    if (b1 < 0) return -1;
    nibble_ = b1 & 0x0F;
    half_ = true;
    return (b0 << 4) | (b1 >> 4);
  }

 private:
  int NextByte() { return in_.Remaining() == 0 ? -1 : in_.Byte(); }
  PackedInput& in_;
  int nibble_ = 0;
  bool half_ = false;
};

template <class Stage>
Status RunCrunchedOld(PackedInput& in, BoundedOutput& out, bool newHash, Stage& stage) {
  auto table = std::make_unique<SlotTable>();
  SlotTable& t = *table;
  t.hash = newHash ? MultiplyHash : MidSquareHash;
  for (unsigned b = 0; b < 256; ++b) t.Insert(kNoPrefix, b, 0);
  unsigned room = kSlots - 256;

  TwelveBitCodes codes(in);
  History history(out.Limit(), kSlots + 1);
  const int first = codes.Next();
  if (first < 0) return Finish(in, out);
  if (!t.used[unsigned(first)]) return Status::Corrupt;
  std::uint64_t previousAt = history.Pos();
  *history.Reserve(1, stage) = t.byte[unsigned(first)];  // an empty history has room
  history.Advance(1);
  unsigned previous = unsigned(first);
  for (int c; (c = codes.Next()) >= 0;) {
    const unsigned code = unsigned(c);
    const bool known = t.used[code];
    const std::uint64_t at = history.Pos();
    const std::size_t len = known ? t.length[code] : t.length[previous] + 1u;
    std::uint8_t* dst = history.Reserve(len, stage);
    if (!dst) return Finish(in, out);
    if (known) {
      t.Write(code, history, dst);
    } else {
      t.Write(previous, history, dst);
      dst[len - 1] = dst[0];
    }
    if (room > 0) {
      --room;
      const unsigned slot = t.Insert(previous, dst[0], previousAt);
      if (!known && slot != code) return Status::Corrupt;
    } else if (!known) {
      return Status::Corrupt;
    }
    history.Advance(len);
    previous = code;
    previousAt = at;
    if (!history.HandOnIfFull(stage)) return Finish(in, out);
  }
  history.HandOn(stage);
  return Finish(in, out);
}

// ---- methods 8 and 9, and ZOO: codes numbered in order ---------------------

constexpr unsigned kClear = 256;
constexpr unsigned kMaxCodes = 1u << 13;

struct CodeTable {
  std::array<std::uint64_t, kMaxCodes> start;  // output position of the string
  std::array<std::uint16_t, kMaxCodes> prefix;
  std::array<std::uint16_t, kMaxCodes> length;
  std::array<std::uint8_t, kMaxCodes> byte;

  CodeTable() {
    for (unsigned b = 0; b < 256; ++b) {
      byte[b] = std::uint8_t(b);
      length[b] = 1;
    }
  }
  void Add(unsigned code, unsigned pre, std::uint8_t b, std::uint64_t at) {
    prefix[code] = std::uint16_t(pre);
    byte[code] = b;
    length[code] = std::uint16_t(length[pre] + 1);
    start[code] = at;
  }
  void Spell(unsigned code, std::uint8_t* dst) const {
    std::uint8_t* p = dst + length[code];
    while (code >= 256) {
      *--p = byte[code];
      code = prefix[code];
    }
    *--p = std::uint8_t(code);
  }
};

// The LZW step shared by the decoders whose codes come in order: writes the
// string of each code, adds the entry the previous code and this one make.
class OrderedLzw {
 public:
  explicit OrderedLzw(unsigned firstFree) : next_(firstFree) {}

  unsigned Next() const { return next_; }
  // The first code after a start or a clear: a byte, no new entry.
  void Restart(unsigned firstFree) { next_ = firstFree; }

  enum class Step { Done, BadCode, Stopped };
  template <class Stage>
  Step Literal(unsigned code, History& h, Stage& stage) {
    std::uint8_t* dst = h.Reserve(1, stage);
    if (!dst) return Step::Stopped;
    previousAt_ = h.Pos();
    *dst = std::uint8_t(code);
    h.Advance(1);
    previous_ = code;
    return Step::Done;
  }
  // A code up to Next(); BadCode for one further out. `add` is false once
  // the table is full.
  template <class Stage>
  Step Code(unsigned code, History& h, bool add, Stage& stage) {
    const bool known = code < next_;
    if (!known && !(code == next_ && add)) return Step::BadCode;
    const std::size_t len = known ? t_.length[code] : t_.length[previous_] + 1u;
    const std::uint64_t at = h.Pos();
    std::uint8_t* dst = h.Reserve(len, stage);
    if (!dst) return Step::Stopped;
    if (!known) {
      // The previous string and its first byte: a copy overlapping its source.
      if (const std::uint8_t* src = h.Find(previousAt_)) {
        CopyForward(dst, src, len);
      } else {
        t_.Spell(previous_, dst);
        dst[len - 1] = dst[0];
      }
    } else if (code < 256) {
      *dst = std::uint8_t(code);
    } else if (const std::uint8_t* src = h.Find(t_.start[code])) {
      CopyForward(dst, src, len);
    } else {
      t_.Spell(code, dst);
    }
    if (add) t_.Add(next_++, previous_, dst[0], previousAt_);
    h.Advance(len);
    previous_ = code;
    previousAt_ = at;
    return Step::Done;
  }

 private:
  CodeTable t_;
  unsigned next_;
  unsigned previous_ = 0;
  std::uint64_t previousAt_ = 0;
};

// Codes of `bits` bits, low bits first, taken from groups of `bits` bytes
// (eight codes): when the width changes or the table is cleared, the rest of
// the current group is skipped, as the packer pads it.
template <class Stage>
Status RunLzwGroups(PackedInput& in, BoundedOutput& out, unsigned maxBits, Stage& stage) {
  constexpr unsigned kFirstFree = 257;
  const unsigned maxMax = 1u << maxBits;
  auto lzw = std::make_unique<OrderedLzw>(kFirstFree);
  History history(out.Limit(), maxMax + 1);
  using Step = OrderedLzw::Step;
  Step step = Step::Done;

  unsigned bits = 9;
  unsigned maxCode = (1u << bits) - 1;
  bool restart = true;  // at the start and after a clear
  bool cleared = false;
  std::array<std::uint8_t, 16> group{};
  std::size_t usable = 0, offset = 0;
  for (;;) {
    if (cleared || offset >= usable || lzw->Next() > maxCode) {
      if (lzw->Next() > maxCode) {
        ++bits;
        maxCode = bits == maxBits ? maxMax : (1u << bits) - 1;
      }
      if (cleared) {
        bits = 9;
        maxCode = (1u << bits) - 1;
        cleared = false;
      }
      const std::size_t want = std::size_t(std::min<std::uint64_t>(bits, in.Remaining()));
      if (want == 0) break;
      group.fill(0);
      in.Read(group.data(), want);
      usable = want * 8 >= bits ? want * 8 - (bits - 1) : 0;
      offset = 0;
      if (usable == 0) break;  // padding too short for a code
    }
    const std::size_t at = offset >> 3;
    const std::uint32_t word = group[at] | (group[at + 1] << 8) | (std::uint32_t(group[at + 2]) << 16);
    const unsigned code = (word >> (offset & 7)) & ((1u << bits) - 1);
    offset += bits;

    if (restart) {
      if (code >= 256) return Status::Corrupt;
      step = lzw->Literal(code, history, stage);
      restart = false;
    } else if (code == kClear) {
      cleared = restart = true;
      lzw->Restart(kFirstFree);
    } else {
      step = lzw->Code(code, history, lzw->Next() < maxMax, stage);
    }
    if (step == Step::BadCode) return Status::Corrupt;
    if (step == Step::Stopped || !history.HandOnIfFull(stage)) return Finish(in, out);
  }
  history.HandOn(stage);
  return Finish(in, out);
}

}  // namespace

Status DecodeCrunchedOld(PackedInput& in, BoundedOutput& out, bool newHash, bool runLength) {
  if (runLength) {
    RleStage stage{Rle90Expander(out)};
    return RunCrunchedOld(in, out, newHash, stage);
  }
  DirectStage stage{out};
  return RunCrunchedOld(in, out, newHash, stage);
}

Status DecodeLzwGroups(PackedInput& in, BoundedOutput& out, unsigned maxBits, bool runLength) {
  if (runLength) {
    RleStage stage{Rle90Expander(out)};
    return RunLzwGroups(in, out, maxBits, stage);
  }
  DirectStage stage{out};
  return RunLzwGroups(in, out, maxBits, stage);
}

}  // namespace arcdetail

// ZOO's LZW: codes of 9 to 13 bits read as one continuous stream, low bits
// first; 256 clears the table (zoo writes one first), 257 ends the data, and
// the width grows when the next free code reaches the current limit.
Status DecodeZooLzw(PackedInput& in, BoundedOutput& out) {
  using namespace arcdetail;
  constexpr unsigned kEnd = 257;
  constexpr unsigned kFirstFree = 258;
  auto lzw = std::make_unique<OrderedLzw>(kFirstFree);
  History history(out.Limit(), kMaxCodes + 1);
  DirectStage stage{out};
  using Step = OrderedLzw::Step;
  Step step = Step::Done;
  LsbBitReader reader(in);

  unsigned bits = 9;
  unsigned limit = 1u << bits;
  bool restart = true;  // at the start and after a clear
  for (;;) {
    reader.Refill();
    const unsigned code = reader.Peek(bits);
    reader.Drop(bits);
    if (reader.PastEnd()) return Status::Corrupt;
    if (code == kEnd) break;
    if (code == kClear) {
      bits = 9;
      limit = 1u << bits;
      lzw->Restart(kFirstFree);
      restart = true;
    } else if (restart) {
      if (code >= 256) return Status::Corrupt;
      step = lzw->Literal(code, history, stage);
      restart = false;
    } else {
      const bool add = lzw->Next() < kMaxCodes;
      step = lzw->Code(code, history, add, stage);
      if (add && lzw->Next() >= limit && bits < 13) {
        ++bits;
        limit <<= 1;
      }
    }
    if (step == Step::BadCode) return Status::Corrupt;
    if (step == Step::Stopped || !history.HandOnIfFull(stage)) return Finish(in, out);
  }
  history.HandOn(stage);
  return Finish(in, out);
}

}  // namespace kx::codec
