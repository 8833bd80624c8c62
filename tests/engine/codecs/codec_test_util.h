#pragma once
// Helpers for the codec tests: a stream decoded from memory into a string
// under a size limit, and strings as an encoder's input and output.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "engine/codecs/codec_io.h"
#include "engine/io/byte_source.h"

namespace kxtest::codec {

using kx::codec::Status;
using DecodeFn = std::function<Status(kx::codec::PackedInput&, kx::codec::BoundedOutput&)>;

struct Decoded {
  Status status = Status::Unsupported;
  std::string bytes;
};

// Decodes the `length` bytes at `offset` in `buffer`, at most `limit` bytes
// out; a refusing sink still records what it was handed.
inline Decoded DecodeAt(const DecodeFn& decode, const std::string& buffer, std::uint64_t offset,
                        std::uint64_t length, std::uint64_t limit, bool sinkRefuses = false) {
  kx::MemorySource src({reinterpret_cast<const std::uint8_t*>(buffer.data()), buffer.size()});
  kx::codec::PackedInput in(src, offset, length);
  Decoded d;
  kx::codec::BoundedOutput out(limit, [&](const std::uint8_t* p, std::size_t n) {
    d.bytes.append(reinterpret_cast<const char*>(p), n);
    return !sinkRefuses;
  });
  d.status = decode(in, out);
  return d;
}

inline Decoded Decode(const DecodeFn& decode, const std::string& packed, std::uint64_t limit,
                      bool sinkRefuses = false) {
  return DecodeAt(decode, packed, 0, packed.size(), limit, sinkRefuses);
}

// Hands out `data` (which must outlive the reader), at most `piece` bytes a call.
inline kx::codec::ReadFn StringReader(const std::string& data, std::size_t piece = SIZE_MAX) {
  auto at = std::make_shared<std::size_t>(0);
  return [&data, at, piece](std::uint8_t* buf, std::size_t n) {
    const std::size_t take = std::min({n, data.size() - *at, piece});
    std::memcpy(buf, data.data() + *at, take);
    *at += take;
    return take;
  };
}

inline kx::codec::Sink StringSink(std::string& out) {
  return [&out](const std::uint8_t* p, std::size_t n) {
    out.append(reinterpret_cast<const char*>(p), n);
    return true;
  };
}

inline bool Refuse(const std::uint8_t*, std::size_t) { return false; }

}  // namespace kxtest::codec
