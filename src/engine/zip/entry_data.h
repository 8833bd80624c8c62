#pragma once
// Reading an entry's data without libzip, for worker threads: stored and
// deflated entries that are not encrypted, whose data start the safety check
// found (ZipEntryRecord::dataStart). The packed bytes come straight from the
// archive's ByteSource (pread, any thread); deflate is undone by libdeflate in
// one call up to kWholeEntryLimit and by zlib's stream above it; the size and
// CRC of the central directory are checked here, as libzip would.
//
// Any thread, no shared state; the sink runs on the calling thread.
#include <atomic>
#include <cstdint>
#include <functional>

#include "engine/io/byte_source.h"
#include "engine/result_codes.h"
#include "engine/zip/zip_archive_reader.h"

namespace kx {

// Entries up to this size (packed and plain) are inflated whole, about three
// times as fast as zlib's stream; each worker keeps both buffers.
inline constexpr std::uint64_t kWholeEntryLimit = 64u << 20;

// Whether ReadEntryData can read the entry.
bool ReadsDirectly(const ZipEntryRecord& e);

// Hands the entry's plain bytes to sink (which returns a result code) in
// pieces, adding each piece's size to `done`; a true `stop` ends it with
// rc::Cancelled. Damaged or short data gives rc::CrcError; no byte beyond
// the directory's size ever reaches the sink, but bytes before a failed CRC
// check do: the caller writes to a temporary file.
using DataSink = std::function<Result(const char* data, std::size_t n)>;
Result ReadEntryData(const ByteSource& src, const ZipEntryRecord& e, const DataSink& sink,
                     std::atomic<std::uint64_t>& done, const std::atomic<bool>& stop);

}  // namespace kx
