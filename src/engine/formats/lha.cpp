// LHA (.lzh) directory reader: header levels 0, 1 and 2.
//
// An archive is a run of headers, each followed by its packed data, ended by
// a single 0 byte (required: without it the archive was cut short). The method ID is five bytes "-lh5-"; "-lhd-" marks a folder.
//
// Level 0 (whole header = size + 2 bytes; sum = low byte of the sum of the
// bytes after the first two):
//
//   +0 u8 size  +1 u8 sum  +2 method[5]  +7 u32 packed size  +11 u32 size
//   +15 u16 DOS time  +17 u16 DOS date  +19 u8 attributes  +20 u8 level (0)
//   +21 u8 name length n  +22 name[n]  +22+n u16 CRC-16  (+24+n extension bytes)
//
// Level 1 (base header as level 0, then extension headers; the "skip size"
// counts the extension headers and the packed data together):
//
//   +0 u8 size  +1 u8 sum  +2 method[5]  +7 u32 skip size  +11 u32 size
//   +15 u16 DOS time  +17 u16 DOS date  +19 u8 0x20  +20 u8 level (1)
//   +21 u8 name length n  +22 name[n]  +22+n u16 CRC-16  +24+n u8 OS ID
//   +25+n u16 size of the first extension header (0: none)
//
// Level 2 (the total header size counts the extension headers too):
//
//   +0 u16 total header size  +2 method[5]  +7 u32 packed size  +11 u32 size
//   +15 u32 Unix time (UTC)  +19 u8 reserved  +20 u8 level (2)  +21 u16 CRC-16
//   +23 u8 OS ID  +24 u16 size of the first extension header  +26 extensions
//
// Extension header (its size counts all of it, the trailing size field too):
//
//   +0 u8 type  +1 data[size - 3]  +size-2 u16 size of the next one (0: last)
//
// Types read here: 0x01 file name, 0x02 folder name (parts separated by 0xFF),
// 0x40 DOS attributes (u16), 0x42 64-bit packed size and size, 0x50 Unix mode.
//
// Method numbers reported: the third and fourth characters of the ID, as
// (c3 << 8) | c4, so "-lh5-" gives 0x6835 and "-lhd-" 0x6864.
#include <optional>

#include "engine/formats/lha.h"
#include "engine/formats/dos_common.h"

