// Fuzzes deleting from ARJ, ARC, LHA and ZOO archives: the first input byte
// picks the kind (its low two bits: 0 ARJ, 1 ARC, 2 LHA, 3 ZOO), the rest is
// the archive. When the archive reads, its first listed entry is deleted by
// name into memory; when that succeeds, the result must read whole, list
// exactly the original entries less the chosen ones, in order, and keep every
// other member's bytes (ARJ, ARC and LHA: header and data; ZOO, whose entries
// move: data, checksum and comment). Aborts otherwise.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "engine/dosarc/archive_out.h"
#include "engine/dosarc/dos_archive.h"
#include "engine/dosarc/dos_update.h"

namespace {

using kx::ArchiveKind;

void Check(bool ok) {
  if (!ok) std::abort();
}

std::string Bytes(const kx::ByteSource& src, std::uint64_t from, std::uint64_t to) {
  if (!src.contains(from, to - from)) return {};
  std::string b(std::size_t(to - from), '\0');
  return src.read(from, b.data(), b.size()) ? b : std::string();
}

// What must survive: see the comment at the top. Folders of ARC change with their content.
std::string Kept(const kx::ByteSource& src, ArchiveKind kind, const kx::dosfmt::DosItem& item) {
  std::string name = item.entry.name + "|";
  if (kind == ArchiveKind::Arc && item.entry.isFolder) return name;
  if (kind != ArchiveKind::Zoo) return name + Bytes(src, item.headerBegin, item.dataEnd);
  const std::string comment = src.contains(item.commentAt, item.commentLength)
                                  ? Bytes(src, item.commentAt, item.commentAt + item.commentLength)
                                  : std::string();
  return name + Bytes(src, item.dataBegin, item.dataEnd) + "|" + std::to_string(item.entry.crc) + "|" + comment;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static const ArchiveKind kKinds[] = {ArchiveKind::Arj, ArchiveKind::Arc, ArchiveKind::Lha, ArchiveKind::Zoo};
  kx::dosarc::DosArchive a;
  a.kind = kKinds[data[0] & 3];
  a.source = std::make_unique<kx::MemorySource>(std::span(data + 1, size - 1));
  if (kx::dosarc::ReadLayout(*a.source, a.kind, a.layout) != kx::rc::Ok || kx::dosarc::DataOverlaps(a)) return 0;

  std::vector<std::string> names;
  for (const auto& item : a.layout.items) {
    if (item.listed && !item.entry.name.empty()) {
      names.push_back(item.entry.name);
      break;
    }
  }
  if (names.empty()) return 0;
  std::vector<std::string> missing;
  const auto chosen = kx::dosarc::ChooseItems(a.layout, names, missing);
  Check(missing.empty() && !chosen.empty());
  std::vector<bool> drop(a.layout.items.size(), false);
  for (std::size_t i : chosen) drop[i] = true;

  kx::dosarc::MemoryArchiveOut out;
  if (!kx::dosarc::RewriteWithout(a, drop, out)) return 0;

  std::vector<std::string> expected;
  for (std::size_t i = 0; i < a.layout.items.size(); ++i) {
    const auto& item = a.layout.items[i];
    // Items inside a dropped ARC folder go with it.
    bool gone = drop[i];
    for (std::int64_t p = item.parent; p >= 0 && !gone; p = a.layout.items[std::size_t(p)].parent)
      gone = drop[std::size_t(p)];
    if (item.listed && !gone) expected.push_back(Kept(*a.source, a.kind, item));
  }
  const kx::MemorySource result(std::span(out.bytes().data(), out.bytes().size()));
  kx::dosfmt::DosLayout after;
  Check(kx::dosarc::ReadLayout(result, a.kind, after) == kx::rc::Ok);
  std::vector<std::string> listed;
  for (const auto& item : after.items) {
    if (item.listed) listed.push_back(Kept(result, a.kind, item));
  }
  Check(listed == expected);
  Check(after.comment == a.layout.comment);
  return 0;
}
