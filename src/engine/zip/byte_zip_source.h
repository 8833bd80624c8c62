#pragma once
// A read-only libzip source over any ByteSource (a file, a split set, a
// buffer), so that libzip reads exactly the bytes our own checks judged.
//
// libzip reads a large central directory record by record, in pieces of a
// few dozen bytes; a read-ahead buffer of its own per source turns those into
// few large reads. Each source keeps its own position, so several sources
// (and threads, if the ByteSource allows) may share one ByteSource.
//
// Ownership: the ByteSource must outlive the source; libzip frees the source
// (and its state) with the archive or with zip_source_free.
#include <zip.h>

#include "engine/io/byte_source.h"

namespace kx {

// nullptr (error set) when libzip cannot make the source.
zip_source_t* MakeZipSource(const ByteSource& src, zip_error_t* error);

}  // namespace kx
