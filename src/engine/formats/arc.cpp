// ARC directory reader.
//
// An archive is a run of headers, each followed by its packed data, ended by
// the two bytes 0x1A 0x00. Header (29 bytes; method 1, the oldest, has no
// size field and is 25 bytes long, its size being the packed size):
//
//   +0 u8 0x1A  +1 u8 method  +2 name[13] (8.3, NUL-terminated)
//   +15 u32 packed size  +19 u16 DOS date  +21 u16 DOS time  +23 u16 CRC-16
//   +25 u32 size
//
// Methods 1..19 are files (2 stored, 3 packed, 4 squeezed, 5..8 crunched,
// 9 squashed, 10 and 11 from other writers). 20..29 are information items
// and 31..39 control items: skipped. 30 is a folder: its packed data is a
// nested archive of the folder's entries with its own end marker.
#include <vector>

#include "engine/formats/arc.h"
#include "engine/formats/dos_common.h"

namespace kx {
namespace {

using dosfmt::AddWithin;

constexpr std::uint8_t kMarker = 0x1A;
constexpr std::size_t kMarkerAt = 0;
constexpr std::size_t kMethodAt = 1;
constexpr std::size_t kNameAt = 2;
constexpr std::size_t kNameLen = 13;
constexpr std::size_t kPackedAt = 15;
constexpr std::size_t kDateAt = 19;
constexpr std::size_t kTimeAt = 21;
constexpr std::size_t kCrcAt = 23;
constexpr std::size_t kSizeAt = 25;
constexpr std::size_t kHeaderLen = 29;
constexpr std::size_t kOldHeaderLen = 25;
constexpr std::size_t kEndLen = 2;

constexpr std::uint8_t kMethodEnd = 0;
constexpr std::uint8_t kMethodOldStored = 1;
constexpr std::uint8_t kLastFileMethod = 19;
constexpr std::uint8_t kMethodFolder = 30;
constexpr std::uint8_t kLastControlMethod = 39;

// Folders inside folders; real archives nest a few levels at most.
constexpr std::size_t kMaxDepth = 32;

struct Header {
  std::uint8_t method = 0;
  std::string name;
  std::string rawName;
  std::uint64_t dataOffset = 0;
  std::uint64_t dataEnd = 0;
  EntryInfo entry;
};

// Reads a header at pos whose data must end by `limit`. A name must be a
// NUL-terminated run of printable bytes.
bool ReadHeader(const ByteSource& src, std::uint64_t pos, std::uint64_t limit, Header& h) {
  std::uint8_t b[kHeaderLen];
  if (pos > limit || kEndLen > limit - pos) return false;  // even the end marker must be inside
  if (!src.read(pos, b, kEndLen) || b[kMarkerAt] != kMarker) return false;
  h.method = b[kMethodAt];
  if (h.method == kMethodEnd || h.method > kLastControlMethod) return h.method == kMethodEnd;
  const std::size_t len = h.method == kMethodOldStored ? kOldHeaderLen : kHeaderLen;
  if (len > limit - pos || !src.read(pos, b, len)) return false;

  const std::string_view raw(reinterpret_cast<const char*>(&b[kNameAt]), kNameLen);
  const std::string_view name = dosfmt::UpToNul(raw);
  if (name.empty() || name.size() == kNameLen) return false;
  for (unsigned char c : name) {
    if (c < 0x20) return false;
  }
  h.name = dosfmt::DosPathToName(name);
  h.rawName = std::string(name);

  EntryInfo& e = h.entry;
  e.method = h.method;
  e.packedSize = Le32(&b[kPackedAt]);
  e.size = len == kHeaderLen ? Le32(&b[kSizeAt]) : e.packedSize;
  e.crc = Le16(&b[kCrcAt]);
  e.modified = FromDosDateTime(Le16(&b[kDateAt]), Le16(&b[kTimeAt]));
  h.dataOffset = pos + len;
  return AddWithin(h.dataOffset, e.packedSize, limit, h.dataEnd);
}

struct Folder {
  std::uint64_t end;
  std::string prefix;
  std::int64_t item;  // its index in the layout
};

}  // namespace

Result ReadArcLayout(const ByteSource& src, dosfmt::DosLayout& out) {
  std::vector<Folder> folders;
  std::uint64_t pos = 0;
  // pos grows with every header (files and skipped items by their header and
  // data, folders by their header), so the walk ends. The end marker is
  // required, at the top level and in every folder: without it the archive
  // was cut short.
  for (;;) {
    const std::uint64_t limit = folders.empty() ? src.size() : folders.back().end;
    Header h;
    if (!ReadHeader(src, pos, limit, h)) return rc::ArchiveError;
    const std::string prefix = folders.empty() ? std::string() : folders.back().prefix;
    if (h.method == kMethodEnd) {
      if (folders.empty()) {
        out.endAt = pos;
        return rc::Ok;
      }
      out.items[std::size_t(folders.back().item)].nestedEndMarker = pos;
      pos = folders.back().end;  // bytes after a folder's end marker are its own business
      folders.pop_back();
      continue;
    }
    dosfmt::DosItem item;
    item.parent = folders.empty() ? -1 : folders.back().item;
    item.headerBegin = pos;
    item.headerEnd = h.dataOffset;
    item.dataBegin = h.dataOffset;
    item.dataEnd = h.dataEnd;
    item.rawName = h.rawName;
    if (h.method == kMethodFolder) {
      if (folders.size() >= kMaxDepth) return rc::ArchiveError;
      h.entry.name = dosfmt::AsFolderName(dosfmt::JoinPath(prefix, h.name));
      h.entry.isFolder = true;
      h.entry.attributes = attr::Folder;
      h.entry.size = 0;
      h.entry.packedSize = 0;  // the nested entries carry their own sizes
      folders.push_back({h.dataEnd, h.entry.name, std::int64_t(out.items.size())});
      item.listed = true;
      item.entry = std::move(h.entry);
      out.items.push_back(std::move(item));
      pos = h.dataOffset;
      continue;
    }
    if (h.method <= kLastFileMethod) {
      h.entry.name = dosfmt::JoinPath(prefix, h.name);
      item.listed = true;
      item.entry = std::move(h.entry);
    }
    out.items.push_back(std::move(item));
    pos = h.dataEnd;
  }
}

Result ReadArcDirectory(const ByteSource& src, ArchiveDirectory& out) {
  dosfmt::DosLayout layout;
  const Result r = ReadArcLayout(src, layout);
  dosfmt::ListLayout(layout, out);
  return r;
}

bool LooksLikeArc(const ByteSource& src) {
  Header h;
  if (!ReadHeader(src, 0, src.size(), h)) return false;
  if (h.method == kMethodEnd || h.method > kLastFileMethod) return h.method == kMethodFolder;
  // What follows the first entry must be another header or the end marker.
  std::uint8_t next[kEndLen];
  return src.read(h.dataEnd, next, sizeof next) && next[0] == kMarker;
}

}  // namespace kx
