// ZOO directory reader.
//
// Archive header (the last four fields only when the first entry starts
// after offset 34):
//
//   +0 text[20]  +20 u32 tag 0xFDC4A7DC  +24 u32 offset of the first entry
//   +28 u32 minus that offset (a check)  +32 u8 major  +33 u8 minor
//   +34 u8 header type  +35 u32 comment offset  +39 u16 comment length
//   +41 u8 version data
//
// The entries form a linked list: each holds the offset of the next one, and
// the list ends with an entry whose next offset is 0. Zoo only ever appends,
// so a next offset that does not lie past the current entry is damage; the
// walk stops there with an error instead of following it.
//
// Directory entry (type 1: 51 bytes; type 2: 56 bytes plus a variable part):
//
//   +0 u32 tag  +4 u8 type  +5 u8 method  +6 u32 next entry
//   +10 u32 data offset  +14 u16 DOS date  +16 u16 DOS time  +18 u16 CRC-16
//   +20 u32 size  +24 u32 packed size  +28 u8 major  +29 u8 minor
//   +30 u8 deleted  +31 u8 structure  +32 u32 comment offset
//   +36 u16 comment length  +38 name[13] (8.3, NUL-terminated)
//   type 2: +51 u16 variable part length v  +53 i8 time zone  +54 u16 entry CRC
//           +56 variable part[v]:
//             +0 u8 long name length l  +1 u8 folder length d  +2 long name[l]
//             +2+l folder[d]  +2+l+d u16 system  +4+l+d u24 attributes ...
//
// Attributes: when bit 22 is set, the low nine bits are Unix permissions.
#include "engine/io/cp437.h"
#include "engine/formats/zoo.h"
#include "engine/formats/dos_common.h"

