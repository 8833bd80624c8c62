#include "engine/codecs/codec_io.h"

#include <algorithm>
#include <array>

#include <zlib.h>

namespace kx::codec {
namespace {

constexpr std::size_t kChunk = 1 << 16;

// Eight tables: table[k][b] is the CRC of byte b followed by k zero bytes,
// so eight input bytes take eight lookups and no dependent chain per bit.
using Crc16Tables = std::array<std::array<std::uint16_t, 256>, 8>;

Crc16Tables MakeCrc16Tables() {
  Crc16Tables t{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t c = std::uint16_t(i);
    for (int k = 0; k < 8; ++k) c = (c & 1) ? std::uint16_t((c >> 1) ^ 0xA001) : std::uint16_t(c >> 1);
    t[0][i] = c;
  }
  for (unsigned i = 0; i < 256; ++i)
    for (std::size_t k = 1; k < 8; ++k) t[k][i] = std::uint16_t((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xff]);
  return t;
}

}  // namespace

PackedInput::PackedInput(const ByteSource& src, std::uint64_t offset, std::uint64_t length)
    : src_(src), next_(offset), left_(length) {}

bool PackedInput::Refill(std::size_t wanted) {
  if (left_ == 0 || readFailed_) {
    pastEnd_ += wanted;
    return false;
  }
  const std::size_t n = std::size_t(std::min<std::uint64_t>(left_, kChunk));
  buf_.resize(n);
  if (!src_.read(next_, buf_.data(), n)) {
    buf_.clear();
    pos_ = 0;
    readFailed_ = true;
    pastEnd_ += wanted;
    return false;
  }
  pos_ = 0;
  next_ += n;
  left_ -= n;
  return true;
}

std::size_t PackedInput::Read(std::uint8_t* out, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    if (pos_ == buf_.size() && !Refill(n - done)) break;
    const std::size_t take = std::min(n - done, buf_.size() - pos_);
    std::copy_n(buf_.data() + pos_, take, out + done);
    pos_ += take;
    done += take;
  }
  return done;
}

BoundedOutput::BoundedOutput(std::uint64_t limit, Sink sink)
    : limit_(limit), sink_(std::move(sink)), buf_(kChunk) {}

bool BoundedOutput::Drain() {
  if (status_ != Status::Ok) return false;
  if (fill_ > 0 && !sink_(buf_.data(), fill_)) return Fail(Status::OutputFailed);
  fill_ = 0;
  return true;
}

bool BoundedOutput::Write(const std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    if (fill_ == buf_.size() && !Drain()) return false;
    if (written_ == limit_) return Fail(Status::TooLong);
    const std::size_t take =
        std::size_t(std::min<std::uint64_t>({n, buf_.size() - fill_, limit_ - written_}));
    std::copy_n(data, take, buf_.data() + fill_);
    fill_ += take;
    written_ += take;
    data += take;
    n -= take;
  }
  return status_ == Status::Ok;
}

bool BoundedOutput::Flush() { return Drain(); }

Status Finish(const PackedInput& in, BoundedOutput& out) {
  if (out.status() != Status::Ok) return out.status();
  if (in.Overrun() || in.ReadFailed() || out.Written() != out.Limit()) return Status::Corrupt;
  return out.Flush() ? Status::Ok : out.status();
}

std::uint16_t Crc16(std::uint16_t crc, const std::uint8_t* data, std::size_t n) {
  static const Crc16Tables t = MakeCrc16Tables();
  while (n >= 8) {
    const unsigned a = (data[0] | (data[1] << 8)) ^ crc;
    crc = std::uint16_t(t[7][a & 0xff] ^ t[6][a >> 8] ^ t[5][data[2]] ^ t[4][data[3]] ^ t[3][data[4]] ^
                        t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]]);
    data += 8;
    n -= 8;
  }
  for (std::size_t i = 0; i < n; ++i) crc = std::uint16_t((crc >> 8) ^ t[0][(crc ^ data[i]) & 0xff]);
  return crc;
}

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t n) {
  // zlib takes lengths as uInt; feed very large blocks in pieces.
  while (n > 0) {
    const std::size_t take = std::min<std::size_t>(n, 1u << 30);
    crc = std::uint32_t(crc32(crc, data, uInt(take)));
    data += take;
    n -= take;
  }
  return crc;
}

Status CopyStored(PackedInput& in, BoundedOutput& out) {
  std::vector<std::uint8_t> chunk(kChunk);
  while (out.Written() < out.Limit()) {
    const std::size_t want = std::size_t(std::min<std::uint64_t>(chunk.size(), out.Limit() - out.Written()));
    const std::size_t got = in.Read(chunk.data(), want);
    if (got == 0 || !out.Write(chunk.data(), got)) break;
  }
  return Finish(in, out);
}

}  // namespace kx::codec
