// The block format (all fields most significant bit first):
//
//   u16 number of codes in the block (0 is not valid)
//   code-length code: TBIT=5 bits n (at most 19); n = 0: TBIT bits of the one
//     symbol. Otherwise n lengths, each 3 bits, where 7 goes on with one more
//     for every following 1 bit up to a 0; after the third length, 2 bits
//     tell how many of the next lengths are 0.
//   literal/length code: CBIT=9 bits n (at most 510); n = 0: CBIT bits of
//     the one symbol. Otherwise n lengths read with the code-length code:
//     0 = one length 0, 1 = 4 bits + 3 zeros, 2 = CBIT bits + 20 zeros,
//     k > 2 = length k - 2.
//   position code: PBIT bits n (at most NP); n = 0: PBIT bits of the one
//     symbol. Otherwise n lengths as in the code-length code, without the
//     2-bit field.
//   then the codes: 0..255 a literal byte; 256 + k a copy of k + 3 bytes,
//     followed by a position code j and, for j > 1, j - 1 more bits: the
//     copy starts (1 << (j - 1)) + those bits + 1 bytes back (j = 0: one
//     byte back, j = 1: two).
//
// Variants: -lh4- and -lh5- NP=14, PBIT=4; -lh6- NP=16, PBIT=5; -lh7- and
// ARJ's methods 1 to 3 NP=17, PBIT=5. Their windows are 4 KB (-lh4-), 8 KB,
// 32 KB, 64 KB and 26,624 bytes (ARJ); the decoder keeps 2^(NP-1) bytes,
// which covers every distance the codes can express. History before the
// first byte reads as spaces, as LHA's own decoders have it.
#include "engine/codecs/lzh_static.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "engine/codecs/lzh_bits.h"
#include "engine/codecs/lzh_huffman.h"
#include "engine/codecs/lzh_match.h"

namespace kx::codec {
namespace {

using lzh::HuffmanDecoder;
using lzh::MatchFinder;
using lzh::MsbBitReader;
using lzh::MsbBitWriter;

constexpr unsigned kThreshold = 3;               // shortest copy
constexpr unsigned kMaxMatch = 256;
constexpr unsigned kNC = 256 + kMaxMatch - kThreshold + 1;  // 510 literal/length symbols
constexpr unsigned kCBit = 9;
constexpr unsigned kNT = lzh::kMaxCodeLength + 3;           // 19 code-length symbols
constexpr unsigned kTBit = 5;
constexpr unsigned kTSpecial = 3;  // the 2-bit run of zeros follows the third length
constexpr unsigned kMaxNP = 17;

struct VariantParams {
  unsigned np;           // position codes
  unsigned pbit;         // bits of their count
  unsigned maxDistance;  // the farthest copy the encoder makes
};

VariantParams ParamsOf(LzhVariant v) {
  switch (v) {
    case LzhVariant::Lh4:
      return {14, 4, 4096 - 1};
    case LzhVariant::Lh5:
      return {14, 4, 8192 - 1};
    case LzhVariant::Lh6:
      return {16, 5, 32768 - 1};
    case LzhVariant::Lh7:
      return {17, 5, 65536 - 1};
    case LzhVariant::Arj:
      break;
  }
  return {17, 5, 26624 - 1};
}

// ---------------------------------------------------------------- decoding

// The decoded bytes: a flat buffer whose first `history` bytes hold the
// window; new bytes go after it and are handed on in large pieces, then the
// last `history` bytes move to the front. Copies never need wrapping.
class DecodeWindow {
 public:
  // `expected`: the declared size, so small members get a small buffer.
  DecodeWindow(std::size_t history, std::uint64_t expected)
      : history_(history),
        flushAt_(std::size_t(std::min<std::uint64_t>(expected, kMaxFlushAt))),
        buf_(history + flushAt_ + kMaxMatch + 16, std::uint8_t(' ')),
        pos_(history) {}

