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

std::int16_t SplitKind(const std::string& path, const ByteSource& src) {
  const std::string first = SplitSet::FirstVolumeOf(path);
  if (first.empty()) return kind::None;
  if (first == path) return IsFirstVolume(src) ? kind::SplitFirst : kind::None;
  FileSource firstSrc(first);
  return firstSrc.ok() && IsFirstVolume(firstSrc) ? kind::SplitLater : kind::None;
}

std::int16_t KindOf(const std::string& path, const ByteSource& src) {
  if (const std::int16_t split = SplitKind(path, src); split != kind::None) return split;
  const std::uint32_t signature = FirstSignature(src);
  if (signature == zipsig::kLocalHeader || signature == zipsig::kEndRecord) return kind::Zip;
  if (StartsLikeZip(signature)) return kind::Spanned;
  if (LooksLikeLha(src)) return kind::Lha;
  if (LooksLikeArj(src)) return kind::Arj;
  if (LooksLikeZoo(src)) return kind::Zoo;
  if (LooksLikeArc(src)) return kind::Arc;
  // Other data in front of a ZIP: only a directory that reads completely counts.
  CentralDirectory cd;
  if (HasOwnEndRecord(src) && ReadCentralDirectory(src, cd) == rc::Ok) return kind::Zip;
  return kind::None;
}

}  // namespace
bool IsSplitSetKind(std::int16_t kind) {
  return kind == kind::SplitFirst || kind == kind::SplitLater || kind == kind::Spanned;
}

}  // namespace kx

kx::Result KxIdentifyFile(const std::string& path, std::int16_t& kind) {
  kind = kx::kind::None;
  kx::FileSource src(path);
  if (!src.ok()) {
    const int err = src.openError();
    if (err == ENOENT || err == ENOTDIR || err == EISDIR) return kx::rc::FileNotFound;
    return kx::ResultFromErrno(err);
  }
  kind = kx::KindOf(path, src);
  return kind == kx::kind::None ? kx::rc::UnknownArchiveType : kx::rc::Ok;
}