namespace kx {
namespace {

using dosfmt::AddWithin;

constexpr std::uint32_t kTag = 0xFDC4A7DC;

// Archive header.
constexpr std::size_t kArcTagAt = 20;
constexpr std::size_t kArcStartAt = 24;
constexpr std::size_t kArcMinusAt = 28;
constexpr std::size_t kArcOldLen = 34;
constexpr std::size_t kArcCommentAt = 35;
constexpr std::size_t kArcCommentLenAt = 39;
constexpr std::size_t kArcNewLen = 42;

// Directory entry.
constexpr std::size_t kTagAt = 0;
constexpr std::size_t kTypeAt = 4;
constexpr std::size_t kMethodAt = 5;
constexpr std::size_t kNextAt = 6;
constexpr std::size_t kDataAt = 10;
constexpr std::size_t kDateAt = 14;
constexpr std::size_t kTimeAt = 16;
constexpr std::size_t kCrcAt = 18;
constexpr std::size_t kSizeAt = 20;
constexpr std::size_t kPackedAt = 24;
constexpr std::size_t kDeletedAt = 30;
constexpr std::size_t kCommentAt = 32;
constexpr std::size_t kCommentLenAt = 36;
constexpr std::size_t kShortNameAt = 38;
constexpr std::size_t kShortNameLen = 13;
constexpr std::size_t kType1Len = 51;
constexpr std::size_t kVarLenAt = 51;
constexpr std::size_t kType2Len = 56;
constexpr std::uint8_t kType2 = 2;

// Variable part of a type 2 entry.
constexpr std::size_t kLongNameLenAt = 0;
constexpr std::size_t kFolderLenAt = 1;
constexpr std::size_t kVarNamesAt = 2;
constexpr std::size_t kSystemLen = 2;
constexpr std::size_t kAttributesLen = 3;
constexpr std::uint32_t kUnixModeValid = 1u << 22;

struct ArchiveHeader {
  std::uint64_t firstEntry = 0;
  std::uint64_t commentOffset = 0;
  std::uint16_t commentLength = 0;
};

bool ReadArchiveHeader(const ByteSource& src, ArchiveHeader& h) {
  std::uint8_t b[kArcNewLen];
  if (!src.read(0, b, kArcOldLen) || Le32(&b[kArcTagAt]) != kTag) return false;
  const std::uint32_t start = Le32(&b[kArcStartAt]);
  if (std::uint32_t(start + Le32(&b[kArcMinusAt])) != 0 || start < kArcOldLen) return false;
  h.firstEntry = start;
  if (start >= kArcNewLen) {
    if (!src.read(0, b, kArcNewLen)) return false;
    h.commentOffset = Le32(&b[kArcCommentAt]);
    h.commentLength = Le16(&b[kArcCommentLenAt]);
  }
  return true;
}

std::string_view Chars(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t n) {
  return dosfmt::UpToNul(std::string_view(reinterpret_cast<const char*>(b.data()) + at, n));
}

// Long name, folder and attributes from the variable part, as far as it goes.
void ApplyVariablePart(const std::vector<std::uint8_t>& v, EntryInfo& e, std::string& rawName) {
  if (v.size() < kVarNamesAt) return;
  const std::size_t longLen = v[kLongNameLenAt];
  const std::size_t folderLen = v[kFolderLenAt];
  if (kVarNamesAt + longLen + folderLen > v.size()) return;
  const std::string_view longName = Chars(v, kVarNamesAt, longLen);
  const std::string_view folder = Chars(v, kVarNamesAt + longLen, folderLen);
  const std::string file = longName.empty() ? e.name : dosfmt::DosPathToName(longName);
  e.name = dosfmt::JoinPath(dosfmt::DosPathToName(folder), file);
  const auto field = [&](std::size_t at, std::size_t n) {
    return dosfmt::StoredNameBytes(std::string_view(reinterpret_cast<const char*>(v.data()) + at, n));
  };
  rawName = field(kVarNamesAt + longLen, folderLen) + (longName.empty() ? rawName : field(kVarNamesAt, longLen));

  const std::size_t attrAt = kVarNamesAt + longLen + folderLen + kSystemLen;
  if (attrAt + kAttributesLen > v.size()) return;
  const std::uint32_t fattr = v[attrAt] | (v[attrAt + 1] << 8) | (std::uint32_t(v[attrAt + 2]) << 16);
  if (fattr & kUnixModeValid) e.attributes = dosfmt::AttributesFromUnixMode(fattr & 0777);
}

// Reads the entry at pos into item (its header ends at item.headerEnd).
bool ReadEntry(const ByteSource& src, std::uint64_t pos, dosfmt::DosItem& item) {
  std::vector<std::uint8_t> b;
  if (!dosfmt::ReadBlock(src, pos, kType1Len, b) || Le32(&b[kTagAt]) != kTag) return false;
  item.headerBegin = pos;
  item.next = Le32(&b[kNextAt]);
  item.headerEnd = pos + kType1Len;
  if (item.next == 0) return true;  // the list's end marker; its other fields mean nothing

  EntryInfo& e = item.entry;
  item.deleted = b[kDeletedAt] == 1;
  item.listed = !item.deleted;
  e.method = b[kMethodAt];
  e.modified = FromDosDateTime(Le16(&b[kDateAt]), Le16(&b[kTimeAt]));
  e.crc = Le16(&b[kCrcAt]);
  e.size = Le32(&b[kSizeAt]);
  e.packedSize = Le32(&b[kPackedAt]);
  e.name = dosfmt::DosPathToName(Chars(b, kShortNameAt, kShortNameLen));
  item.rawName = dosfmt::StoredNameBytes(
      std::string_view(reinterpret_cast<const char*>(&b[kShortNameAt]), kShortNameLen));
  item.commentAt = Le32(&b[kCommentAt]);
  item.commentLength = Le16(&b[kCommentLenAt]);

  item.dataBegin = Le32(&b[kDataAt]);
  if (!AddWithin(item.dataBegin, e.packedSize, src.size(), item.dataEnd)) return false;

  if (b[kTypeAt] == kType2) {
    std::vector<std::uint8_t> extra;
    if (!dosfmt::ReadBlock(src, pos, kType2Len, extra)) return false;
    const std::uint16_t varLen = Le16(&extra[kVarLenAt]);
    std::vector<std::uint8_t> v;
    if (!dosfmt::ReadBlock(src, pos + kType2Len, varLen, v)) return false;
    ApplyVariablePart(v, e, item.rawName);
    item.headerEnd = pos + kType2Len + varLen;
  }
  return true;
}

}  // namespace

Result ReadZooLayout(const ByteSource& src, dosfmt::DosLayout& out) {
  ArchiveHeader h;
  if (!ReadArchiveHeader(src, h)) return rc::ArchiveError;
  if (h.commentLength > 0) {
    std::vector<std::uint8_t> c;
    if (!dosfmt::ReadBlock(src, h.commentOffset, h.commentLength, c)) return rc::ArchiveError;
    out.comment = Cp437ToUtf8(std::string_view(reinterpret_cast<const char*>(c.data()), c.size()));
    out.commentAt = h.commentOffset;
    out.commentLength = h.commentLength;
  }
  out.itemsBegin = h.firstEntry;
  std::uint64_t pos = h.firstEntry;
  // Each step must land past the header just read, so the walk ends.
  for (;;) {
    dosfmt::DosItem item;
    if (!ReadEntry(src, pos, item)) return rc::ArchiveError;
    if (item.next == 0) {
      out.endAt = pos;
      return rc::Ok;
    }
    const std::uint64_t next = item.next, end = item.headerEnd;
    out.items.push_back(std::move(item));
    if (next < end) return rc::ArchiveError;
    pos = next;
  }
}

Result ReadZooDirectory(const ByteSource& src, ArchiveDirectory& out) {
  dosfmt::DosLayout layout;
  const Result r = ReadZooLayout(src, layout);
  dosfmt::ListLayout(layout, out);
  return r;
}

bool LooksLikeZoo(const ByteSource& src) {
  ArchiveHeader h;
  std::uint8_t tag[4];
  return ReadArchiveHeader(src, h) && src.read(h.firstEntry, tag, sizeof tag) && Le32(tag) == kTag;
}

}  // namespace kx
