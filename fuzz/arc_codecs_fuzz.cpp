// Fuzzes the ARC and ZOO decoders. The first byte picks the method (its low
// three bits: 0 for ZOO's LZW, 1 to 7 for ARC methods 3 to 9), the next three
// the declared size (below 1 MB), the rest is the packed data. Aborts when a
// decoder says Ok without giving exactly the declared bytes, gives more than
// declared, or answers a status it has no business with. With the top bit of
// the first byte set, the rest goes through the packer and back instead,
// which must give it unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

#include "engine/codecs/arc_codecs.h"
#include "engine/io/byte_source.h"

namespace {

using kx::codec::Status;

void Check(bool ok) {
  if (!ok) std::abort();
}

Status Decode(int method, std::span<const std::uint8_t> packed, std::uint64_t size, std::string* keep) {
  const kx::MemorySource src(packed);
  kx::codec::PackedInput in(src, 0, packed.size());
  std::uint64_t given = 0;
  kx::codec::BoundedOutput out(size, [&](const std::uint8_t* p, std::size_t n) {
    given += n;
    if (keep) keep->append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  const Status s = method < 0 ? kx::codec::DecodeZooLzw(in, out) : kx::codec::DecodeArc(std::uint8_t(method), in, out);
  Check(s == Status::Ok || s == Status::Corrupt || s == Status::TooLong);
  Check(given <= size);
  Check(s != Status::Ok || given == size);
  return s;
}

void RoundTrip(std::span<const std::uint8_t> data) {
  std::size_t pos = 0;
  std::string packed;
  std::uint8_t method = 0;
  std::uint64_t total = 0;
  const Status s = kx::codec::EncodeArc(
      [&](std::uint8_t* buf, std::size_t n) {
        const std::size_t k = std::min(n, data.size() - pos);
        std::memcpy(buf, data.data() + pos, k);
        pos += k;
        return k;
      },
      [&](const std::uint8_t* p, std::size_t n) {
        packed.append(reinterpret_cast<const char*>(p), n);
        return true;
      },
      method, total);
  Check(s == Status::Ok && total == packed.size() && (method == 8 || method == 9));
  std::string back;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(packed.data());
  Check(Decode(method, {bytes, packed.size()}, data.size(), &back) == Status::Ok);
  Check(back.size() == data.size() && std::memcmp(back.data(), data.data(), data.size()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::span<const std::uint8_t> rest(data + 4, size - 4);
  if (data[0] & 0x80) {
    RoundTrip(rest);
    return 0;
  }
  const int pick = data[0] & 7;
  const int method = pick == 0 ? -1 : pick + 2;
  const std::uint64_t declared = (data[1] | (data[2] << 8) | (std::uint32_t(data[3]) << 16)) & 0xFFFFF;
  Decode(method, rest, declared, nullptr);
  return 0;
}
