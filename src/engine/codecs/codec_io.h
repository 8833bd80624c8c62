#pragma once
// The two ends every decoder and encoder of the DOS archive formats works
// between: the packed bytes of one member, read in buffered chunks from the
// archive, and a bounded output that never takes more bytes than the member
// declares (a lying size cannot turn a small archive into a disk-filling one).
// Plus the two checksums these formats use. No Qt, no user text, any thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/io/byte_source.h"

namespace kx::codec {

enum class Status : std::uint8_t {
  Ok,
  Corrupt,       // the packed data cannot be decoded or ends too early
  TooLong,       // it decodes to more bytes than declared
  OutputFailed,  // the sink refused (disk full, cancelled)
  InputFailed,   // the file being packed could not be read
  Unsupported,   // a method this code does not know
};

// Receives produced bytes; false stops the work with OutputFailed.
using Sink = std::function<bool(const std::uint8_t* data, std::size_t n)>;
// Fills buf with up to n bytes of the file being packed; 0 at its end,
// SIZE_MAX on a read error.
using ReadFn = std::function<std::size_t(std::uint8_t* buf, std::size_t n)>;

// The packed bytes of one member. Reading past their end yields -1 (or fewer
// bytes) and counts the bytes asked for there, so bit readers need no checks
// in their loops. Bit readers fetch a few bytes ahead; more than kSlack bytes
// asked for past the end means the data ended too early.
class PackedInput {
 public:
  PackedInput(const ByteSource& src, std::uint64_t offset, std::uint64_t length);

  // The next byte, or -1 past the end (which also marks the overrun).
  int Byte() {
    if (pos_ == buf_.size() && !Refill(1)) return -1;
    return buf_[pos_++];
  }
  // Up to n bytes into out; the number given (less only at the end).
  std::size_t Read(std::uint8_t* out, std::size_t n);

  static constexpr std::uint64_t kSlack = 8;
  bool Overrun() const { return pastEnd_ > kSlack; }
  std::uint64_t PastEnd() const { return pastEnd_; }
  bool ReadFailed() const { return readFailed_; }
  // Bytes not yet handed out.
  std::uint64_t Remaining() const { return left_ + (buf_.size() - pos_); }

 private:
  bool Refill(std::size_t wanted);

  const ByteSource& src_;
  std::uint64_t next_;   // archive offset of the next chunk
  std::uint64_t left_;   // bytes after the buffered chunk
  std::vector<std::uint8_t> buf_;
  std::size_t pos_ = 0;
  std::uint64_t pastEnd_ = 0;
  bool readFailed_ = false;
};

// Takes at most `limit` bytes, buffers them and hands them to the sink in
// large chunks. One byte more than the limit turns the status to TooLong;
// a refusing sink to OutputFailed; after either, every call returns false.
class BoundedOutput {
 public:
  BoundedOutput(std::uint64_t limit, Sink sink);

  bool Put(std::uint8_t b) {
    if (fill_ == buf_.size() && !Drain()) return false;
    if (written_ == limit_) return Fail(Status::TooLong);
    buf_[fill_++] = b;
    ++written_;
    return true;
  }
  bool Write(const std::uint8_t* data, std::size_t n);
  // Hands the buffered bytes to the sink; call once at the end.
  bool Flush();

  std::uint64_t Written() const { return written_; }
  std::uint64_t Limit() const { return limit_; }
  Status status() const { return status_; }

 private:
  bool Drain();
  bool Fail(Status s) {
    status_ = s;
    return false;
  }

  std::uint64_t limit_;
  Sink sink_;
  std::vector<std::uint8_t> buf_;
  std::size_t fill_ = 0;
  std::uint64_t written_ = 0;
  Status status_ = Status::Ok;
};

// The end of every decoder: Ok only when exactly out.Limit() bytes came out,
// the input did not run dry (beyond the slack) and the output was flushed.
Status Finish(const PackedInput& in, BoundedOutput& out);

// CRC-16 (polynomial 0xA001, reflected, start 0) of ARC, LHA and ZOO.
std::uint16_t Crc16(std::uint16_t crc, const std::uint8_t* data, std::size_t n);
// CRC-32 of ARJ (the one of zlib).
std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t n);

// Copies a stored member: exactly its declared size.
Status CopyStored(PackedInput& in, BoundedOutput& out);

}  // namespace kx::codec
