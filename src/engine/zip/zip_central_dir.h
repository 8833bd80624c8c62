#pragma once
// A small, bounds-checked reader of a ZIP archive's end record and central
// directory, over any ByteSource (a file, a split set, a buffer). libzip
// reads the same records to open the archive; we read them ourselves because
// libzip keeps the local header offsets and the raw DOS dates to itself, and
// because the checks that guard extraction (spans, counts) need them.
//
// End of central directory (EOCD), at the end of the archive:
//
//   +0  u32 0x06054b50      +4  u16 this disk     +6  u16 disk of the directory
//   +8  u16 entries here    +10 u16 entries total
//   +12 u32 directory size  +16 u32 directory offset
//   +20 u16 comment length  +22 comment
//
// Zip64 locator (20 bytes, just before the EOCD) and Zip64 end record:
//
//   locator: +0 u32 0x07064b50  +4 u32 disk  +8 u64 offset of the Zip64 record  +16 u32 disks
//   record:  +0 u32 0x06064b50  +4 u64 size of the rest ... +24 u64 entries here
//            +32 u64 entries total  +40 u64 directory size  +48 u64 directory offset
//
// Central directory record (46 bytes + name + extra + comment):
//
//   +0  u32 0x02014b50  +4  u16 made by (high byte: host)  +6 u16 needed
//   +8  u16 flags       +10 u16 method  +12 u16 DOS time  +14 u16 DOS date
//   +16 u32 CRC-32      +20 u32 packed size  +24 u32 size
//   +28 u16 name length +30 u16 extra length  +32 u16 comment length
//   +34 u16 disk start  +36 u16 internal attributes  +38 u32 external attributes
//   +42 u32 local header offset  +46 name, extra, comment
//
// Extra fields: u16 id, u16 length, data. 0x0001 (Zip64) holds, in this
// order, only the fields whose 32-bit value is 0xFFFFFFFF: size, packed
// size, local header offset. 0x9901 (AES): +0 u16 version, +2 "AE",
// +4 u8 strength (1..3), +5 u16 the real method.
//
// 0x7075 (Info-ZIP Unicode path), a second name for the entry:
//
//   +0 u8 version (1)  +1 u32 CRC-32 of the header's name bytes  +5 the name in UTF-8
//
// A field whose CRC does not match the header's name was left behind by a
// tool that renamed the entry without knowing the field: it is stale.
//
// Pure functions on the calling thread; results are engine result codes.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/io/byte_source.h"
#include "engine/result_codes.h"
#include "engine/zip/zip_format.h"

namespace kx {

struct CdRecord {
  std::uint16_t madeBy = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;        // the real method (AES entries: from 0x9901)
  std::uint16_t dosTime = 0;
  std::uint16_t dosDate = 0;
  std::uint32_t crc = 0;
  std::uint64_t packedSize = 0;
  std::uint64_t size = 0;
  std::uint32_t diskStart = 0;
  std::uint32_t externalAttributes = 0;
  std::uint64_t localOffset = 0;
  std::uint8_t aesStrength = 0;    // 0 none, 1..3 = AES-128/192/256
  std::string rawName;             // all stored bytes, NULs included
  // The 0x7075 name, only when its version is 1 and its CRC matches rawName
  // (bytes as stored, not yet checked for valid UTF-8).
  bool hasUnicodeName = false;
  std::string unicodeName;
};

struct CentralDirectory {
  std::uint64_t endRecordOffset = 0;
  std::uint64_t directoryOffset = 0;
  std::uint64_t directorySize = 0;
  std::uint64_t entryCount = 0;
  std::string comment;             // raw bytes
  std::vector<CdRecord> records;
  // After rc::ArchiveError: the offset of the bytes found wanting (the
  // record, the directory, the end record), so a split set can name the volume.
  std::uint64_t failedAt = 0;
};

// Offset of the end record of the archive that ends at `end`. With exactEnd
// the record and its comment must end exactly there; otherwise the last
// record that fits wins (trailing junk after a ZIP is tolerated).
bool FindEndRecordIn(const ByteSource& src, std::uint64_t end, bool exactEnd, std::uint64_t& offset);

// Where the end record at endAt (and a Zip64 end record before it, when a
// locator points to one) says the central directory lies. limit is where
// the directory must end: the start of the record that describes it.
struct DirectoryPlace {
  std::uint64_t entryCount = 0;
  std::uint64_t size = 0;
  std::uint64_t offset = 0;
  std::uint64_t limit = 0;
  std::string comment;        // raw bytes
  std::uint64_t failedAt = 0;  // where a record was missing or cut short
};

// rc::ArchiveError when a record is cut short, a locator points to no Zip64
// end record, or the directory would not end before its limit.
Result ReadDirectoryPlace(const ByteSource& src, std::uint64_t endAt, DirectoryPlace& out);

// rc::UnknownArchiveType: no end record. rc::ArchiveError: a directory that
// runs past the end, a count that cannot fit, a record that is cut short or
// has a wrong signature.
Result ReadCentralDirectory(const ByteSource& src, CentralDirectory& out);

// The same reading, one record at a time in directory order, without keeping
// the records (out.records stays empty): visit gets each one, and may move
// its strings out; a result of visit other than rc::Ok ends the reading with
// that result. A directory of a million entries is read through a window of a
// few megabytes.
Result ForEachCentralRecord(const ByteSource& src, CentralDirectory& out,
                            const std::function<Result(CdRecord&)>& visit);

}  // namespace kx
