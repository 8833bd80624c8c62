// ARJ directory reader.
//
// The archive is the main header followed by one local header per entry,
// each followed by its packed data, and ended by a header whose basic size is
// 0. Every header has the same frame:
//
//   +0 u16 0xEA60  +2 u16 basic size b (0: end of archive, at most 2600)
//   +4 basic header[b]  +4+b u32 CRC-32 of the basic header
//   then extended headers: u16 size s, s bytes, u32 CRC-32; until s == 0
//
// Basic header (f = first header size, the fixed part with its extra bytes):
//
//   +0 u8 f  +1 u8 version  +2 u8 version needed  +3 u8 host OS  +4 u8 flags
//   +5 u8 method  +6 u8 file type  +7 u8 reserved
//   +8 u32 DOS date and time (main header: created)
//   +12 u32 packed size (main: modified)  +16 u32 size (main: archive size)
//   +20 u32 CRC-32 (main: security envelope)  +24 u16 file spec position
//   +26 u16 file mode  +28 u8 first chapter  +29 u8 last chapter
//   +30 extra bytes up to f
//   +f name, NUL   then comment, NUL   (both within b)
//
// Time stamps and file modes are in the host's own form: DOS date and time
// and DOS attributes, but Unix time (UTC) and st_mode when the host is Unix. File types: 0 binary, 1 text, 2 main header, 3 folder, 4 volume
// label, 5 chapter label (labels are not entries). Flag 0x01: garbled
// (password protected).
#include <zlib.h>

#include "engine/io/cp437.h"
#include "engine/formats/arj.h"
#include "engine/formats/dos_common.h"

