#include "engine/zip/entry_data.h"

#include <algorithm>
#include <libdeflate.h>
#include <memory>
#include <vector>
#include <zlib.h>

#include "engine/zip/zip_format.h"

namespace kx {
namespace {

using namespace zipfmt;

constexpr std::size_t kPiece = 1u << 20;
constexpr int kRawDeflateWindow = -15;

struct DecompressorDeleter {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// A thread's buffer that only grows and is never cleared: a vector would
// zero the bytes it grows by again for each larger entry.
class Scratch {
 public:
  char* Get(std::size_t n) {
    if (n > capacity_) {
      bytes_.reset(new char[n]);
      capacity_ = n;
    }
    return bytes_.get();
  }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t capacity_ = 0;
};

// Hands plain bytes on in pieces, counting them and watching stop.
Result Deliver(const char* data, std::size_t n, const DataSink& sink, std::atomic<std::uint64_t>& done,
               const std::atomic<bool>& stop) {
  for (std::size_t at = 0; at < n;) {
    if (stop.load(std::memory_order_relaxed)) return rc::Cancelled;
    const std::size_t piece = std::min(kPiece * 4, n - at);
    if (const Result r = sink(data + at, piece); r != rc::Ok) return r;
    done.fetch_add(piece, std::memory_order_relaxed);
    at += piece;
  }
  return rc::Ok;
}

Result ReadStored(const ByteSource& src, const ZipEntryRecord& e, const DataSink& sink,
                  std::atomic<std::uint64_t>& done, const std::atomic<bool>& stop) {
  thread_local Scratch scratch;
  char* buffer = scratch.Get(kPiece);
  std::uint32_t crc = 0;
  for (std::uint64_t at = 0; at < e.info.size;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, e.info.size - at));
    if (!src.read(e.dataStart + at, buffer, n)) return rc::CrcError;
    crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, buffer, n));
    at += n;
    // The last piece is held back until the CRC is known to match.
    if (at == e.info.size && crc != e.info.crc) return rc::CrcError;
    if (const Result r = Deliver(buffer, n, sink, done, stop); r != rc::Ok) return r;
  }
  return crc == e.info.crc ? rc::Ok : rc::CrcError;
}

Result InflateWhole(const ByteSource& src, const ZipEntryRecord& e, const DataSink& sink,
                    std::atomic<std::uint64_t>& done, const std::atomic<bool>& stop) {
  thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
      libdeflate_alloc_decompressor());
  thread_local Scratch packedScratch, plainScratch;
  if (!decompressor) return rc::OutOfMemory;
  const auto packedSize = static_cast<std::size_t>(e.info.packedSize);
  const auto size = static_cast<std::size_t>(e.info.size);
  char* packed = packedScratch.Get(packedSize);
  char* plain = plainScratch.Get(size);
  if (!src.read(e.dataStart, packed, packedSize)) return rc::CrcError;
  std::size_t produced = 0;
  const libdeflate_result r =
      libdeflate_deflate_decompress(decompressor.get(), packed, packedSize, plain, size, &produced);
  if (r != LIBDEFLATE_SUCCESS || produced != size) return rc::CrcError;
  if (static_cast<std::uint32_t>(libdeflate_crc32(0, plain, size)) != e.info.crc) return rc::CrcError;
  return Deliver(plain, size, sink, done, stop);
}

// zlib's stream for entries too large to hold whole; the plain bytes go on
// as they come, so a CRC failure is known only at the end.
Result InflateStream(const ByteSource& src, const ZipEntryRecord& e, const DataSink& sink,
                     std::atomic<std::uint64_t>& done, const std::atomic<bool>& stop) {
  thread_local Scratch inScratch, outScratch;
  char* in = inScratch.Get(kPiece);
  char* out = outScratch.Get(kPiece);
  z_stream z{};
  if (inflateInit2(&z, kRawDeflateWindow) != Z_OK) return rc::OutOfMemory;
  std::uint64_t readAt = 0, total = 0;
  std::uint32_t crc = 0;
  Result result = rc::CrcError;
  for (bool ended = false; !ended;) {
    if (z.avail_in == 0) {
      if (readAt == e.info.packedSize) break;  // data ends before the stream does
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, e.info.packedSize - readAt));
      if (!src.read(e.dataStart + readAt, in, n)) break;
      readAt += n;
      z.next_in = reinterpret_cast<Bytef*>(in);
      z.avail_in = static_cast<uInt>(n);
    }
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = static_cast<uInt>(kPiece);
    const int r = inflate(&z, Z_NO_FLUSH);
    if (r == Z_STREAM_END) ended = true;
    else if (r != Z_OK) break;
    const std::size_t got = kPiece - z.avail_out;
    total += got;
    if (total > e.info.size) break;  // more than the directory promised: never written
    crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, out, got));
    if (const Result d = Deliver(out, got, sink, done, stop); d != rc::Ok) {
      result = d;
      ended = false;
      break;
    }
    if (ended) result = total == e.info.size && crc == e.info.crc ? rc::Ok : rc::CrcError;
  }
  inflateEnd(&z);
  return result;
}

}  // namespace

bool ReadsDirectly(const ZipEntryRecord& e) {
  if (e.info.encrypted || e.encryptionMethod != 0 || e.dataStart == 0) return false;
  if (e.info.method == method::kStore) return e.info.packedSize == e.info.size;
  return e.info.method == method::kDeflate;
}

Result ReadEntryData(const ByteSource& src, const ZipEntryRecord& e, const DataSink& sink,
                     std::atomic<std::uint64_t>& done, const std::atomic<bool>& stop) {
  if (!ReadsDirectly(e)) return rc::UnknownMethod;
  if (!src.contains(e.dataStart, e.info.packedSize)) return rc::CrcError;
  if (e.info.method == method::kStore) return ReadStored(src, e, sink, done, stop);
  if (e.info.size <= kWholeEntryLimit && e.info.packedSize <= kWholeEntryLimit)
    return InflateWhole(src, e, sink, done, stop);
  return InflateStream(src, e, sink, done, stop);
}

}  // namespace kx
