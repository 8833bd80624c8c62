#include "engine/dosarc/dos_archive.h"

#include <algorithm>
#include <cctype>

#include "engine/dosarc/dos_writer.h"
#include "engine/formats/arc.h"
#include "engine/formats/arj.h"
#include "engine/formats/lha.h"
#include "engine/formats/zoo.h"
#include "engine/io/safe_paths.h"

namespace kx::dosarc {
namespace {

std::string LowerExtension(const std::string& path) {
  const auto slash = path.rfind('/');
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext;
}

bool HoldsExactly(const ByteSource& src, const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> have(bytes.size());
  return src.size() == bytes.size() && src.read(0, have.data(), have.size()) && have == bytes;
}

}  // namespace

bool IsDosKind(ArchiveKind kind) {
  return kind == ArchiveKind::Arj || kind == ArchiveKind::Arc || kind == ArchiveKind::Lha || kind == ArchiveKind::Zoo;
}

ArchiveKind KindFromExtension(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == "arj") return ArchiveKind::Arj;
  if (ext == "arc") return ArchiveKind::Arc;
  if (ext == "lzh" || ext == "lha") return ArchiveKind::Lha;
  if (ext == "zoo") return ArchiveKind::Zoo;
  return ArchiveKind::None;
}

std::vector<std::uint8_t> EmptyArchive(ArchiveKind kind, const std::string& fileName, std::int64_t unixTime) {
  MemoryArchiveOut out;
  const auto writer = MakeWriter(kind, nullptr, fileName, unixTime);
  if (!writer || !writer->Begin(out) || !writer->End(out)) return {};
  return out.bytes();
}

ArchiveKind DetectKind(const std::string& path, const ByteSource& src) {
  if (LooksLikeLha(src)) return ArchiveKind::Lha;
  if (LooksLikeArj(src)) return ArchiveKind::Arj;
  if (LooksLikeZoo(src)) return ArchiveKind::Zoo;
  if (LooksLikeArc(src)) return ArchiveKind::Arc;
  const ArchiveKind byName = KindFromExtension(path);
  if ((byName == ArchiveKind::Arc || byName == ArchiveKind::Lha) && HoldsExactly(src, EmptyArchive(byName, "", 0)))
    return byName;
  return ArchiveKind::None;
}

Result ReadLayout(const ByteSource& src, ArchiveKind kind, dosfmt::DosLayout& out) {
  switch (kind) {
    case ArchiveKind::Lha: return ReadLhaLayout(src, out);
    case ArchiveKind::Arj: return ReadArjLayout(src, out);
    case ArchiveKind::Zoo: return ReadZooLayout(src, out);
    case ArchiveKind::Arc: return ReadArcLayout(src, out);
    default: return rc::UnknownArchiveType;
  }
}

Result OpenDosArchive(const std::string& path, DosArchive& out) {
  auto file = std::make_unique<FileSource>(path);
  if (!file->ok()) return rc::FileNotFound;
  // The kind by content as the archive window decides it; the empty forms by name.
  ArchiveKind kind = ArchiveKind::None;
  IdentifyArchive(path, kind);
  if (kind == ArchiveKind::None) kind = DetectKind(path, *file);
  // Named like one of the four kinds but not readable as any: damaged
  // (cut short, overwritten), not some other kind of file.
  if (kind == ArchiveKind::None && IsDosKind(KindFromExtension(path))) return rc::ArchiveError;
  if (!IsDosKind(kind)) return rc::UnknownArchiveType;
  out.kind = kind;
  out.layout = {};
  const Result r = ReadLayout(*file, kind, out.layout);
  out.source = std::move(file);
  return r;
}

bool DataOverlaps(const DosArchive& archive) {
  std::vector<EntrySpan> spans;
  for (const auto& item : archive.layout.items) {
    if (!item.entry.isFolder && item.dataEnd > item.dataBegin) spans.push_back({item.dataBegin, item.dataEnd});
  }
  return FindBadSpan(spans, archive.source->size()) >= 0;
}

std::vector<std::size_t> ChooseItems(const dosfmt::DosLayout& layout, const std::vector<std::string>& names,
                                     std::vector<std::string>& missing) {
  std::vector<std::size_t> chosen;
  std::vector<bool> used(names.size(), false);
  for (std::size_t i = 0; i < layout.items.size(); ++i) {
    const dosfmt::DosItem& item = layout.items[i];
    if (!item.listed) continue;
    const std::string& entry = item.entry.name;
    bool take = names.empty();
    for (std::size_t n = 0; n < names.size(); ++n) {
      if (names[n].empty()) continue;
      const std::string folder = names[n].back() == '/' ? names[n] : names[n] + "/";
      const bool match = entry == names[n] || entry.starts_with(folder);
      used[n] = used[n] || match;
      take = take || match;
    }
    if (take) chosen.push_back(i);
  }
  missing.clear();
  for (std::size_t n = 0; n < names.size(); ++n) {
    if (!used[n]) missing.push_back(names[n]);
  }
  return chosen;
}

}  // namespace kx::dosarc