namespace kx {
namespace {

using dosfmt::AddWithin;

constexpr std::uint16_t kHeaderId = 0xEA60;
constexpr std::size_t kIdAt = 0;
constexpr std::size_t kBasicSizeAt = 2;
constexpr std::size_t kFrameLen = 4;
constexpr std::size_t kCrcLen = 4;
constexpr std::size_t kExtSizeLen = 2;
constexpr std::uint16_t kMaxBasicSize = 2600;

// Offsets inside the basic header.
constexpr std::size_t kFirstSizeAt = 0;
constexpr std::size_t kHostOsAt = 3;
constexpr std::size_t kFlagsAt = 4;
constexpr std::size_t kMethodAt = 5;
constexpr std::size_t kFileTypeAt = 6;
constexpr std::size_t kDateTimeAt = 8;
constexpr std::size_t kPackedAt = 12;
constexpr std::size_t kSizeAt = 16;
constexpr std::size_t kFileCrcAt = 20;
constexpr std::size_t kFileModeAt = 26;
constexpr std::size_t kMinFirstSize = 30;

constexpr std::uint8_t kFlagGarbled = 0x01;
constexpr std::uint8_t kHostUnix = 2;
constexpr std::uint8_t kHostNext = 8;

constexpr std::uint8_t kTypeBinary = 0;
constexpr std::uint8_t kTypeText = 1;
constexpr std::uint8_t kTypeMain = 2;
constexpr std::uint8_t kTypeFolder = 3;

constexpr std::uint32_t kDosAttributeMask = 0x3f;

// One header as framed on disk: the checked basic header and where the bytes
// after its extended headers start.
struct Frame {
  std::vector<std::uint8_t> basic;  // empty: end of archive
  std::uint64_t next = 0;
  std::string name;                 // raw bytes
  std::string comment;              // raw bytes
};

// A NUL-terminated string starting at `at` that must end before `end`.
bool TakeString(const std::vector<std::uint8_t>& b, std::size_t& at, std::string& out) {
  for (std::size_t i = at; i < b.size(); ++i) {
    if (b[i] == 0) {
      out.assign(reinterpret_cast<const char*>(b.data()) + at, i - at);
      at = i + 1;
      return true;
    }
  }
  return false;
}

// Skips the chain of extended headers at pos; false when one runs past the end.
// Each one takes at least its two size bytes, so the walk moves forward.
bool SkipExtendedHeaders(const ByteSource& src, std::uint64_t& pos) {
  for (;;) {
    std::uint8_t sizeBytes[kExtSizeLen];
    if (!src.read(pos, sizeBytes, sizeof sizeBytes)) return false;
    const std::uint16_t size = Le16(sizeBytes);
    pos += kExtSizeLen;
    if (size == 0) return true;
    if (!AddWithin(pos, std::uint64_t(size) + kCrcLen, src.size(), pos)) return false;
  }
}

// Reads and checks the frame of the header at pos.
bool ReadFrame(const ByteSource& src, std::uint64_t pos, Frame& f) {
  std::uint8_t head[kFrameLen];
  if (!src.read(pos, head, sizeof head) || Le16(&head[kIdAt]) != kHeaderId) return false;
  const std::uint16_t basicSize = Le16(&head[kBasicSizeAt]);
  if (basicSize == 0) {
    f.basic.clear();
    f.next = pos + kFrameLen;
    return true;
  }
  if (basicSize < kMinFirstSize || basicSize > kMaxBasicSize) return false;
  if (!dosfmt::ReadBlock(src, pos + kFrameLen, basicSize, f.basic)) return false;
  std::uint8_t crcBytes[kCrcLen];
  if (!src.read(pos + kFrameLen + basicSize, crcBytes, sizeof crcBytes)) return false;
  if (crc32(0, f.basic.data(), basicSize) != Le32(crcBytes)) return false;

  std::size_t at = f.basic[kFirstSizeAt];
  if (at < kMinFirstSize || at > basicSize) return false;
  if (!TakeString(f.basic, at, f.name) || !TakeString(f.basic, at, f.comment)) return false;

  f.next = pos + kFrameLen + basicSize + kCrcLen;
  return SkipExtendedHeaders(src, f.next);
}

bool ReadMainHeader(const ByteSource& src, Frame& f) {
  return ReadFrame(src, 0, f) && !f.basic.empty() && f.basic[kFileTypeAt] == kTypeMain;
}

bool UnixHost(const std::vector<std::uint8_t>& b) { return b[kHostOsAt] == kHostUnix || b[kHostOsAt] == kHostNext; }

std::uint32_t Attributes(const std::vector<std::uint8_t>& b) {
  const std::uint16_t mode = Le16(&b[kFileModeAt]);
  return UnixHost(b) ? dosfmt::AttributesFromUnixMode(mode) : mode & kDosAttributeMask;
}

DateTime Modified(const std::vector<std::uint8_t>& b) {
  const std::uint32_t stamp = Le32(&b[kDateTimeAt]);
  if (UnixHost(b)) return dosfmt::FromUnixTimeLocal(stamp);
  return FromDosDateTime(std::uint16_t(stamp >> 16), std::uint16_t(stamp & 0xffff));
}

EntryInfo ToEntry(const Frame& f) {
  const auto& b = f.basic;
  EntryInfo e;
  e.isFolder = b[kFileTypeAt] == kTypeFolder;
  e.name = dosfmt::DosPathToName(f.name);
  e.size = Le32(&b[kSizeAt]);
  e.packedSize = Le32(&b[kPackedAt]);
  e.crc = Le32(&b[kFileCrcAt]);
  e.attributes = Attributes(b);
  e.modified = Modified(b);
  e.encrypted = (b[kFlagsAt] & kFlagGarbled) != 0;
  e.method = b[kMethodAt];
  if (e.isFolder) {
    e.name = dosfmt::AsFolderName(e.name);
    e.attributes |= attr::Folder;
  }
  return e;
}

}  // namespace

Result ReadArjLayout(const ByteSource& src, dosfmt::DosLayout& out) {
  Frame f;
  if (!ReadMainHeader(src, f)) return rc::ArchiveError;
  out.comment = Cp437ToUtf8(f.comment);
  out.itemsBegin = f.next;
  std::uint64_t pos = f.next;
  // Each header moves pos on by at least its frame, so the walk ends.
  for (;;) {
    if (!ReadFrame(src, pos, f)) return rc::ArchiveError;
    if (f.basic.empty()) {
      out.endAt = pos;
      return rc::Ok;
    }
    const std::uint8_t type = f.basic[kFileTypeAt];
    const std::uint64_t packed = Le32(&f.basic[kPackedAt]);
    dosfmt::DosItem item;
    item.headerBegin = pos;
    item.headerEnd = f.next;
    item.dataBegin = f.next;
    if (!AddWithin(f.next, packed, src.size(), pos)) return rc::ArchiveError;
    item.dataEnd = pos;
    item.listed = type == kTypeBinary || type == kTypeText || type == kTypeFolder;
    if (item.listed) {
      item.entry = ToEntry(f);
      item.rawName = dosfmt::StoredNameBytes(f.name);
    }
    out.items.push_back(std::move(item));
  }
}

Result ReadArjDirectory(const ByteSource& src, ArchiveDirectory& out) {
  dosfmt::DosLayout layout;
  const Result r = ReadArjLayout(src, layout);
  dosfmt::ListLayout(layout, out);
  return r;
}

bool LooksLikeArj(const ByteSource& src) {
  Frame f;
  return ReadMainHeader(src, f);
}

}  // namespace kx
