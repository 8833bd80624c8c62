#include "engine/zip/zip_central_dir.h"

#include <algorithm>

#include <zlib.h>

namespace kx {
namespace {

// End record.
constexpr std::size_t kEndFixed = 22;
constexpr std::size_t kEndCountAt = 10;
constexpr std::size_t kEndDirSizeAt = 12;
constexpr std::size_t kEndDirOffsetAt = 16;
constexpr std::size_t kEndCommentLenAt = 20;
constexpr std::size_t kMaxComment = 0xffff;

// Zip64 locator and end record.
constexpr std::size_t kLocatorSize = 20;
constexpr std::size_t kLocatorRecordAt = 8;
constexpr std::size_t kZip64EndFixed = 56;
constexpr std::size_t kZip64CountAt = 32;
constexpr std::size_t kZip64DirSizeAt = 40;
constexpr std::size_t kZip64DirOffsetAt = 48;

// Central directory record.
constexpr std::size_t kCdFixed = 46;
constexpr std::size_t kCdMadeByAt = 4;
constexpr std::size_t kCdFlagsAt = 8;
constexpr std::size_t kCdMethodAt = 10;
constexpr std::size_t kCdTimeAt = 12;
constexpr std::size_t kCdDateAt = 14;
constexpr std::size_t kCdCrcAt = 16;
constexpr std::size_t kCdPackedAt = 20;
constexpr std::size_t kCdSizeAt = 24;
constexpr std::size_t kCdNameLenAt = 28;
constexpr std::size_t kCdExtraLenAt = 30;
constexpr std::size_t kCdCommentLenAt = 32;
constexpr std::size_t kCdDiskAt = 34;
constexpr std::size_t kCdExternalAt = 38;
constexpr std::size_t kCdLocalOffsetAt = 42;

constexpr std::uint16_t kExtraZip64 = 0x0001;
constexpr std::uint16_t kExtraAes = 0x9901;
constexpr std::size_t kAesStrengthAt = 4;
constexpr std::size_t kAesMethodAt = 5;
constexpr std::size_t kAesDataSize = 7;
constexpr std::uint16_t kMethodAes = 99;
constexpr std::uint16_t kExtraUnicodePath = 0x7075;
constexpr std::uint8_t kUnicodePathVersion = 1;
constexpr std::size_t kUnicodePathCrcAt = 1;
constexpr std::size_t kUnicodePathNameAt = 5;
constexpr std::uint32_t kSaturated32 = 0xffffffff;
constexpr std::uint16_t kSaturated16 = 0xffff;

std::uint32_t Crc32Of(const std::string& bytes) {
  // crc32 takes a uInt length; names are at most 65,535 bytes.
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// Keeps the Unicode path of a 0x7075 field when it belongs to rec's name.
void TakeUnicodePath(const std::uint8_t* data, std::size_t len, CdRecord& rec) {
  if (len < kUnicodePathNameAt || data[0] != kUnicodePathVersion) return;
  if (Le32(data + kUnicodePathCrcAt) != Crc32Of(rec.rawName)) return;  // stale
  rec.hasUnicodeName = true;
  rec.unicodeName.assign(reinterpret_cast<const char*>(data + kUnicodePathNameAt), len - kUnicodePathNameAt);
}

// Takes the next 64-bit Zip64 value for a saturated field; false when the
// extra field is too short to hold it.
bool TakeZip64(const std::uint8_t*& p, const std::uint8_t* end, std::uint64_t& field) {
  if (end - p < 8) return false;
  field = Le64(p);
  p += 8;
  return true;
}

bool ApplyExtras(const std::uint8_t* p, std::size_t n, CdRecord& rec, bool sizeSat, bool packedSat,
                 bool offsetSat, bool diskSat) {
  const std::uint8_t* end = p + n;
  while (end - p >= 4) {
    const std::uint16_t id = Le16(p);
    const std::uint16_t len = Le16(p + 2);
    p += 4;
    if (static_cast<std::size_t>(end - p) < len) return true;  // a ragged tail: ignore it, as libzip does
    const std::uint8_t* data = p;
    const std::uint8_t* dataEnd = p + len;
    if (id == kExtraZip64) {
      if (sizeSat && !TakeZip64(data, dataEnd, rec.size)) return false;
      if (packedSat && !TakeZip64(data, dataEnd, rec.packedSize)) return false;
      if (offsetSat && !TakeZip64(data, dataEnd, rec.localOffset)) return false;
      if (diskSat && dataEnd - data >= 4) rec.diskStart = Le32(data);
    } else if (id == kExtraAes && len >= kAesDataSize) {
      rec.aesStrength = data[kAesStrengthAt];
      if (rec.method == kMethodAes) rec.method = Le16(data + kAesMethodAt);
    } else if (id == kExtraUnicodePath) {
      TakeUnicodePath(data, len, rec);
    }
    p = dataEnd;
  }
  return true;
}

}  // namespace

bool FindEndRecordIn(const ByteSource& src, std::uint64_t end, bool exactEnd, std::uint64_t& offset) {
  if (end > src.size() || end < kEndFixed) return false;
  const std::uint64_t tailLen = std::min<std::uint64_t>(end, kEndFixed + kMaxComment);
  const std::uint64_t tailStart = end - tailLen;
  std::string tail(static_cast<std::size_t>(tailLen), '\0');
  if (!src.read(tailStart, tail.data(), tail.size())) return false;
  const auto* b = reinterpret_cast<const std::uint8_t*>(tail.data());
  bool haveFitting = false;
  std::uint64_t fitting = 0;
  for (std::size_t pos = tail.size() - kEndFixed + 1; pos-- > 0;) {
    if (b[pos] != 'P' || Le32(b + pos) != zipsig::kEndRecord) continue;
    const std::uint64_t recordEnd = pos + kEndFixed + Le16(b + pos + kEndCommentLenAt);
    if (recordEnd == tail.size()) {
      offset = tailStart + pos;
      return true;
    }
    if (!exactEnd && !haveFitting && recordEnd <= tail.size()) {
      haveFitting = true;
      fitting = tailStart + pos;
    }
  }
  if (haveFitting) offset = fitting;
  return haveFitting;
}

Result ReadDirectoryPlace(const ByteSource& src, std::uint64_t endAt, DirectoryPlace& out) {
  out = DirectoryPlace{};
  out.failedAt = endAt;
  std::uint8_t end[kEndFixed];
  if (!src.read(endAt, end, sizeof end)) return rc::ArchiveError;
  out.entryCount = Le16(end + kEndCountAt);
  out.size = Le32(end + kEndDirSizeAt);
  out.offset = Le32(end + kEndDirOffsetAt);
  out.comment.resize(Le16(end + kEndCommentLenAt));
  if (!src.read(endAt + kEndFixed, out.comment.data(), out.comment.size())) return rc::ArchiveError;

  out.limit = endAt;
  std::uint8_t locator[kLocatorSize];
  if (endAt >= kLocatorSize && src.read(endAt - kLocatorSize, locator, sizeof locator) &&
      Le32(locator) == zipsig::kZip64Locator) {
    const std::uint64_t locatorAt = endAt - kLocatorSize;
    const std::uint64_t recordAt = Le64(locator + kLocatorRecordAt);
    out.failedAt = locatorAt;
    std::uint8_t z64[kZip64EndFixed];
    if (recordAt > locatorAt || locatorAt - recordAt < sizeof z64 || !src.read(recordAt, z64, sizeof z64) ||
        Le32(z64) != zipsig::kZip64EndRecord)
      return rc::ArchiveError;
    out.entryCount = Le64(z64 + kZip64CountAt);
    out.size = Le64(z64 + kZip64DirSizeAt);
    out.offset = Le64(z64 + kZip64DirOffsetAt);
    out.limit = recordAt;
  }
  if (out.offset > out.limit || out.size > out.limit - out.offset) return rc::ArchiveError;
  return rc::Ok;
}

Result ReadCentralDirectory(const ByteSource& src, CentralDirectory& out) {
  out = CentralDirectory{};
  std::uint64_t endAt = 0;
  if (!FindEndRecordIn(src, src.size(), false, endAt)) return rc::UnknownArchiveType;
  out.endRecordOffset = endAt;
  DirectoryPlace place;
  const Result placed = ReadDirectoryPlace(src, endAt, place);
  out.failedAt = place.failedAt;
  if (placed != rc::Ok) return placed;
  out.entryCount = place.entryCount;
  out.directorySize = place.size;
  out.directoryOffset = place.offset;
  out.comment = std::move(place.comment);
  if (out.entryCount > out.directorySize / kCdFixed) return rc::ArchiveError;

  out.failedAt = out.directoryOffset;
  std::string dir(static_cast<std::size_t>(out.directorySize), '\0');
  if (!src.read(out.directoryOffset, dir.data(), dir.size())) return rc::ArchiveError;
  const auto* b = reinterpret_cast<const std::uint8_t*>(dir.data());
  std::size_t pos = 0;
  out.records.resize(static_cast<std::size_t>(out.entryCount));
  for (CdRecord& rec : out.records) {
    out.failedAt = out.directoryOffset + pos;
    if (dir.size() - pos < kCdFixed) return rc::ArchiveError;
    const std::uint8_t* r = b + pos;
    if (Le32(r) != zipsig::kCentralHeader) return rc::ArchiveError;
    const std::size_t nameLen = Le16(r + kCdNameLenAt);
    const std::size_t extraLen = Le16(r + kCdExtraLenAt);
    const std::size_t commentLen = Le16(r + kCdCommentLenAt);
    const std::size_t total = kCdFixed + nameLen + extraLen + commentLen;
    if (dir.size() - pos < total) return rc::ArchiveError;
    rec.madeBy = Le16(r + kCdMadeByAt);
    rec.flags = Le16(r + kCdFlagsAt);
    rec.method = Le16(r + kCdMethodAt);
    rec.dosTime = Le16(r + kCdTimeAt);
    rec.dosDate = Le16(r + kCdDateAt);
    rec.crc = Le32(r + kCdCrcAt);
    rec.packedSize = Le32(r + kCdPackedAt);
    rec.size = Le32(r + kCdSizeAt);
    rec.diskStart = Le16(r + kCdDiskAt);
    rec.externalAttributes = Le32(r + kCdExternalAt);
    rec.localOffset = Le32(r + kCdLocalOffsetAt);
    rec.rawName.assign(reinterpret_cast<const char*>(r + kCdFixed), nameLen);
    if (!ApplyExtras(r + kCdFixed + nameLen, extraLen, rec, rec.size == kSaturated32,
                     rec.packedSize == kSaturated32, rec.localOffset == kSaturated32,
                     rec.diskStart == kSaturated16))
      return rc::ArchiveError;
    pos += total;
  }
  return rc::Ok;
}

}  // namespace kx
