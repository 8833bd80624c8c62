#pragma once
// Small pieces the four DOS archive readers share: bounded reads, overflow-safe
// offset arithmetic, name decoding and attribute mapping. Pure functions.
//
// EntryInfo::method holds each format's own number: ARJ 0..4, ARC 1..19
// (30 for folders), ZOO 0..2; LHA has a five-character ID such as "-lh5-",
// reported as (third character << 8) | fourth character, e.g. 'h' << 8 | '5'.
// Times are local: DOS date and time as stored, Unix times (LHA level 2,
// ARJ from Unix hosts) converted to local time.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/io/byte_source.h"
#include "engine/entry.h"

namespace kx::dosfmt {

// Reads exactly n bytes at offset into buf; false when they are not all there.
bool ReadBlock(const ByteSource& src, std::uint64_t offset, std::size_t n, std::vector<std::uint8_t>& buf);

// out = a + b when that neither overflows nor passes limit.
inline bool AddWithin(std::uint64_t a, std::uint64_t b, std::uint64_t limit, std::uint64_t& out) {
  if (a > limit || b > limit - a) return false;
  out = a + b;
  return true;
}

// The bytes up to the first NUL (all of them when there is none).
std::string_view UpToNul(std::string_view raw);

// A stored DOS path (code page 437) as an entry name: UTF-8, "\" and the
// given extra separator byte (0 for none) turned into "/".
std::string DosPathToName(std::string_view raw, char extraSeparator = 0);

// Joins a folder part and a file part with exactly one "/" between them.
std::string JoinPath(const std::string& folder, const std::string& file);

// "name" -> "name/" for folder entries (an empty name stays empty).
std::string AsFolderName(std::string name);

// DOS attribute bits for a Unix st_mode as some archivers store it: folder
// from the type bits, read-only when the owner may not write.
std::uint32_t AttributesFromUnixMode(std::uint32_t mode);

// Seconds since 1970 (UTC) as local time.
DateTime FromUnixTimeLocal(std::int64_t seconds);

// The name bytes worth checking of a stored name field: cut at the first NUL
// when only NULs follow it (terminator, padding), else whole, so that a name
// hiding more bytes behind a NUL is seen and refused by CleanEntryName.
std::string StoredNameBytes(std::string_view field);

// One item of a DOS archive as it lies in the file: every header the readers
// walk (listed entries and the items they skip, such as ARJ labels or ARC
// information items), with the places the update code copies through
// unchanged. Offsets are absolute; ends are one past the last byte.
struct DosItem {
  EntryInfo entry;                 // meaningful when listed
  bool listed = false;             // a file or folder of the listing
  bool deleted = false;            // ZOO: an entry marked deleted (not listed)
  std::string rawName;             // the stored name bytes (StoredNameBytes)
  std::uint64_t headerBegin = 0;   // the header (ZOO: the directory entry)
  std::uint64_t headerEnd = 0;
  std::uint64_t dataBegin = 0;     // the packed data
  std::uint64_t dataEnd = 0;
  // ARC: the folder item this one lies in (-1: top level); for a folder, where
  // the end marker of its nested run lies (its nested bytes are dataBegin..dataEnd).
  std::int64_t parent = -1;
  std::uint64_t nestedEndMarker = 0;
  // ZOO: the next-entry pointer as stored, and the entry's comment.
  std::uint64_t next = 0;
  std::uint64_t commentAt = 0;
  std::uint64_t commentLength = 0;
};

// The items of a whole archive in file order, and what surrounds them.
struct DosLayout {
  std::vector<DosItem> items;
  std::uint64_t itemsBegin = 0;  // bytes before it: ARJ main header, ZOO archive header
  std::uint64_t endAt = 0;       // the end marker (ZOO: the end entry)
  std::string comment;           // archive comment, UTF-8
  std::uint64_t commentAt = 0;   // ZOO: where the archive comment lies
  std::uint64_t commentLength = 0;
};

// The listing of a layout: its listed entries in order, and the comment.
void ListLayout(const DosLayout& layout, ArchiveDirectory& out);

}  // namespace kx::dosfmt
