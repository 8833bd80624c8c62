// Fuzzes the LZH static-Huffman codec. Input: one byte choosing the variant,
// three bytes of declared size (at most 1 MB), then a packed stream. The
// decoder must answer Ok, Corrupt or TooLong, never hand on more bytes than
// declared, and give exactly the declared size when it says Ok. Then the same
// bytes are packed and unpacked again: the round trip must give them back.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <span>
#include <string>

#include "engine/codecs/lzh_static.h"

namespace {

using kx::codec::LzhVariant;
using kx::codec::Status;

void Check(bool ok) {
  if (!ok) std::abort();
}

constexpr LzhVariant kVariants[] = {LzhVariant::Lh4, LzhVariant::Lh5, LzhVariant::Lh6, LzhVariant::Lh7,
                                    LzhVariant::Arj};
constexpr std::size_t kHead = 4;
constexpr std::uint64_t kMaxSize = 1 << 20;

// Decodes `packed` declared as `size` bytes; what came out goes to `got`.
Status Decode(LzhVariant v, std::span<const std::uint8_t> packed, std::uint64_t size, std::string* got) {
  const kx::MemorySource src(packed);
  kx::codec::PackedInput in(src, 0, packed.size());
  std::uint64_t count = 0;
  kx::codec::BoundedOutput out(size, [&](const std::uint8_t* p, std::size_t n) {
    count += n;
    if (got != nullptr) got->append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  const Status s = kx::codec::DecodeLzhStatic(v, in, out);
  Check(s == Status::Ok || s == Status::Corrupt || s == Status::TooLong);
  Check(count <= size);
  Check(s != Status::Ok || count == size);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHead) return 0;
  const LzhVariant v = kVariants[data[0] % std::size(kVariants)];
  const std::uint64_t declared = (data[1] | (data[2] << 8) | (std::uint64_t(data[3]) << 16)) % (kMaxSize + 1);
  const std::span<const std::uint8_t> rest(data + kHead, size - kHead);
  Decode(v, rest, declared, nullptr);

  std::size_t at = 0;
  std::string packed;
  std::uint64_t packedSize = 0;
  const Status enc = kx::codec::EncodeLzhStatic(
      v,
      [&](std::uint8_t* buf, std::size_t n) {
        const std::size_t take = std::min(n, rest.size() - at);
        std::copy_n(rest.data() + at, take, buf);
        at += take;
        return take;
      },
      [&](const std::uint8_t* p, std::size_t n) {
        packed.append(reinterpret_cast<const char*>(p), n);
        return true;
      },
      packedSize);
  Check(enc == Status::Ok && packedSize == packed.size());
  std::string back;
  const auto packedBytes = std::span(reinterpret_cast<const std::uint8_t*>(packed.data()), packed.size());
  Check(Decode(v, packedBytes, rest.size(), &back) == Status::Ok);
  Check(back.size() == rest.size() && std::memcmp(back.data(), rest.data(), rest.size()) == 0);
  return 0;
}