  void Literal(std::uint8_t b) { buf_[pos_++] = b; }
  // Copies len bytes from dist back (1 <= dist <= history).
  void Copy(std::size_t dist, unsigned len) {
    std::uint8_t* d = buf_.data() + pos_;
    const std::uint8_t* s = d - dist;
    if (dist >= 8) {
      // Eight bytes at a time: each piece read lies wholly before the write.
      for (unsigned i = 0; i < len; i += 8) std::memcpy(d + i, s + i, 8);
    } else if (dist == 1) {
      std::memset(d, *s, len);
    } else {
      for (unsigned i = 0; i < len; ++i) d[i] = s[i];
    }
    pos_ += len;
  }
  bool Full() const { return pos_ >= history_ + flushAt_; }
  bool Flush(BoundedOutput& out) {
    if (!out.Write(buf_.data() + history_, pos_ - history_)) return false;
    std::memmove(buf_.data(), buf_.data() + pos_ - history_, history_);
    pos_ = history_;
    return true;
  }

 private:
  static constexpr std::size_t kMaxFlushAt = std::size_t(1) << 17;
  std::size_t history_;
  std::size_t flushAt_;
  std::vector<std::uint8_t> buf_;
  std::size_t pos_;
};

class StaticDecoder {
 public:
  StaticDecoder(const VariantParams& p, PackedInput& in) : p_(p), bits_(in) {}

  Status Run(BoundedOutput& out);

 private:
  Status DecodeAll(BoundedOutput& out);
  bool ReadBlockHeader();
  bool ReadPtLengths(unsigned nn, unsigned nbit, int special, HuffmanDecoder& table);
  bool ReadCLengths();
  // One length of the code-length and position codes: 3 bits, 7 extended by 1 bits.
  bool ReadPtLength(std::uint8_t& len);