namespace kx {
namespace {

using dosfmt::AddWithin;

// Fields common to all levels.
constexpr std::size_t kMethodAt = 2;
constexpr std::size_t kMethodLen = 5;
constexpr std::size_t kPackedAt = 7;
constexpr std::size_t kSizeAt = 11;
constexpr std::size_t kTimeAt = 15;
constexpr std::size_t kLevelAt = 20;
constexpr std::size_t kProbeLen = 22;  // enough to see the level of any header

// Levels 0 and 1.
constexpr std::size_t kSumAt = 1;
constexpr std::size_t kSummedFrom = 2;
constexpr std::size_t kDateAt = 17;
constexpr std::size_t kAttributesAt = 19;
constexpr std::size_t kNameLenAt = 21;
constexpr std::size_t kNameAt = 22;
constexpr std::size_t kCrcAfterName = 0;     // level 0 and 1: CRC-16 right after the name
constexpr std::size_t kCrcLen = 2;
constexpr std::size_t kExtSizeAfterName = 3; // level 1
constexpr std::size_t kLevel1Tail = 5;       // CRC, OS ID, first extension size

// Level 2.
constexpr std::size_t kL2CrcAt = 21;
constexpr std::size_t kL2ExtSizeAt = 24;
constexpr std::size_t kL2Fixed = 26;

// Extension headers.
constexpr std::size_t kExtMinSize = 3;
constexpr std::uint8_t kExtFileName = 0x01;
constexpr std::uint8_t kExtFolderName = 0x02;
constexpr std::uint8_t kExtDosAttributes = 0x40;
constexpr std::uint8_t kExtSize64 = 0x42;
constexpr std::uint8_t kExtUnixMode = 0x50;
constexpr char kFolderSeparator = '\xff';

constexpr std::uint8_t kEndOfArchive = 0;

struct Extras {
  std::optional<std::string> fileName;
  std::optional<std::string> folderName;
  std::optional<std::uint16_t> dosAttributes;
  std::optional<std::uint16_t> unixMode;
  std::optional<std::uint64_t> packed64, size64;
};

// One parsed header: the entry, where its data starts and how long it is.
struct Header {
  EntryInfo entry;
  std::string rawName;
  std::uint64_t dataOffset = 0;
  std::uint64_t packedSize = 0;
};

bool MethodLooksValid(const std::uint8_t* m) {
  if (m[0] != '-' || m[kMethodLen - 1] != '-') return false;
  for (std::size_t i = 1; i + 1 < kMethodLen; ++i) {
    if (m[i] < 0x20 || m[i] > 0x7e) return false;
  }
  return true;
}

std::uint16_t MethodNumber(const std::uint8_t* m) { return std::uint16_t((m[2] << 8) | m[3]); }

constexpr std::uint16_t kMethodFolder = ('h' << 8) | 'd';

void ApplyExtension(std::uint8_t type, std::string_view data, Extras& ex) {
  switch (type) {
    case kExtFileName:
      ex.fileName = std::string(data);
      break;
    case kExtFolderName:
      ex.folderName = std::string(data);
      break;
    case kExtDosAttributes:
      if (data.size() >= 2) ex.dosAttributes = Le16(reinterpret_cast<const std::uint8_t*>(data.data()));
      break;
    case kExtSize64:
      if (data.size() >= 16) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
        ex.packed64 = Le64(p);
        ex.size64 = Le64(p + 8);
      }
      break;
    case kExtUnixMode:
      if (data.size() >= 2) ex.unixMode = Le16(reinterpret_cast<const std::uint8_t*>(data.data()));
      break;
    default:
      break;
  }
}

// Walks a chain of extension headers that starts at `offset` with the given
// first size and must end by `limit`. Each header is at least three bytes
// long, so the walk always moves forward. `consumed` gets the bytes used.
bool WalkExtensions(const ByteSource& src, std::uint64_t offset, std::uint16_t firstSize, std::uint64_t limit,
                    Extras& ex, std::uint64_t& consumed) {
  std::vector<std::uint8_t> buf;
  std::uint64_t pos = offset;
  std::uint16_t size = firstSize;
  while (size != 0) {
    std::uint64_t end = 0;
    if (size < kExtMinSize || !AddWithin(pos, size, limit, end)) return false;
    if (!dosfmt::ReadBlock(src, pos, size, buf)) return false;
    ApplyExtension(buf[0], std::string_view(reinterpret_cast<const char*>(buf.data()) + 1, size - kExtMinSize), ex);
    size = Le16(buf.data() + size - 2);
    pos = end;
  }
  consumed = pos - offset;
  return true;
}

// The stored name bytes: the folder extension and the file name (extension
// or base header field) as they lie, for the name checks of extraction.
std::string RawName(std::string_view baseField, const Extras& ex) {
  std::string raw = ex.folderName ? dosfmt::StoredNameBytes(*ex.folderName) : std::string();
  raw += ex.fileName ? dosfmt::StoredNameBytes(*ex.fileName) : dosfmt::StoredNameBytes(baseField);
  return raw;
}

// Name and attributes from the base header fields and the extensions.
void FinishEntry(const std::string& baseName, std::uint32_t baseAttributes, const Extras& ex, EntryInfo& e) {
  const std::string file = ex.fileName ? dosfmt::DosPathToName(dosfmt::UpToNul(*ex.fileName)) : baseName;
  const std::string folder =
      ex.folderName ? dosfmt::DosPathToName(dosfmt::UpToNul(*ex.folderName), kFolderSeparator) : std::string();
  e.name = dosfmt::JoinPath(folder, file);
  if (ex.dosAttributes) {
    e.attributes = *ex.dosAttributes;
  } else if (ex.unixMode) {
    e.attributes = dosfmt::AttributesFromUnixMode(*ex.unixMode);
  } else {
    e.attributes = baseAttributes;
  }
  if (e.isFolder) {
    e.name = dosfmt::AsFolderName(e.name);
    e.attributes |= attr::Folder;
  }
  if (ex.size64 && ex.packed64) e.size = *ex.size64;
}

bool ReadLevel0or1(const ByteSource& src, std::uint64_t pos, std::uint8_t level, Header& h) {
  std::uint8_t sizeByte = 0;
  if (!src.read(pos, &sizeByte, 1)) return false;
  const std::size_t headerLen = std::size_t(sizeByte) + 2;
  std::vector<std::uint8_t> b;
  if (headerLen < kNameAt || !dosfmt::ReadBlock(src, pos, headerLen, b)) return false;

  std::uint8_t sum = 0;
  for (std::size_t i = kSummedFrom; i < headerLen; ++i) sum = std::uint8_t(sum + b[i]);
  if (sum != b[kSumAt] || !MethodLooksValid(&b[kMethodAt])) return false;

  const std::size_t nameLen = b[kNameLenAt];
  const std::size_t afterName = kNameAt + nameLen;
  // Early level 0 writers left the CRC out; level 1 always has its tail.
  const bool hasCrc = afterName + kCrcLen <= headerLen;
  if (afterName > headerLen || (level == 1 && afterName + kLevel1Tail > headerLen)) return false;

  EntryInfo& e = h.entry;
  e.method = MethodNumber(&b[kMethodAt]);
  e.isFolder = e.method == kMethodFolder;
  e.size = Le32(&b[kSizeAt]);
  e.crc = hasCrc ? Le16(&b[afterName + kCrcAfterName]) : 0;
  e.modified = FromDosDateTime(Le16(&b[kDateAt]), Le16(&b[kTimeAt]));
  // DOS writers separate path parts with "\", Unix ones with 0xFF.
  const std::string baseName = dosfmt::DosPathToName(
      dosfmt::UpToNul(std::string_view(reinterpret_cast<const char*>(&b[kNameAt]), nameLen)), kFolderSeparator);

  Extras ex;
  const std::uint64_t skip = Le32(&b[kPackedAt]);
  h.dataOffset = pos + headerLen;
  h.packedSize = skip;
  if (level == 1) {
    // Extensions sit inside the skip size; what is left of it is the data.
    std::uint64_t limit = 0, consumed = 0;
    if (!AddWithin(h.dataOffset, skip, src.size(), limit)) return false;
    if (!WalkExtensions(src, h.dataOffset, Le16(&b[afterName + kExtSizeAfterName]), limit, ex, consumed))
      return false;
    h.dataOffset += consumed;
    h.packedSize = skip - consumed;
  }
  FinishEntry(baseName, b[kAttributesAt], ex, e);
  h.rawName = RawName(std::string_view(reinterpret_cast<const char*>(&b[kNameAt]), nameLen), ex);
  return true;
}

bool ReadLevel2(const ByteSource& src, std::uint64_t pos, Header& h) {
  std::uint8_t fixed[kL2Fixed];
  if (!src.read(pos, fixed, sizeof fixed)) return false;
  const std::uint16_t total = Le16(fixed);
  std::uint64_t headerEnd = 0;
  if (total < kL2Fixed || !AddWithin(pos, total, src.size(), headerEnd)) return false;
  if (!MethodLooksValid(&fixed[kMethodAt])) return false;

  EntryInfo& e = h.entry;
  e.method = MethodNumber(&fixed[kMethodAt]);
  e.isFolder = e.method == kMethodFolder;
  e.size = Le32(&fixed[kSizeAt]);
  e.crc = Le16(&fixed[kL2CrcAt]);
  e.modified = dosfmt::FromUnixTimeLocal(Le32(&fixed[kTimeAt]));

  Extras ex;
  std::uint64_t consumed = 0;
  if (!WalkExtensions(src, pos + kL2Fixed, Le16(&fixed[kL2ExtSizeAt]), headerEnd, ex, consumed)) return false;
  h.dataOffset = headerEnd;
  h.packedSize = ex.packed64 && ex.size64 ? *ex.packed64 : Le32(&fixed[kPackedAt]);
  FinishEntry(std::string(), 0, ex, e);
  h.rawName = RawName(std::string_view(), ex);
  return true;
}

// Reads the header at pos; false for anything that is not a whole, plausible
// header whose data lies inside the file.
bool ReadHeader(const ByteSource& src, std::uint64_t pos, Header& h) {
  std::uint8_t probe[kProbeLen];
  if (!src.read(pos, probe, sizeof probe)) return false;
  const std::uint8_t level = probe[kLevelAt];
  const bool ok = level == 2 ? ReadLevel2(src, pos, h) : level <= 1 && ReadLevel0or1(src, pos, level, h);
  std::uint64_t dataEnd = 0;
  if (!ok || !AddWithin(h.dataOffset, h.packedSize, src.size(), dataEnd)) return false;
  h.entry.packedSize = h.packedSize;
  return true;
}

}  // namespace

