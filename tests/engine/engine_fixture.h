#pragma once
// Shared by the engine tests: what the peers say about an archive (Python's
// zipfile listing and testzip, `unzip -t`, `7zz t`), file times, leftover
// temporary files, and aiming a KxZip at an archive.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/kxzip.h"
#include "support/test_support.h"

namespace kxwt {

namespace fs = std::filesystem;
using FileMap = std::map<std::string, std::string>;  // relative name -> content

struct PyEntry {
  std::string name;
  std::uint64_t size = 0;
  std::uint64_t packed = 0;
  std::uint32_t crc = 0;
  std::string time;  // "YYYY-MM-DD HH:MM:SS" as stored (local DOS time)
  int method = -1;
  bool utf8 = false;
  bool encrypted = false;
  unsigned unixMode = 0;  // external attributes >> 16 when made by Unix, else 0
  bool unixTime = false;  // an extended timestamp field is there
};

// Python's listing; every entry is read and checked (testzip) unless encrypted.
std::vector<PyEntry> PyEntries(const fs::path& archive, std::string* comment = nullptr);
std::vector<std::string> PyNames(const fs::path& archive);
bool UnzipTestOk(const fs::path& archive);
bool SevenZipTestOk(const fs::path& archive, const std::string& password = "");

std::uint32_t Crc(const std::string& data);
std::string DosTimeText(std::time_t t);
void SetMtime(const fs::path& path, std::time_t t);
std::time_t Mtime(const fs::path& path);

// Names of leftover temporary files in a folder.
std::vector<std::string> Leftovers(const fs::path& folder);
// Every regular file below root (links left out), with its content.
FileMap Files(const fs::path& root);
// Every name below root, sorted, folders ending in "/"; empty when root is missing.
std::vector<std::string> Listing(const fs::path& root);

// Runs a peer in cwd; the test fails unless it exits with 0.
void Pack(const std::vector<std::string>& argv, const fs::path& cwd);
// Sets the archive, the file specification and (when given) the target folder.
void Aim(kx::KxZip& zip, const fs::path& archive, const std::string& spec = {}, const fs::path& target = {});

}  // namespace kxwt
