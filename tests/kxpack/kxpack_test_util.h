#pragma once
// Helpers for the kxpack tests: running the built program, sample file
// trees, the bytes of every member as the engine's layout reader finds them,
// and hand-made ARC, ARJ and LHA archives for the hostile cases.
#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <string>
#include <vector>

#include "engine/dosarc/dos_archive.h"
#include "support/test_support.h"

namespace kxtest::kxpack {

using kxtest::fs::path;

inline RunResult Kxpack(const std::vector<std::string>& args, const path& cwd) {
  std::vector<std::string> argv{std::string(KX_BIN_DIR) + "/kxpack"};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv, cwd);
}

inline void WriteTree(const path& root, const std::map<std::string, std::string>& files) {
  for (const auto& [name, content] : files) WriteFile(root / name, content);
}

// Text that packs well, bytes that do not, a long repetitive run and an
// empty file; below folders unless flat (ARC stores no folders).
inline std::map<std::string, std::string> SampleFiles(bool flat) {
  std::string text;
  for (int i = 0; i < 400; ++i) text += "Zeile " + std::to_string(i) + ": Die Katze schläft auf dem Sofa.\n";
  std::string runs;
  for (int i = 0; i < 3000; ++i) runs += std::string(std::size_t(i % 37 + 1), char('a' + i % 26));
  const std::string sub = flat ? "" : "sub/";
  const std::string deep = flat ? "" : "sub/tief/";
  return {{"text.txt", text}, {sub + "zufall.bin", RandomBytes(70000, 7)}, {deep + "runs.dat", runs},
          {"leer.txt", ""}};
}

// Two file trees (FilesUnder) alike; on a difference only the names and sizes are shown.
inline ::testing::AssertionResult SameFiles(const std::map<std::string, std::string>& actual,
                                            const std::map<std::string, std::string>& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure();
  for (const auto& [name, content] : expected) {
    const auto it = actual.find(name);
    if (it == actual.end()) failure << "missing " << name << "; ";
    else if (it->second != content)
      failure << name << " differs (" << it->second.size() << " bytes, expected " << content.size() << "); ";
  }
  for (const auto& [name, content] : actual) {
    if (!expected.count(name)) failure << "unexpected " << name << "; ";
  }
  return failure;
}

inline std::vector<std::string> Names(const std::map<std::string, std::string>& files) {
  std::vector<std::string> names;
  for (const auto& [name, content] : files) names.push_back(name);
  return names;
}

inline kx::dosarc::DosArchive Open(const path& archive) {
  kx::dosarc::DosArchive a;
  EXPECT_EQ(kx::dosarc::OpenDosArchive(archive.string(), a), kx::rc::Ok) << archive;
  return a;
}

inline std::string Bytes(const kx::ByteSource& src, std::uint64_t from, std::uint64_t to) {
  std::string b(std::size_t(to - from), '\0');
  EXPECT_TRUE(src.read(from, b.data(), b.size()));
  return b;
}

// Every listed member by name: its header and data as they lie in the file.
// ZOO moves its entries, so there the data and the checksum stand for it.
inline std::map<std::string, std::string> MemberBytes(const path& archive) {
  const auto a = Open(archive);
  std::map<std::string, std::string> out;
  for (const auto& item : a.layout.items) {
    if (!item.listed) continue;
    out[item.entry.name] = a.kind == kx::ArchiveKind::Zoo
                               ? Bytes(*a.source, item.dataBegin, item.dataEnd) + std::to_string(item.entry.crc)
                               : Bytes(*a.source, item.headerBegin, item.dataEnd);
  }
  return out;
}

inline std::vector<std::string> Listed(const path& archive) {
  std::vector<std::string> names;
  for (const auto& item : Open(archive).layout.items) {
    if (item.listed) names.push_back(item.entry.name);
  }
  return names;
}

// Leftover temporary files of extraction or of a rewrite.
inline bool HasTemporaries(const path& root) {
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.path().filename().string().find(".kxtmp-") != std::string::npos) return true;
  }
  return false;
}

inline std::uint16_t Crc16(const std::string& data) {
  std::uint16_t crc = 0;
  for (unsigned char c : data) {
    crc ^= c;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
  }
  return crc;
}

// One ARC member (29-byte header) followed by its data.
inline std::string ArcMember(unsigned method, const std::string& name, const std::string& data, std::uint32_t size,
                             std::uint32_t crc) {
  std::string h;
  Put8(h, 0x1A);
  Put8(h, method);
  std::string field = name;
  field.resize(13, '\0');
  h += field;
  Put32(h, std::uint32_t(data.size()));
  Put16(h, 0x5A87);  // 1 Dec 2024
  Put16(h, 0x6000);  // 12:00
  Put16(h, crc);
  Put32(h, size);
  return h + data;
}
inline std::string ArcStored(const std::string& name, const std::string& data) {
  return ArcMember(2, name, data, std::uint32_t(data.size()), Crc16(data));
}
inline const std::string kArcEnd("\x1a\x00", 2);

// An ARJ header frame around a basic header.
inline std::string ArjFrame(const std::string& basic) {
  std::string h;
  Put16(h, 0xEA60);
  Put16(h, std::uint32_t(basic.size()));
  h += basic;
  Put32(h, std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(basic.data()), uInt(basic.size()))));
  Put16(h, 0);
  return h;
}
inline std::string ArjBasic(unsigned type, unsigned flags, const std::string& name, std::uint32_t packed,
                            std::uint32_t size, std::uint32_t crc) {
  std::string b;
  Put8(b, 30);
  Put8(b, 11);
  Put8(b, 1);
  Put8(b, 0);
  Put8(b, flags);
  Put8(b, 0);  // stored
  Put8(b, type);
  Put8(b, 0);
  Put32(b, 0x59876000);
  Put32(b, packed);
  Put32(b, size);
  Put32(b, crc);
  Put16(b, 0);
  Put16(b, 0x20);
  Put16(b, 0);
  return b + name + std::string(1, '\0') + std::string(1, '\0');
}
struct ArjRow {
  std::string name;
  std::string data;
  unsigned flags = 0;
};
inline std::string ArjArchive(const std::vector<ArjRow>& rows) {
  std::string a = ArjFrame(ArjBasic(2, 0, "hand.arj", 0, 0, 0));
  for (const auto& r : rows) {
    const auto crc = std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(r.data.data()), uInt(r.data.size())));
    a += ArjFrame(ArjBasic(0, r.flags, r.name, std::uint32_t(r.data.size()), std::uint32_t(r.data.size()), crc));
    a += r.data;
  }
  return a + std::string("\x60\xea\x00\x00", 4);
}

// An LHA level 0 member, stored (-lh0-) or a folder (-lhd-), followed by its data.
inline std::string LhaLevel0(const std::string& name, const std::string& data, const char* method = "-lh0-") {
  std::string b;
  b += method;
  Put32(b, std::uint32_t(data.size()));
  Put32(b, std::uint32_t(data.size()));
  Put16(b, 0x6000);
  Put16(b, 0x5A87);
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
  return h + b + data;
}

}  // namespace kxtest::kxpack