  VariantParams p_;
  MsbBitReader bits_;
  HuffmanDecoder tTable_{8};
  HuffmanDecoder cTable_{12};
  HuffmanDecoder pTable_{8};
  std::uint32_t blockLeft_ = 0;
};

bool StaticDecoder::ReadPtLength(std::uint8_t& len) {
  bits_.Refill();
  unsigned c = bits_.Peek(3);
  bits_.Skip(3);
  if (c == 7) {
    while (bits_.Peek(1) == 1) {
      bits_.Skip(1);
      if (++c > lzh::kMaxCodeLength) return false;
    }
    bits_.Skip(1);
  }
  len = std::uint8_t(c);
  return true;
}

bool StaticDecoder::ReadPtLengths(unsigned nn, unsigned nbit, int special, HuffmanDecoder& table) {
  const unsigned n = bits_.Get(nbit);
  if (n == 0) {
    const unsigned only = bits_.Get(nbit);
    if (only >= nn) return false;
    table.BuildSingle(std::uint16_t(only));
    return true;
  }
  if (n > nn) return false;
  std::array<std::uint8_t, kNT + 4> len{};
  unsigned i = 0;
  while (i < n) {
    if (!ReadPtLength(len[i++])) return false;
    if (int(i) == special) {
      unsigned zeros = bits_.Get(2);
      while (zeros-- > 0 && i < nn) len[i++] = 0;
    }
  }
  return table.Build(len.data(), n);
}

bool StaticDecoder::ReadCLengths() {
  const unsigned n = bits_.Get(kCBit);
  if (n == 0) {
    const unsigned only = bits_.Get(kCBit);
    if (only >= kNC) return false;
    cTable_.BuildSingle(std::uint16_t(only));
    return true;
  }
  if (n > kNC) return false;
  std::array<std::uint8_t, kNC> len{};
  unsigned i = 0;
  while (i < n) {
    bits_.Refill();
    const int c = tTable_.Decode(bits_);
    if (c < 0) return false;
    if (c > 2) {
      len[i++] = std::uint8_t(c - 2);
      continue;
    }
    unsigned zeros = c == 0 ? 1 : c == 1 ? bits_.Get(4) + 3 : bits_.Get(kCBit) + 20;
    // A run past the end of the table is cut there (the lengths are 0 anyway).
    zeros = std::min(zeros, n - i);
    i += zeros;
  }
  return cTable_.Build(len.data(), n);
}

bool StaticDecoder::ReadBlockHeader() {
  blockLeft_ = bits_.Get(16);
  return blockLeft_ != 0 && ReadPtLengths(kNT, kTBit, kTSpecial, tTable_) && ReadCLengths() &&
         ReadPtLengths(p_.np, p_.pbit, -1, pTable_) && !bits_.Exhausted();
}

Status StaticDecoder::Run(BoundedOutput& out) {
  const Status s = DecodeAll(out);
  // Whatever went wrong after the data ran out, the data was cut short.
  return s != Status::Ok && s != Status::OutputFailed && bits_.PastEnd() ? Status::Corrupt : s;
}

Status StaticDecoder::DecodeAll(BoundedOutput& out) {
  DecodeWindow win(std::size_t(1) << (p_.np - 1), out.Limit());
  std::uint64_t left = out.Limit();
  while (left > 0) {
    if (blockLeft_ == 0 && !ReadBlockHeader()) return Status::Corrupt;
    --blockLeft_;
    // Past the end of the data the reader gives zeros; the block then ends
    // within 65,535 codes and the next header, all zeros, is refused.
    bits_.Refill();
    const int c = cTable_.Decode(bits_);
    if (c < 0) return Status::Corrupt;
    if (c < 256) {
      win.Literal(std::uint8_t(c));
      --left;
    } else {
      const unsigned len = unsigned(c) - 256 + kThreshold;
      const int j = pTable_.Decode(bits_);
      if (j < 0) return Status::Corrupt;
      std::size_t back = 1;
      if (j == 1) {
        back = 2;
      } else if (j > 1) {
        back = (std::size_t(1) << (j - 1)) + bits_.Peek(unsigned(j) - 1) + 1;
        bits_.Skip(unsigned(j) - 1);
      }
      if (len > left) return Status::TooLong;
      win.Copy(back, len);
      left -= len;
    }
    if (win.Full() && !win.Flush(out)) return out.status();
  }
  // Codes left in the block: the data goes on beyond the declared size.
  if (blockLeft_ != 0) return Status::TooLong;
  if (!win.Flush(out)) return out.status();
  bits_.Settle();
  return Status::Ok;
}

// ---------------------------------------------------------------- encoding

// Search effort: chain lengths as in a thorough LZ77 packer, lazy matching
// one byte ahead, and no 3-byte copies from so far back that three literals
// are cheaper.
constexpr unsigned kMaxChain = 64;
constexpr unsigned kGoodLength = 16;   // a previous match this long: search a quarter as far
constexpr unsigned kMaxLazy = 32;      // a previous match this long is taken as it is
constexpr unsigned kNiceLength = 128;  // a match this long ends the search
constexpr unsigned kTooFar = 8192;
// Codes per block: large enough that the tables cost little.
constexpr unsigned kBlockCodes = 8192;
// Some extractors (unar) look ten bits ahead whenever they read a code and
// give up when those bits are not there, also after the last code; zero
// bits after it keep them going. Decoders stop at the declared size.
constexpr unsigned kTrailingZeros = 10;

unsigned BitLength(std::uint32_t v) { return v == 0 ? 0 : unsigned(32 - std::countl_zero(v)); }

// Collects the codes of one block with their statistics and writes the
// block when it is full or the input ends.
class BlockWriter {
 public:
  BlockWriter(const VariantParams& p, MsbBitWriter& bits) : p_(p), bits_(bits) {
    sym_.reserve(kBlockCodes);
    back_.reserve(kBlockCodes);
  }

  void Literal(std::uint8_t b) {
    sym_.push_back(b);
    back_.push_back(0);
    ++cFreq_[b];
    if (sym_.size() == kBlockCodes) Write();
  }
  void Copy(unsigned len, unsigned dist) {
    const unsigned s = 256 + len - kThreshold;
    const std::uint32_t p = dist - 1;
    sym_.push_back(std::uint16_t(s));
    back_.push_back(p);
    ++cFreq_[s];
    ++pFreq_[BitLength(p)];
    if (sym_.size() == kBlockCodes) Write();
  }
  void Write();

 private:
  void WriteTCodes();
  void WritePtLengths(const std::uint8_t* len, unsigned nn, unsigned nbit, int special);
  void WriteCLengths(unsigned n);
  void CountTFreq(unsigned n);

