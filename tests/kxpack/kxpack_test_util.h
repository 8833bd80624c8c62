#pragma once
// Helpers for the kxpack tests: running the built program, sample file
// trees, the bytes of every member as the engine's layout reader finds them;
// the hand-made archives of the hostile cases come from the DOS test helpers.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/dosarc/dos_archive.h"
#include "engine/formats/dos_test_util.h"
#include "support/test_support.h"

namespace kxtest::kxpack {

using kxtest::fs::path;
using namespace kxtest::dos;

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

}  // namespace kxtest::kxpack
