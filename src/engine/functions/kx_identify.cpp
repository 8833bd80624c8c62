// KxIdentifyFile: the archive kind by content, never by the name's extension.
//
// The kinds of ZIP archives (all read by ZipArchiveReader):
//   1 Zip         a ZIP archive: starts with a local header, or is an empty
//                 ZIP, or has a readable central directory behind other
//                 data (a self-extractor's stub)
//   2 SplitFirst  the first volume "name.001" of a split set: starts like a
//                 ZIP but holds no end record of its own
//   3 SplitLater  "name.002", ... of such a set, whose first volume is kind 2
//   4 Spanned     a ZIP that starts with the spanning marker "PK\7\8" or
//                 "PK00" (written by spanning tools onto one medium)
// A numbered name is needed for kinds 2 and 3 only because a volume's own
// bytes cannot tell its place in the set; what decides is the first volume's
// content. Kinds 5 to 8 are decided by each format's own header check.
#include "engine/functions/kx_identify.h"

#include <cerrno>
#include <cstdint>

#include "engine/zip/zip_format.h"
#include "engine/io/byte_source.h"
#include "engine/formats/arc.h"
#include "engine/formats/arj.h"
#include "engine/formats/lha.h"
#include "engine/formats/zoo.h"
#include "engine/io/replace_file.h"
#include "engine/io/split_set.h"
#include "engine/zip/zip_central_dir.h"

namespace kx {

using namespace zipfmt;
namespace {

constexpr std::size_t kSignatureSize = 4;

std::uint32_t FirstSignature(const ByteSource& src) {
  std::uint8_t b[kSignatureSize];
  return src.read(0, b, sizeof b) ? Le32(b) : 0;
}

bool StartsLikeZip(std::uint32_t signature) {
  return signature == zipsig::kLocalHeader || signature == zipsig::kSpanMarker ||
         signature == zipsig::kSpanMarkerTemporary;
}

bool HasOwnEndRecord(const ByteSource& src) {
  std::uint64_t at = 0;
  return FindEndRecordIn(src, src.size(), false, at);
}

// A first volume: ZIP data at the start and no end record of its own.
bool IsFirstVolume(const ByteSource& src) {
  return StartsLikeZip(FirstSignature(src)) && !HasOwnEndRecord(src);
}

ArchiveKind SplitKind(const std::string& path, const ByteSource& src) {
  const std::string first = SplitSet::FirstVolumeOf(path);
  if (first.empty()) return ArchiveKind::None;
  if (first == path) return IsFirstVolume(src) ? ArchiveKind::SplitFirst : ArchiveKind::None;
  FileSource firstSrc(first);
  return firstSrc.ok() && IsFirstVolume(firstSrc) ? ArchiveKind::SplitLater : ArchiveKind::None;
}

ArchiveKind KindOf(const std::string& path, const ByteSource& src) {
  if (const ArchiveKind split = SplitKind(path, src); split != ArchiveKind::None) return split;
  const std::uint32_t signature = FirstSignature(src);
  if (signature == zipsig::kLocalHeader || signature == zipsig::kEndRecord) return ArchiveKind::Zip;
  if (StartsLikeZip(signature)) return ArchiveKind::Spanned;
  if (LooksLikeLha(src)) return ArchiveKind::Lha;
  if (LooksLikeArj(src)) return ArchiveKind::Arj;
  if (LooksLikeZoo(src)) return ArchiveKind::Zoo;
  if (LooksLikeArc(src)) return ArchiveKind::Arc;
  // Other data in front of a ZIP: only a directory that reads completely counts.
  CentralDirectory cd;
  if (HasOwnEndRecord(src) && ReadCentralDirectory(src, cd) == rc::Ok) return ArchiveKind::Zip;
  return ArchiveKind::None;
}

}  // namespace

Result IdentifyArchive(const std::string& path, ArchiveKind& kind) {
  kind = ArchiveKind::None;
  FileSource src(path);
  if (!src.ok()) {
    const int err = src.openError();
    if (err == ENOENT || err == ENOTDIR || err == EISDIR) return rc::FileNotFound;
    return ResultFromErrno(err);
  }
  kind = KindOf(path, src);
  return kind == ArchiveKind::None ? rc::UnknownArchiveType : rc::Ok;
}

bool IsSplitSetKind(ArchiveKind kind) {
  return kind == ArchiveKind::SplitFirst || kind == ArchiveKind::SplitLater || kind == ArchiveKind::Spanned;
}

}  // namespace kx

std::int16_t KxIdentifyFile(const std::string& path, std::int16_t& kind) {
  kx::ArchiveKind found = kx::ArchiveKind::None;
  const kx::Result r = kx::IdentifyArchive(path, found);
  kind = static_cast<std::int16_t>(found);
  return kx::Code(r);
}
