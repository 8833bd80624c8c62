#pragma once
// An open ARJ, ARC, LHA or ZOO archive: its bytes, its kind and the place of
// every item (formats/dos_common.h), and the choice of entries by the names
// the listing shows. Reading only; calling thread; failures as result codes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/formats/dos_common.h"
#include "engine/functions/kx_identify.h"
#include "engine/io/byte_source.h"
#include "engine/result_codes.h"

namespace kx::dosarc {

struct DosArchive {
  std::unique_ptr<ByteSource> source;
  ArchiveKind kind = ArchiveKind::None;
  dosfmt::DosLayout layout;
};

bool IsDosKind(ArchiveKind kind);

// The kind a new archive gets from its name: .arj, .arc, .lzh or .lha, .zoo
// (any case); None for other names.
ArchiveKind KindFromExtension(const std::string& path);

// The bytes of an archive without entries, as this code writes it (and the
// classic programs leave it): ARJ a main header naming `fileName`, ARC the
// end marker, LHA the end byte, ZOO a header and the end entry.
std::vector<std::uint8_t> EmptyArchive(ArchiveKind kind, const std::string& fileName, std::int64_t unixTime);

// The kind by content; an archive without entries says too little for that,
// so an ARC or LHA archive that is exactly the empty form takes the kind of
// its name's extension.
ArchiveKind DetectKind(const std::string& path, const ByteSource& src);

// Reads the layout of src as an archive of the kind.
Result ReadLayout(const ByteSource& src, ArchiveKind kind, dosfmt::DosLayout& out);

// Opens path: rc::FileNotFound, rc::UnknownArchiveType (not one of the four
// kinds), rc::ArchiveError (damaged, or named .arj, .arc, .lzh, .lha or .zoo
// without being readable as any kind) or rc::Ok.
Result OpenDosArchive(const std::string& path, DosArchive& out);

// Whether the data of two members overlap (only a hostile ZOO archive can
// say so): that would let a small archive unpack, or be rewritten, to far
// more than it holds, so such an archive counts as damaged.
bool DataOverlaps(const DosArchive& archive);

// The listed items the names choose, in archive order: a name chooses the
// entry of that name, and a folder's name (with or without the final "/")
// also everything below it. No names choose every listed item. `missing`
// gets the names that chose nothing.
std::vector<std::size_t> ChooseItems(const dosfmt::DosLayout& layout, const std::vector<std::string>& names,
                                     std::vector<std::string>& missing);

}  // namespace kx::dosarc
