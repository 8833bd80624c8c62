#pragma once
// The body shared by the decoder fuzz targets: the first three input bytes
// give the declared size (little-endian, taken modulo 256 KB + 1 to keep runs
// short while still passing a 64 KB output window a few times), the rest is
// the packed data. Aborts when a decoder
// answers a status it cannot have (it never reads a file nor meets a
// refusing sink), claims Ok with a byte count other than the declared one,
// or gives for a shorter declared size bytes that are not the leading bytes
// of the longer run (the window and its hand-over must not depend on where
// the output stops).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/codecs/codec_io.h"
#include "engine/io/byte_source.h"

namespace kxfuzz {

using CodecDecoder = kx::codec::Status (*)(kx::codec::PackedInput&, kx::codec::BoundedOutput&);

inline void Require(bool ok) {
  if (!ok) std::abort();
}

inline kx::codec::Status DecodeAll(CodecDecoder decode, const kx::ByteSource& src, std::uint64_t limit,
                                   std::vector<std::uint8_t>& got) {
  kx::codec::PackedInput in(src, 0, src.size());
  kx::codec::BoundedOutput out(limit, [&](const std::uint8_t* p, std::size_t n) {
    got.insert(got.end(), p, p + n);
    return true;
  });
  const kx::codec::Status s = decode(in, out);
  Require(got.size() <= limit && got.size() <= out.Written());
  return s;
}

inline int FuzzDecoder(CodecDecoder decode, const std::uint8_t* data, std::size_t size) {
  using kx::codec::Status;
  constexpr std::size_t kSizeBytes = 3;
  constexpr std::uint64_t kMaxSize = std::uint64_t(1) << 18;
  if (size < kSizeBytes) return 0;
  const std::uint64_t limit = (data[0] | (data[1] << 8) | (std::uint64_t(data[2]) << 16)) % (kMaxSize + 1);
  const kx::MemorySource src(std::span<const std::uint8_t>(data + kSizeBytes, size - kSizeBytes));

  std::vector<std::uint8_t> whole;
  const Status s = DecodeAll(decode, src, limit, whole);
  Require(s == Status::Ok || s == Status::Corrupt || s == Status::TooLong);
  if (s == Status::Ok) Require(whole.size() == limit);

  // Half the size: the same leading bytes, however the longer run ended.
  std::vector<std::uint8_t> half;
  const Status h = DecodeAll(decode, src, limit / 2, half);
  Require(h == Status::Ok || h == Status::Corrupt || h == Status::TooLong);
  if (s == Status::Ok) Require(h == Status::Ok || h == Status::TooLong);
  const std::size_t common = std::min(half.size(), whole.size());
  for (std::size_t i = 0; i < common; ++i) Require(half[i] == whole[i]);
  return 0;
}

}  // namespace kxfuzz
