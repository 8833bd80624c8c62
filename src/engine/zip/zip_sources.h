#pragma once
// Our libzip sources, all on ZipSourceBase: reading any ByteSource, and the
// two kinds of new entry the add action writes (whole and in chunks).
//
// The libzip source of one new entry whose data the DeflatePool compresses.
// Its STAT reports the deflate method with sizes and CRC, so libzip copies the
// finished stream as it is instead of compressing again. STAT is where the
// writer waits for the pool: libzip asks for it just before writing the entry.
//
// Ownership: libzip owns the returned source (its FREE deletes the state and
// gives the buffer's bytes back to the pool); the pool must outlive it.
// Thread: the thread that runs zip_close. A file the pool could not read
// makes STAT fail with ZIP_ER_READ and the file's errno.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <zip.h>

#include "engine/io/byte_source.h"
#include "engine/zip/deflate_pool.h"

namespace kx {

// A read-only libzip source over any ByteSource (a file, a split set, a
// buffer), so that libzip reads exactly the bytes our own checks judged.
// libzip reads a large central directory record by record, in pieces of a
// few dozen bytes; a read-ahead buffer of its own per source turns those into
// few large reads. Each source keeps its own position, so several sources
// (and threads, if the ByteSource allows) may share one ByteSource.
// The ByteSource must outlive the source; libzip frees the source with the
// archive or with zip_source_free. nullptr (error set) when libzip cannot
// make the source.
zip_source_t* MakeZipSource(const ByteSource& src, zip_error_t* error);

// A file the pool stored rather than compressed must be written as method
// "stored". libzip 1.7.3 decides the method of an entry from its settings right
// after the STAT of its source, so STAT switches the entry at `index` to
// ZIP_CM_STORE then (the writer tells the source its index once it is added).
// Tests check that such entries come out stored.
struct PooledEntryIndex {
  zip_uint64_t value = 0;
};

zip_source_t* MakePooledEntrySource(zip_t* archive, DeflatePool& pool, std::size_t ticket, std::time_t mtime,
                                    PooledEntryIndex*& index);

// The source of one large file that the pool compresses in chunks (tickets
// firstTicket .. firstTicket + chunks - 1, in order): READ hands on the chunks'
// open streams one after another, which together are the file's deflate
// stream. Its first STAT reports the deflate method and the size, without a
// CRC; libzip asks again once the data is written, and that STAT has the CRC.
// After each chunk it calls `onBytes` with the plain bytes done so far; a
// false answer cancels: READ fails with ZIP_ER_CANCELLED. A chunk the pool
// could not read fails READ with ZIP_ER_READ and its errno. libzip owns the
// source; the pool and the callback's target must outlive zip_close.
using BytesCallback = std::function<bool(std::uint64_t bytesDone)>;
zip_source_t* MakeChunkedEntrySource(zip_t* archive, DeflatePool& pool, std::size_t firstTicket, std::size_t chunks,
                                     std::uint64_t size, std::time_t mtime, BytesCallback onBytes);

}  // namespace kx