Result ReadLhaLayout(const ByteSource& src, dosfmt::DosLayout& out) {
  std::uint64_t pos = 0;
  // Every header is at least 22 bytes long and pos only grows, so this ends.
  for (;;) {
    std::uint8_t first = 0;
    if (!src.read(pos, &first, 1)) return rc::ArchiveError;
    if (first == kEndOfArchive) {
      out.endAt = pos;
      return rc::Ok;
    }
    Header h;
    if (!ReadHeader(src, pos, h)) return rc::ArchiveError;
    dosfmt::DosItem item;
    item.listed = true;
    item.headerBegin = pos;
    item.headerEnd = h.dataOffset;
    item.dataBegin = h.dataOffset;
    item.dataEnd = h.dataOffset + h.packedSize;  // checked by ReadHeader
    item.rawName = std::move(h.rawName);
    item.entry = std::move(h.entry);
    out.items.push_back(std::move(item));
    pos = h.dataOffset + h.packedSize;
  }
}

Result ReadLhaDirectory(const ByteSource& src, ArchiveDirectory& out) {
  dosfmt::DosLayout layout;
  const Result r = ReadLhaLayout(src, layout);
  dosfmt::ListLayout(layout, out);
  return r;
}

bool LooksLikeLha(const ByteSource& src) {
  Header h;
  return ReadHeader(src, 0, h);
}

}  // namespace kx
