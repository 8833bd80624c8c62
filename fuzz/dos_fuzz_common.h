#pragma once
// The body shared by the four DOS header reader fuzz targets: the content
// sniffer and the directory reader run on a whole archive image in memory.
// Aborts when the reader answers anything but Ok or ArchiveError, lists more
// entries than the bytes can hold (minHeader bytes at least per header), or
// reports an entry that breaks the entry rules (UTF-8 names, folders ending
// in "/", packed data within the input).
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/io/cp437.h"
#include "engine/formats/arc.h"
#include "engine/formats/arj.h"
#include "engine/formats/lha.h"
#include "engine/formats/zoo.h"

namespace kxfuzz {

inline void Check(bool ok) {
  if (!ok) std::abort();
}

inline int FuzzDosReader(const std::uint8_t* data, std::size_t size, bool (*sniff)(const kx::ByteSource&),
                         kx::Result (*read)(const kx::ByteSource&, kx::ArchiveDirectory&), std::size_t minHeader) {
  const kx::MemorySource src(std::span<const std::uint8_t>(data, size));
  (void)sniff(src);
  kx::ArchiveDirectory dir;
  const kx::Result r = read(src, dir);
  Check(r == kx::rc::Ok || r == kx::rc::ArchiveError);
  Check(dir.entries.size() <= size / minHeader);
  Check(kx::IsValidUtf8(dir.comment));
  for (const kx::EntryInfo& e : dir.entries) {
    Check(kx::IsValidUtf8(e.name));
    Check(!e.isFolder || e.name.empty() || e.name.back() == '/');
    Check(e.packedSize <= size);
  }
  return 0;
}

}  // namespace kxfuzz
