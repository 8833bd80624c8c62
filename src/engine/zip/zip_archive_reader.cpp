// ZipArchiveReader: opens a ZIP or a split set and builds the entry table.
//
// Names: each entry has exactly one name, decided by EntryNamer
// (zip_entry_name.h) in the code page zip.NameCodePage chooses; listing shows
// it, CleanEntryName judges it and extraction writes it. libzip's own idea of
// the names is never used: entries are addressed by index.
//
// The table comes from our own parse of the central directory (raw DOS
// dates, local header offsets, NULs inside names); libzip's count must agree,
// so index i of the table is libzip's index i. libzip is opened without
// ZIP_CHECKCONS; with checkSafety we read each local header ourselves (30
// bytes: its signature and the lengths that place the data) for the span check.
// List (action 1) stops after our parse: libzip is only opened to read data.
#include "engine/zip/zip_archive_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <string_view>
#include <sys/stat.h>

#include "engine/io/vector_state.h"
#include "engine/zip/zip_format.h"
#include "engine/io/byte_source.h"
#include "engine/zip/zip_sources.h"
#include "engine/io/cp437.h"
#include "engine/io/replace_file.h"
#include "engine/io/split_set.h"
#include "engine/zip/zip_central_dir.h"
#include "engine/zip/zip_comment.h"
#include "engine/zip/zip_entry_name.h"

