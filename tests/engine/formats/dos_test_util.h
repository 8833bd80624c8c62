#pragma once
// Helpers for the DOS archive reader tests: little-endian byte building for
// hand-made fixtures, the CRC-16 that ARC, LHA and ZOO use, reading a file
// through a reader, and checks that hostile variants fail cleanly.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

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

inline std::uint32_t DosStamp(int y, int mo, int d, int h, int mi, int s) {
  const std::uint32_t date = std::uint32_t(((y - 1980) << 9) | (mo << 5) | d);
  const std::uint32_t time = std::uint32_t((h << 11) | (mi << 5) | (s / 2));
  return (date << 16) | time;
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