  VariantParams p_;
  MsbBitWriter& bits_;
  std::vector<std::uint16_t> sym_;
  std::vector<std::uint32_t> back_;
  std::array<std::uint32_t, kNC> cFreq_{};
  std::array<std::uint32_t, kMaxNP> pFreq_{};
  std::array<std::uint32_t, kNT> tFreq_{};
  std::array<std::uint8_t, kNC> cLen_{};
  std::array<std::uint16_t, kNC> cCode_{};
  std::array<std::uint8_t, kMaxNP> pLen_{};
  std::array<std::uint16_t, kMaxNP> pCode_{};
  std::array<std::uint8_t, kNT> tLen_{};
  std::array<std::uint16_t, kNT> tCode_{};
};

// The runs of zero lengths as the code-length code expresses them.
void BlockWriter::CountTFreq(unsigned n) {
  tFreq_.fill(0);
  unsigned i = 0;
  while (i < n) {
    const unsigned k = cLen_[i++];
    if (k != 0) {
      ++tFreq_[k + 2];
      continue;
    }
    unsigned run = 1;
    while (i < n && cLen_[i] == 0) ++i, ++run;
    if (run <= 2) {
      tFreq_[0] += run;
    } else if (run <= 18) {
      ++tFreq_[1];
    } else if (run == 19) {
      ++tFreq_[0];
      ++tFreq_[1];
    } else {
      ++tFreq_[2];
    }
  }
}

void BlockWriter::WritePtLengths(const std::uint8_t* len, unsigned nn, unsigned nbit, int special) {
  unsigned n = nn;
  while (n > 0 && len[n - 1] == 0) --n;
  bits_.Put(nbit, n);
  unsigned i = 0;
  while (i < n) {
    const unsigned k = len[i++];
    if (k <= 6) {
      bits_.Put(3, k);
    } else {
      bits_.Put(k - 3, (1u << (k - 3)) - 2);  // k-7 ones after "111", then a 0
    }
    if (int(i) == special) {
      unsigned zeros = 0;
      while (i < 6 && i < n && len[i] == 0) ++i, ++zeros;
      bits_.Put(2, zeros);
    }
  }
}

void BlockWriter::WriteCLengths(unsigned n) {
  bits_.Put(kCBit, n);
  unsigned i = 0;
  while (i < n) {
    const unsigned k = cLen_[i++];
    if (k != 0) {
      bits_.Put(tLen_[k + 2], tCode_[k + 2]);
      continue;
    }
    unsigned run = 1;
    while (i < n && cLen_[i] == 0) ++i, ++run;
    if (run <= 2) {
      for (unsigned r = 0; r < run; ++r) bits_.Put(tLen_[0], tCode_[0]);
    } else if (run <= 18) {
      bits_.Put(tLen_[1], tCode_[1]);
      bits_.Put(4, run - 3);
    } else if (run == 19) {
      bits_.Put(tLen_[0], tCode_[0]);
      bits_.Put(tLen_[1], tCode_[1]);
      bits_.Put(4, 15);
    } else {
      bits_.Put(tLen_[2], tCode_[2]);
      bits_.Put(kCBit, run - 20);
    }
  }
}

// A table with a single symbol in use is written as n = 0 and that symbol;
// its code then takes no bits.
void BlockWriter::Write() {
  if (sym_.empty()) return;
  bits_.Put(16, unsigned(sym_.size()));

  const unsigned cUsed = lzh::BuildCodeLengths(cFreq_.data(), kNC, lzh::kMaxCodeLength, cLen_.data());
  if (cUsed == 1) {
    const unsigned only = unsigned(std::find_if(cLen_.begin(), cLen_.end(), [](auto l) { return l != 0; }) - cLen_.begin());
    cLen_.fill(0);
    bits_.Put(kTBit, 0);
    bits_.Put(kTBit, 0);
    bits_.Put(kCBit, 0);
    bits_.Put(kCBit, only);
  } else {
    unsigned n = kNC;
    while (n > 0 && cLen_[n - 1] == 0) --n;
    CountTFreq(n);
    const unsigned tUsed = lzh::BuildCodeLengths(tFreq_.data(), kNT, lzh::kMaxCodeLength, tLen_.data());
    if (tUsed == 1) {
      const unsigned only = unsigned(std::find_if(tLen_.begin(), tLen_.end(), [](auto l) { return l != 0; }) - tLen_.begin());
      tLen_.fill(0);
      bits_.Put(kTBit, 0);
      bits_.Put(kTBit, only);
    } else {
      WritePtLengths(tLen_.data(), kNT, kTBit, kTSpecial);
    }
    lzh::AssignCanonicalCodes(tLen_.data(), kNT, tCode_.data());
    WriteCLengths(n);
  }
  lzh::AssignCanonicalCodes(cLen_.data(), kNC, cCode_.data());

  const unsigned pUsed = lzh::BuildCodeLengths(pFreq_.data(), p_.np, lzh::kMaxCodeLength, pLen_.data());
  if (pUsed <= 1) {
    const unsigned only = pUsed == 0 ? 0 : unsigned(std::find_if(pLen_.begin(), pLen_.begin() + p_.np, [](auto l) { return l != 0; }) - pLen_.begin());
    pLen_.fill(0);
    bits_.Put(p_.pbit, 0);
    bits_.Put(p_.pbit, only);
  } else {
    WritePtLengths(pLen_.data(), p_.np, p_.pbit, -1);
  }
  lzh::AssignCanonicalCodes(pLen_.data(), p_.np, pCode_.data());

  for (std::size_t i = 0; i < sym_.size(); ++i) {
    const unsigned s = sym_[i];
    bits_.Put(cLen_[s], cCode_[s]);
    if (s < 256) continue;
    const std::uint32_t p = back_[i];
    const unsigned j = BitLength(p);
    bits_.Put(pLen_[j], pCode_[j]);
    if (j > 1) bits_.Put(j - 1, p);  // the bits below the leading 1
  }
  sym_.clear();
  back_.clear();
  cFreq_.fill(0);
  pFreq_.fill(0);
}

Status Encode(const VariantParams& p, const ReadFn& read, const Sink& sink, bool endMarker, std::uint64_t& packed) {
  packed = 0;
  MatchFinder finder(p.maxDistance, read);
  MsbBitWriter bits(sink);
  BlockWriter block(p, bits);

  // Lazy matching: a match found at one position is kept back until the
  // next position has been searched too; the longer one wins.
  lzh::Match prev;
  std::uint8_t prevByte = 0;
  bool pending = false;  // the byte before the current position is not coded yet
  for (;;) {
    if (finder.Lookahead() < MatchFinder::kMinLookahead && !finder.Fill()) return Status::InputFailed;
    if (finder.Lookahead() == 0) break;
    if (bits.Failed()) return Status::OutputFailed;

    lzh::Match m;
    if (prev.length < kMaxLazy) {
      const unsigned chain = prev.length >= kGoodLength ? kMaxChain / 4 : kMaxChain;
      m = finder.InsertAndFind(prev.length, chain, kNiceLength);
      if (m.length == kThreshold && m.distance > kTooFar) m = {};
    } else {
      finder.Insert();
    }
    if (prev.length >= kThreshold && m.length <= prev.length) {
      block.Copy(prev.length, prev.distance);
      // The copy began one byte back; enter the rest of it into the chains.
      for (unsigned k = 2; k < prev.length; ++k) {
        finder.Advance();
        finder.Insert();
      }
      finder.Advance();
      prev = {};
      pending = false;
      continue;
    }
    if (pending) block.Literal(prevByte);
    pending = true;
    prevByte = finder.Current();
    prev = m;
    finder.Advance();
  }
  if (pending) block.Literal(prevByte);
  const bool empty = finder.Consumed() == 0;
  block.Write();
  if (endMarker) {
    bits.Put(16, 0);
  } else if (!empty) {
    bits.Put(kTrailingZeros, 0);
  }
  const bool ok = bits.Finish();
  packed = bits.BytesWritten();
  return ok ? Status::Ok : Status::OutputFailed;
}

}  // namespace

Status DecodeLzhStatic(LzhVariant variant, PackedInput& in, BoundedOutput& out) {
  StaticDecoder decoder(ParamsOf(variant), in);
  const Status s = decoder.Run(out);
  return s == Status::Ok ? Finish(in, out) : s;
}

Status EncodeLzhStatic(LzhVariant variant, const ReadFn& read, const Sink& sink, std::uint64_t& packed) {
  return Encode(ParamsOf(variant), read, sink, false, packed);
}

Status EncodeZooLzh(const ReadFn& read, const Sink& sink, std::uint64_t& packed) {
  return Encode(ParamsOf(LzhVariant::Lh5), read, sink, true, packed);
}

}  // namespace kx::codec