namespace kx {

using namespace zipfmt;
namespace {

bool EndsWithSlash(const std::string& name) {
  return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

std::uint16_t EncryptionOf(const CdRecord& rec) {
  if (rec.aesStrength >= 1 && rec.aesStrength <= 3) return static_cast<std::uint16_t>(ZIP_EM_AES_128 + rec.aesStrength - 1);
  if (!(rec.flags & flag::kEncrypted)) return ZIP_EM_NONE;
  if (rec.flags & flag::kStrongEncryption) return ZIP_EM_UNKNOWN;
  return ZIP_EM_TRAD_PKWARE;
}

// DOS attribute bits from the external attributes, by the host that made
// the entry; the Unix mode when a Unix-like host stored one (else 0).
void DecodeAttributes(const CdRecord& rec, EntryInfo& info, std::uint32_t& unixMode) {
  const std::uint8_t host = static_cast<std::uint8_t>(rec.madeBy >> 8);
  const std::uint32_t mode = rec.externalAttributes >> 16;
  const bool unixLike = (host == host::kUnix || host == host::kOsx) && mode != 0;
  unixMode = 0;
  if (unixLike) {
    unixMode = mode;
    std::uint32_t a = 0;
    if (!(mode & S_IWUSR)) a |= attr::ReadOnly;
    if (S_ISDIR(mode)) a |= attr::Folder;
    else a |= attr::Archive;
    info.attributes = a;
  } else {
    // DOS, NTFS, VFAT and unknown hosts keep the DOS bits in the low byte.
    (void)host::kDos; (void)host::kNtfs; (void)host::kVfat;
    info.attributes = rec.externalAttributes & 0xff;
  }
  if (EndsWithSlash(info.name)) {
    info.isFolder = true;
    info.attributes = (info.attributes | attr::Folder) & ~attr::Archive;
  } else if (info.attributes & attr::Folder) {
    info.isFolder = true;
  }
}

// The entry as listing shows it.
EntryInfo InfoOf(CdRecord& rec, std::string name, std::uint32_t& unixMode) {
  EntryInfo info;
  info.name = std::move(name);
  info.size = rec.size;
  info.packedSize = rec.packedSize;
  info.crc = rec.crc;
  info.method = rec.method;
  info.modified = FromDosDateTime(rec.dosDate, rec.dosTime);
  info.encrypted = EncryptionOf(rec) != ZIP_EM_NONE;
  DecodeAttributes(rec, info, unixMode);
  return info;
}

ZipEntryRecord MakeRecord(zip_uint64_t index, CdRecord& rec, EntryNamer& namer) {
  ZipEntryRecord e;
  e.index = index;
  e.info = InfoOf(rec, namer.NameOf(rec), e.unixMode);
  e.isSymlink = S_ISLNK(e.unixMode);
  e.rawName = std::move(rec.rawName);
  e.encryptionMethod = EncryptionOf(rec);
  e.dataOffset = rec.localOffset;
  e.clean = CleanEntryName(e.info.name, e.rawName);
  return e;
}

// Whether the path names a split set: a numbered volume that is not a
// complete archive on its own (a lone "x.001" that is a whole ZIP is one).
bool IsSplitVolumePath(const std::string& path, std::string& firstVolume) {
  firstVolume = SplitSet::FirstVolumeOf(path);
  if (firstVolume.empty()) return false;
  FileSource first(firstVolume);
  if (!first.ok()) return firstVolume != path;  // later volume without its first: let the set ask
  std::uint64_t at = 0;
  return !FindEndRecordIn(first, first.size(), true, at);
}

// Local file header, the start of every entry's bytes:
//
//   +0  u32 0x04034b50  +4  u16 needed  +6 u16 flags  +8 u16 method
//   +10 u16 DOS time    +12 u16 DOS date  +14 u32 CRC-32
//   +18 u32 packed size +22 u32 size  +26 u16 name length  +28 u16 extra length
//   +30 name, extra, then the entry's data

// The bytes from an entry's local header to the end of its data, or false
// when no local header lies at offset. All sums are checked for overflow.
bool LocalSpan(const ByteSource& src, std::uint64_t offset, std::uint64_t packedSize, EntrySpan& span,
               std::uint64_t& dataStart) {
  std::uint8_t h[local::kFixedSize];
  if (!src.read(offset, h, sizeof h) || Le32(h) != zipsig::kLocalHeader) return false;
  const std::uint64_t header = local::kFixedSize + Le16(h + local::kNameLengthAt) + Le16(h + local::kExtraLengthAt);
  span.begin = offset;
  if (offset > UINT64_MAX - header || offset + header > UINT64_MAX - packedSize) {
    span.end = UINT64_MAX;  // past any end: FindBadSpan refuses it
  } else {
    span.end = offset + header + packedSize;
    dataStart = offset + header;
  }
  return true;
}

// The UTF-8 flag on name bytes that are not UTF-8.
bool HasFalseUtf8Flag(const CdRecord& rec) { return (rec.flags & flag::kUtf8) && !IsValidUtf8(rec.rawName); }

bool StartsWithLocalHeader(const ByteSource& src) {
  std::uint8_t b[4];
  return src.read(0, b, sizeof b) && Le32(b) == zipsig::kLocalHeader;
}

}  // namespace

ZipArchiveReader::ZipArchiveReader() = default;

ZipArchiveReader::~ZipArchiveReader() {
  if (za_) zip_discard(za_);
}

Result ZipArchiveReader::Open(KxZip& zip, bool checkSafety) {
  ClearUpperVectorState();
  const ByteSource* src = nullptr;
  if (const Result r = OpenSource(zip, src); r != rc::Ok) return r;
  src_ = src;
  return Load(*src, zip.nameCodePage(), checkSafety);
}

Result ZipArchiveReader::List(KxZip& zip, ArchiveDirectory& out) {
  ClearUpperVectorState();
  out = ArchiveDirectory{};
  const ByteSource* src = nullptr;
  if (const Result r = OpenSource(zip, src); r != rc::Ok) return r;
  // Record by record into the listing, never the whole directory in memory.
  CentralDirectory cd;
  std::uint32_t unixMode = 0;
  EntryNamer namer(zip.nameCodePage());
  std::string badUtf8;
  const Result parsed = ForEachCentralRecord(*src, cd, [&](CdRecord& rec) {
    if (out.entries.empty()) out.entries.reserve(static_cast<std::size_t>(cd.entryCount));
    if (badUtf8.empty() && HasFalseUtf8Flag(rec)) badUtf8 = Cp437ToUtf8(rec.rawName);
    out.entries.push_back(InfoOf(rec, namer.NameOf(rec, true), unixMode));
    return rc::Ok;
  });
  if (const Result r = ParseResult(*src, cd, parsed, badUtf8); r != rc::Ok) {
    out = ArchiveDirectory{};
    return r;
  }
  out.comment = namer.CommentOf(cd.comment);
  return rc::Ok;
}

Result ZipArchiveReader::OpenSource(KxZip& zip, const ByteSource*& src) {
  const std::string path = zip.ZipFile;
  std::string firstVolume;
  if (IsSplitVolumePath(path, firstVolume)) {
    split_ = std::make_unique<SplitSet>();
    const auto ask = [&zip](int number, const std::string& volume) {
      if (!zip.Prompt) return false;
      PromptEvent ev;
      ev.Operation = zip.Action();
      ev.MsgType = prompt::InsertDisk;
      ev.DiskNum = static_cast<std::int16_t>(number);
      ev.ZipFile = zip.ZipFile;
      ev.FileName = volume;
      ev.Reply = reply::Cancel;
      zip.Prompt(ev);
      ClearUpperVectorState();
      return ev.Reply == reply::Ok;
    };
    const Result r = split_->Open(firstVolume, ask);
    if (r != rc::Ok) {
      problem_ = split_->problemVolume();
      split_.reset();
      return r;
    }
    src = split_.get();
    return rc::Ok;
  }

  const Result recovered = RecoverCommentJournal(ResolveArchivePath(path));
  if (recovered != rc::Ok && recovered != rc::FileNotFound) return recovered;
  path_ = path;
  file_ = std::make_unique<FileSource>(path);
  if (!file_->ok()) return ResultFromErrno(file_->openError());
  if (file_->size() == 0) return rc::UnknownArchiveType;
  src = file_.get();
  return rc::Ok;
}

Result ZipArchiveReader::Parse(const ByteSource& src, CentralDirectory& cd) {
  const Result parsed = ReadCentralDirectory(src, cd);
  std::string badUtf8;
  for (const CdRecord& rec : cd.records) {
    if (HasFalseUtf8Flag(rec)) {
      badUtf8 = Cp437ToUtf8(rec.rawName);
      break;
    }
  }
  return ParseResult(src, cd, parsed, badUtf8);
}

Result ZipArchiveReader::ParseResult(const ByteSource& src, const CentralDirectory& cd, Result parsed,
                                     const std::string& badUtf8) {
  if (parsed == rc::UnknownArchiveType && StartsWithLocalHeader(src)) return rc::ArchiveError;  // cut short
  if (parsed == rc::ArchiveError && split_) problem_ = split_->VolumeAt(cd.failedAt);
  if (parsed != rc::Ok) return parsed;
  // Bit 11 on bytes that are not UTF-8: libzip refuses the archive, and so
  // does the listing, before libzip is asked: a clear error, no guess.
  if (!badUtf8.empty()) {
    problem_ = badUtf8;
    return rc::ArchiveError;
  }
  return rc::Ok;
}

Result ZipArchiveReader::Load(const ByteSource& src, CodePage page, bool checkSafety) {
  // libzip reads the directory on a thread of its own while our parse, the
  // names and the checks run here: for a large directory the two readings
  // take about as long. Their verdicts still count in the same order: our
  // parse, then libzip's, then the agreement of both tables, then the checks.
  zip_error_t error;
  zip_error_init(&error);
  zip_t* opened = nullptr;
  std::jthread libzipOpen([&] {
    zip_source_t* source = MakeZipSource(src, &error);
    if (!source) return;
    opened = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!opened) zip_source_free(source);
  });
  CentralDirectory cd;
  const Result parsed = Parse(src, cd);
  Result checked = rc::Ok;
  std::string problemBeforeChecks = problem_;
  if (parsed == rc::Ok) {
    entries_.reserve(cd.records.size());
    EntryNamer namer(page);
    for (std::size_t i = 0; i < cd.records.size(); ++i) entries_.push_back(MakeRecord(i, cd.records[i], namer));
    comment_ = namer.CommentOf(cd.comment);
    if (checkSafety) checked = CheckSafety(src, cd);
  }
  libzipOpen.join();
  za_ = opened;
  const Result libzipResult = za_ ? rc::Ok : ResultFromZipError(error.zip_err, error.sys_err);
  zip_error_fini(&error);
  Result r = parsed;
  if (r == rc::Ok) r = libzipResult;
  // Our table and libzip's must describe the same entries, index by index.
  if (r == rc::Ok && zip_get_num_entries(za_, 0) != static_cast<zip_int64_t>(cd.records.size())) r = rc::ArchiveError;
  if (r != rc::Ok) {
    if (parsed == rc::Ok) problem_ = problemBeforeChecks;
    entries_.clear();
    return r;
  }
  return checked;
}

void ZipArchiveReader::ReportProblem(KxZip& zip, std::int16_t operation, Result r) const {
  if (problem_.empty() || r == rc::Ok) return;
  ProgressEvent ev;
  ev.Operation = operation;
  ev.MsgType = Code(r);
  ev.ZipFile = zip.ZipFile;
  ev.FileName = problem_;
  zip.Report(ev);
  ClearUpperVectorState();
}

Result ZipArchiveReader::CheckSafety(const ByteSource& src, const CentralDirectory& cd) {
  std::vector<EntrySpan> spans(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!LocalSpan(src, entries_[i].dataOffset, entries_[i].info.packedSize, spans[i], entries_[i].dataStart)) {
      // No local header where the directory says: damaged, cut short, or
      // the volumes of a split set are out of order (then the volume that
      // holds the offset is the one to name).
      problem_ = split_ ? split_->VolumeAt(entries_[i].dataOffset) : entries_[i].info.name;
      return rc::ArchiveError;
    }
  }
  // Entry data lies before the central directory, never inside or after it.
  if (const std::int64_t bad = FindBadSpan(spans, cd.directoryOffset); bad >= 0) {
    problem_ = entries_[static_cast<std::size_t>(bad)].info.name;
    return rc::ArchiveError;
  }
  std::vector<CleanName> names;
  std::vector<bool> folders;
  names.reserve(entries_.size());
  folders.reserve(entries_.size());
  for (const auto& e : entries_) {
    names.push_back(e.clean);
    folders.push_back(e.info.isFolder);
  }
  if (const std::int64_t dup = FindDuplicateName(names, folders); dup >= 0) {
    problem_ = entries_[static_cast<std::size_t>(dup)].info.name;
    return rc::ArchiveError;
  }
  return rc::Ok;
}

namespace {

// "*" and "?" over the whole text; "*" crosses "/". Iterative with one
// backtrack point, so hostile patterns cannot make it exponential.
bool WildcardMatch(std::string_view pattern, std::string_view text) {
  std::size_t p = 0, t = 0, starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool MatchesOne(std::string_view pattern, std::string_view name) {
  if (pattern == "*" || pattern == "*.*") return true;
  if (pattern.back() == '/') return name.substr(0, pattern.size()) == pattern;
  if (WildcardMatch(pattern, name)) return true;
  if (pattern.find('/') != std::string_view::npos) return false;
  // "*.txt" or "a.txt" also find the file in a folder.
  std::string_view last = name;
  if (!last.empty() && last.back() == '/') last.remove_suffix(1);
  const auto slash = last.rfind('/');
  if (slash == std::string_view::npos) return false;
  last.remove_prefix(slash + 1);
  return WildcardMatch(pattern, last);
}

}  // namespace

bool MatchesFileSpec(const std::string& entryName, const std::vector<std::string>& patterns) {
  if (patterns.empty()) return true;
  for (const auto& pattern : patterns) {
    if (!pattern.empty() && MatchesOne(pattern, entryName)) return true;
  }
  return false;
}

}  // namespace kx
