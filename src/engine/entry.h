#pragma once
// One archive entry as every directory reader of the engine reports it, and
// the directory of a whole archive. Plain values, no ownership tricks.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace kx {

// DOS attribute bits as the archive formats store them.
namespace attr {
inline constexpr std::uint32_t ReadOnly = 0x01;
inline constexpr std::uint32_t Hidden = 0x02;
inline constexpr std::uint32_t System = 0x04;
inline constexpr std::uint32_t Folder = 0x10;
inline constexpr std::uint32_t Archive = 0x20;
}  // namespace attr

// A local date and time as stored (DOS archives keep local time). Zero year
// means "no valid date".
struct DateTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
  friend bool operator==(const DateTime&, const DateTime&) = default;
};

struct EntryInfo {
  std::string name;              // UTF-8, "/" between components, folders end in "/"
  std::uint64_t size = 0;        // uncompressed bytes
  std::uint64_t packedSize = 0;  // compressed bytes as stored
  std::uint32_t crc = 0;         // the format's checksum (CRC-32, or CRC-16 widened)
  std::uint32_t attributes = 0;  // DOS attribute bits (attr::...)
  DateTime modified;
  bool encrypted = false;
  bool isFolder = false;
  std::uint16_t method = 0;      // the format's own method number
};

struct ArchiveDirectory {
  std::vector<EntryInfo> entries;
  std::string comment;           // UTF-8; empty when the format or archive has none
};

// "TT.MM.JJJJ" and "HH:MM:SS"; empty texts for an invalid date.
std::string FormatDate(const DateTime& dt);
std::string FormatTime(const DateTime& dt);

// Decodes an MS-DOS packed date and time (as ZIP, ARJ, LHA level 0/1 and ZOO store them).
DateTime FromDosDateTime(std::uint16_t dosDate, std::uint16_t dosTime);

// A stored local date and time as seconds since 1970 (the system decides
// about daylight saving time); -1 for "no valid date".
std::time_t ToLocalTime(const DateTime& dt);

}  // namespace kx
