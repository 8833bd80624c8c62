#pragma once
// The ZIP format's numbers in one place: every signature, record layout,
// flag, method, host and extra-field id the engine reads or writes. All
// values are little-endian on disk; offsets count from the record's start.
#include <cstddef>
#include <cstdint>

namespace kx {

namespace zipsig {
inline constexpr std::uint32_t kLocalHeader = 0x04034b50;     // "PK\3\4"
inline constexpr std::uint32_t kCentralHeader = 0x02014b50;   // "PK\1\2"
inline constexpr std::uint32_t kEndRecord = 0x06054b50;       // "PK\5\6"
inline constexpr std::uint32_t kZip64Locator = 0x07064b50;    // "PK\6\7"
inline constexpr std::uint32_t kZip64EndRecord = 0x06064b50;  // "PK\6\6"
inline constexpr std::uint32_t kDescriptor = 0x08074b50;      // "PK\7\8"
// A spanned archive starts with the descriptor's signature; tools that
// meant to span and wrote one medium put "PK00" there.
inline constexpr std::uint32_t kSpanMarker = kDescriptor;
inline constexpr std::uint32_t kSpanMarkerTemporary = 0x30304b50;  // "PK00"
inline constexpr std::size_t kSize = 4;
}  // namespace zipsig

namespace zipfmt {

// Local file header, the start of every entry's bytes:
//
//   +0  u32 signature   +4  u16 needed   +6  u16 flags    +8  u16 method
//   +10 u16 DOS time    +12 u16 DOS date +14 u32 CRC-32
//   +18 u32 packed size +22 u32 size     +26 u16 name length
//   +28 u16 extra length                 +30 name, extra, then the data
namespace local {
inline constexpr std::size_t kFixedSize = 30;
inline constexpr std::size_t kFlagsAt = 6;
inline constexpr std::size_t kMethodAt = 8;
inline constexpr std::size_t kTimeAt = 10;
inline constexpr std::size_t kDateAt = 12;
inline constexpr std::size_t kCrcAt = 14;
inline constexpr std::size_t kPackedAt = 18;
inline constexpr std::size_t kSizeAt = 22;
inline constexpr std::size_t kNameLengthAt = 26;
inline constexpr std::size_t kExtraLengthAt = 28;
}  // namespace local

// Data descriptor after an entry's data (flag::kDescriptor): CRC-32, packed
// size, size; 32-bit sizes without the optional signature, 64-bit with it.
namespace descriptor {
inline constexpr std::size_t kSmall = 12;
inline constexpr std::size_t kLarge = 24;
}  // namespace descriptor

// Central directory record:
//
//   +0  u32 signature   +4  u16 made by (high byte: host)   +6  u16 needed
//   +8  u16 flags       +10 u16 method   +12 u16 DOS time   +14 u16 DOS date
//   +16 u32 CRC-32      +20 u32 packed size                 +24 u32 size
//   +28 u16 name length +30 u16 extra length                +32 u16 comment length
//   +34 u16 start disk  +36 u16 internal attributes         +38 u32 external attributes
//   +42 u32 local header offset                             +46 name, extra, comment
namespace central {
inline constexpr std::size_t kFixedSize = 46;
inline constexpr std::size_t kMadeByAt = 4;
inline constexpr std::size_t kFlagsAt = 8;
inline constexpr std::size_t kMethodAt = 10;
inline constexpr std::size_t kTimeAt = 12;
inline constexpr std::size_t kDateAt = 14;
inline constexpr std::size_t kCrcAt = 16;
inline constexpr std::size_t kPackedAt = 20;
inline constexpr std::size_t kSizeAt = 24;
inline constexpr std::size_t kNameLengthAt = 28;
inline constexpr std::size_t kExtraLengthAt = 30;
inline constexpr std::size_t kCommentLengthAt = 32;
inline constexpr std::size_t kDiskAt = 34;
inline constexpr std::size_t kExternalAt = 38;
inline constexpr std::size_t kLocalOffsetAt = 42;
}  // namespace central

// End-of-central-directory record:
//
//   +0  u32 signature
//   +4  u16 number of this disk          +6  u16 disk where the directory starts
//   +8  u16 entries on this disk         +10 u16 entries in total
//   +12 u32 size of the central directory
//   +16 u32 offset of the central directory
//   +20 u16 comment length               +22 comment bytes
namespace eocd {
inline constexpr std::size_t kFixedSize = 22;
inline constexpr std::size_t kDiskAt = 4;
inline constexpr std::size_t kDirDiskAt = 6;
inline constexpr std::size_t kHereAt = 8;
inline constexpr std::size_t kCountAt = 10;
inline constexpr std::size_t kDirSizeAt = 12;
inline constexpr std::size_t kDirOffsetAt = 16;
inline constexpr std::size_t kCommentLengthAt = 20;
inline constexpr std::size_t kMaxComment = 0xffff;
}  // namespace eocd

// Zip64 end-of-central-directory locator, right before the end record:
//
//   +0  u32 signature   +4  u32 disk of the Zip64 end record
//   +8  u64 offset of the Zip64 end record   +16 u32 number of disks
namespace locator {
inline constexpr std::size_t kSize = 20;
inline constexpr std::size_t kDiskAt = 4;
inline constexpr std::size_t kRecordAt = 8;
inline constexpr std::size_t kDisksAt = 16;
}  // namespace locator

// Zip64 end-of-central-directory record:
//
//   +0  u32 signature   +4  u64 size of the rest (from +12)
//   +12 u16 made by     +14 u16 needed   +16 u32 this disk   +20 u32 directory's disk
//   +24 u64 entries on this disk         +32 u64 entries in total
//   +40 u64 directory size               +48 u64 directory offset
namespace zip64eocd {
inline constexpr std::size_t kFixedSize = 56;
inline constexpr std::size_t kSizeAt = 4;
inline constexpr std::size_t kLead = 12;  // the size field counts from here
inline constexpr std::size_t kDiskAt = 16;
inline constexpr std::size_t kDirDiskAt = 20;
inline constexpr std::size_t kHereAt = 24;
inline constexpr std::size_t kCountAt = 32;
inline constexpr std::size_t kDirSizeAt = 40;
inline constexpr std::size_t kDirOffsetAt = 48;
inline constexpr std::uint16_t kVersion = 45;
}  // namespace zip64eocd

// General-purpose flags.
namespace flag {
inline constexpr std::uint16_t kEncrypted = 0x0001;
inline constexpr std::uint16_t kDescriptor = 0x0008;
inline constexpr std::uint16_t kStrongEncryption = 0x0040;
inline constexpr std::uint16_t kUtf8 = 0x0800;
inline constexpr std::uint16_t kMaskedHeaders = 0x2000;
}  // namespace flag

namespace method {
inline constexpr std::uint16_t kStore = 0;
inline constexpr std::uint16_t kDeflate = 8;
inline constexpr std::uint16_t kAes = 99;  // the real method is in the AES extra field
}  // namespace method

// Hosts of "made by".
namespace host {
inline constexpr std::uint8_t kDos = 0;
inline constexpr std::uint8_t kUnix = 3;
inline constexpr std::uint8_t kNtfs = 10;
inline constexpr std::uint8_t kVfat = 14;
inline constexpr std::uint8_t kOsx = 19;
}  // namespace host

// Extra fields: u16 id, u16 length, then the data.
namespace extra {
inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::uint16_t kZip64 = 0x0001;
inline constexpr std::uint16_t kExtendedTimestamp = 0x5455;  // "UT"
inline constexpr std::uint16_t kUnicodePath = 0x7075;        // "up"
inline constexpr std::uint16_t kAes = 0x9901;
}  // namespace extra

// AES extra field: u16 vendor version, u16 vendor "AE", u8 strength, u16 method.
namespace aesextra {
inline constexpr std::size_t kStrengthAt = 4;
inline constexpr std::size_t kMethodAt = 5;
inline constexpr std::size_t kSize = 7;
}  // namespace aesextra

// Unicode path field: u8 version, u32 CRC-32 of the header's name, the name.
namespace unicodepath {
inline constexpr std::uint8_t kVersion = 1;
inline constexpr std::size_t kCrcAt = 1;
inline constexpr std::size_t kNameAt = 5;
}  // namespace unicodepath

// Extended timestamp: u8 flags, then u32 Unix times in flag order.
namespace timestamp {
inline constexpr std::uint8_t kHasMtime = 0x01;
inline constexpr std::size_t kSize = 5;  // flags and the modification time
}  // namespace timestamp

// A 16- or 32-bit field holding its maximum: the value is in the Zip64 field.
inline constexpr std::uint16_t kSaturated16 = 0xffff;
inline constexpr std::uint32_t kSaturated32 = 0xffffffff;

}  // namespace zipfmt
}  // namespace kx
