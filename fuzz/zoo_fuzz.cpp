// Fuzzes the Zoo directory reader and its content sniffer with whole archive
// images in memory. Aborts when the reader answers anything but Ok or
// ArchiveError, lists more entries than the bytes can hold (51 bytes at
// least per header), or reports an entry that breaks the entry rules
// (UTF-8 names, folders ending in "/").
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/cp437.h"
#include "engine/formats/dos_archives.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kx::MemorySource src(std::span<const std::uint8_t>(data, size));
  (void)kx::LooksLikeZoo(src);
  kx::ArchiveDirectory dir;
  const kx::Result r = kx::ReadZooDirectory(src, dir);
  Check(r == kx::rc::Ok || r == kx::rc::ArchiveError);
  Check(dir.entries.size() <= size / 51);
  Check(kx::IsValidUtf8(dir.comment));
  for (const kx::EntryInfo& e : dir.entries) {
    Check(kx::IsValidUtf8(e.name));
    Check(!e.isFolder || e.name.empty() || e.name.back() == '/');
    Check(e.packedSize <= size);
  }
  return 0;
}
