#pragma once
// Helpers for the DOS archive tests: hand-made ARC, ARJ and LHA members, the
// CRC-16 that ARC, LHA and ZOO use and ARJ's CRC-32, reading a file through a
// reader, and checks that hostile variants fail cleanly.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/codecs/codec_io.h"
#include "engine/io/byte_source.h"
#include "engine/entry.h"
#include "engine/formats/arc.h"
#include "engine/formats/arj.h"
#include "engine/formats/lha.h"
#include "engine/formats/zoo.h"
#include "support/test_support.h"

namespace kxtest::dos {

using kxtest::ReadFile;
using kxtest::TempDir;
using kxtest::WriteFile;

using Reader = kx::Result (*)(const kx::ByteSource&, kx::ArchiveDirectory&);
using Sniffer = bool (*)(const kx::ByteSource&);

using kxtest::Put16;
using kxtest::Put32;
using kxtest::Put8;
using kxtest::Set16;
using kxtest::Set32;

// CRC-16 with polynomial 0xA001 (reflected 0x8005), start 0.
inline std::uint16_t Crc16(std::string_view data) {
  std::uint16_t crc = 0;
  for (unsigned char c : data) {
    crc ^= c;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
  }
  return crc;
}

inline std::uint32_t Crc32(std::string_view data) {
  return kx::codec::Crc32(0, reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

inline std::uint32_t DosStamp(int y, int mo, int d, int h, int mi, int s) {
  const std::uint32_t date = std::uint32_t(((y - 1980) << 9) | (mo << 5) | d);
  const std::uint32_t time = std::uint32_t((h << 11) | (mi << 5) | (s / 2));
  return (date << 16) | time;
}

// The stamp of hand-made members: 7 Apr 2025, 12:00.
constexpr std::uint32_t kHandStamp = 0x5A876000;

// An ARC header (the oldest form, method 1, has no original size).
inline std::string ArcHeader(unsigned method, const std::string& name, std::uint32_t packed, std::uint16_t crc,
                             std::uint32_t size, std::uint32_t stamp = kHandStamp) {
  std::string h;
  Put8(h, 0x1A);
  Put8(h, method);
  std::string field = name;
  field.resize(13, '\0');
  h += field;
  Put32(h, packed);
  Put16(h, stamp >> 16);
  Put16(h, stamp & 0xffff);
  Put16(h, crc);
  if (method != 1) Put32(h, size);
  return h;
}
// One ARC member, its header and data; size is what the header claims.
inline std::string ArcMember(unsigned method, const std::string& name, const std::string& data, std::uint16_t crc,
                             std::uint32_t size) {
  return ArcHeader(method, name, std::uint32_t(data.size()), crc, size) + data;
}
inline std::string ArcMember(unsigned method, const std::string& name, const std::string& data, std::uint16_t crc) {
  return ArcMember(method, name, data, crc, std::uint32_t(data.size()));
}
inline std::string ArcStored(const std::string& name, const std::string& data) {
  return ArcMember(2, name, data, Crc16(data));
}
inline const std::string kArcEnd("\x1a\x00", 2);

// An ARJ header frame around a basic header, without extended headers.
inline std::string ArjFrame(const std::string& basic) {
  std::string h;
  Put16(h, 0xEA60);
  Put16(h, std::uint32_t(basic.size()));
  h += basic;
  Put32(h, Crc32(basic));
  Put16(h, 0);
  return h;
}
// An ARJ basic header: type 2 is the archive's own, 0 a file.
inline std::string ArjBasic(unsigned type, unsigned flags, const std::string& name, std::uint32_t packed,
                            std::uint32_t size, std::uint32_t crc, unsigned method = 0) {
  std::string b;
  for (unsigned v : {30u, 11u, 1u, 0u, flags, method, type, 0u}) Put8(b, v);
  Put32(b, kHandStamp);
  Put32(b, packed);
  Put32(b, size);
  Put32(b, crc);
  Put16(b, 0);     // where the file part of the name starts
  Put16(b, 0x20);  // attributes
  Put16(b, 0);     // chapters
  return b + name + std::string(1, '\0') + std::string(1, '\0');
}
struct ArjRow {
  std::string name;
  std::string data;  // packed with `method`
  unsigned flags = 0;
  unsigned method = 0;
  std::string original = data;  // what `data` unpacks to
};
inline std::string ArjArchive(const std::vector<ArjRow>& rows) {
  std::string a = ArjFrame(ArjBasic(2, 0, "hand.arj", 0, 0, 0));
  for (const auto& r : rows) {
    a += ArjFrame(ArjBasic(0, r.flags, r.name, std::uint32_t(r.data.size()), std::uint32_t(r.original.size()),
                           Crc32(r.original), r.method));
    a += r.data;
  }
  return a + std::string("\x60\xea\x00\x00", 4);
}

// An LHA level 0 member: `packed` is `data` packed with `method`.
inline std::string LhaMember(const char* method, const std::string& name, const std::string& data,
                             const std::string& packed) {
  std::string b = method;
  Put32(b, std::uint32_t(packed.size()));
  Put32(b, std::uint32_t(data.size()));
  Put32(b, kHandStamp);
  Put8(b, 0x20);
  Put8(b, 0);
  Put8(b, std::uint32_t(name.size()));
  b += name;
  Put16(b, Crc16(data));
  std::uint8_t sum = 0;
  for (unsigned char c : b) sum = std::uint8_t(sum + c);
  std::string h;
  Put8(h, std::uint32_t(b.size()));
  Put8(h, sum);
  return h + b + packed;
}
// Stored (-lh0-) or a folder (-lhd-).
inline std::string LhaLevel0(const std::string& name, const std::string& data, const char* method = "-lh0-") {
  return LhaMember(method, name, data, data);
}

inline kx::Result ReadBytes(Reader reader, const std::string& bytes, kx::ArchiveDirectory& dir) {
  kx::MemorySource src({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  return reader(src, dir);
}

inline bool Sniff(Sniffer sniffer, const std::string& bytes) {
  kx::MemorySource src({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  return sniffer(src);
}

// The modification time of a file as local time.
inline kx::DateTime LocalMtime(const fs::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return {};
  std::tm tm{};
  ::localtime_r(&st.st_mtime, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// A CRC-16 as the peers list it: four lowercase hex digits.
inline std::string Hex16(std::uint32_t crc) {
  char b[16];
  std::snprintf(b, sizeof b, "%04x", crc);
  return b;
}

// Every proper prefix of a valid archive is cut short: an error, and the
// entries read before the cut are the leading entries of the whole listing,
// more of them the later the cut; a cut in the end marker keeps them all.
inline void ExpectEveryPrefixFails(Reader reader, const std::string& whole) {
  kx::ArchiveDirectory full;
  ASSERT_EQ(ReadBytes(reader, whole, full), kx::rc::Ok);
  std::size_t before = 0;
  for (std::size_t n = 0; n < whole.size(); ++n) {
    kx::ArchiveDirectory part;
    ASSERT_EQ(ReadBytes(reader, whole.substr(0, n), part), kx::rc::ArchiveError) << "prefix of " << n << " bytes";
    ASSERT_LE(part.entries.size(), full.entries.size());
    ASSERT_GE(part.entries.size(), before) << "prefix of " << n << " bytes";
    before = part.entries.size();
    for (std::size_t i = 0; i < part.entries.size(); ++i) EXPECT_EQ(part.entries[i].name, full.entries[i].name);
  }
  EXPECT_EQ(before, full.entries.size()) << "a cut in the end marker";
}

// A hand-made or damaged archive: an error after the entries before the damage.
struct HostileBytes {
  const char* label;
  std::string bytes;
  std::size_t entriesBefore;
};

inline void ExpectArchiveError(Reader reader, const HostileBytes& row) {
  kx::ArchiveDirectory dir;
  EXPECT_EQ(ReadBytes(reader, row.bytes, dir), kx::rc::ArchiveError);
  EXPECT_EQ(dir.entries.size(), row.entriesBefore);
}

}  // namespace kxtest::dos
