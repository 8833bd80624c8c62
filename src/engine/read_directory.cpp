// Action 1: the directory of any archive kind the engine knows. The kind is
// decided by content (IdentifyArchive); ZIP archives and split sets go through
// ZipArchiveReader, the DOS kinds through their own small header readers.
// Listing does not refuse hostile archives: it shows what is stored, and the
// safety checks run when entries are tested or extracted. ZIP listing reads
// the central directory with our own parser only (ZipArchiveReader::List):
// libzip's open would add a second pass with per-entry allocations and
// time conversions that listing does not use.
#include "engine/read_directory.h"

#include "engine/formats/arc.h"
#include "engine/formats/arj.h"
#include "engine/formats/lha.h"
#include "engine/formats/zoo.h"
#include "engine/functions/kx_identify.h"
#include "engine/zip/zip_archive_reader.h"

namespace kx {
namespace {

Result ReadZipDirectory(KxZip& zip, ArchiveDirectory& out) {
  ZipArchiveReader reader;
  const Result r = reader.List(zip, out);
  if (r != rc::Ok) reader.ReportProblem(zip, action::ReadDirectory, r);
  return r;
}

Result ReadDosDirectory(const std::string& path, ArchiveKind archiveKind, ArchiveDirectory& out) {
  FileSource src(path);
  if (!src.ok()) return rc::FileNotFound;
  switch (archiveKind) {
    case ArchiveKind::Lha: return ReadLhaDirectory(src, out);
    case ArchiveKind::Arj: return ReadArjDirectory(src, out);
    case ArchiveKind::Zoo: return ReadZooDirectory(src, out);
    case ArchiveKind::Arc: return ReadArcDirectory(src, out);
    default: return rc::UnknownArchiveType;
  }
}

}  // namespace

Result ReadDirectory(KxZip& zip, ArchiveDirectory& out) {
  out = ArchiveDirectory{};
  ArchiveKind archiveKind = ArchiveKind::None;
  const Result identified = IdentifyArchive(zip.ZipFile, archiveKind);
  if (archiveKind == ArchiveKind::None) return identified;
  switch (archiveKind) {
    case ArchiveKind::Zip:
    case ArchiveKind::SplitFirst:
    case ArchiveKind::SplitLater:
    case ArchiveKind::Spanned:
      return ReadZipDirectory(zip, out);
    default:
      return ReadDosDirectory(zip.ZipFile, archiveKind, out);
  }
}

}  // namespace kx
