#pragma once
// Our libzip sources, all on ZipSourceBase: reading any ByteSource, and the
// two kinds of new entry the add action writes.
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

// The source of one big file, streamed in blocks (libzip compresses it with
// zlib on the way). After each block it calls `onBytes` with the bytes read so
// far; a false answer cancels: READ fails with ZIP_ER_CANCELLED. libzip owns
// the source; the callback's target must outlive zip_close. The file is opened
// at OPEN; failures give ZIP_ER_OPEN or ZIP_ER_READ with the errno.
using BytesCallback = std::function<bool(std::uint64_t bytesDone)>;
zip_source_t* MakeStreamingFileSource(zip_t* archive, const std::string& path, std::time_t mtime,
                                      BytesCallback onBytes);

}  // namespace kx
