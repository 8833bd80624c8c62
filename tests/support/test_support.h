#pragma once
// Shared helpers for tests: temporary folders, files and running real programs
// (the peers) without a shell.
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kxtest {

namespace fs = std::filesystem;

// A fresh folder under the system temporary folder, removed with everything in
// it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

struct RunResult {
  int exitCode = -1;   // -1 when the program could not be started or was killed
  std::string output;  // standard output and standard error together
};

// Runs argv[0] (looked up in PATH) with the arguments, in cwd when given.
// Fails the current test when the program is missing: peers are never optional.
RunResult Run(const std::vector<std::string>& argv, const fs::path& cwd = {},
              const std::vector<std::string>& extraEnv = {});

void WriteFile(const fs::path& path, const std::string& content);
std::string ReadFile(const fs::path& path);

// Every regular file below root, by its path inside root, with its content;
// empty when root is missing.
std::map<std::string, std::string> FilesUnder(const fs::path& root);

// The entry names of an archive of any kind as lsar (unar's lister) reads them.
std::set<std::string> PeerNames(const fs::path& archive);

// Deterministic pseudo-random bytes (incompressible test data).
std::string RandomBytes(std::size_t n, unsigned seed = 1);

// Little-endian fields appended to or patched into hand-made archive bytes.
inline void Put8(std::string& s, unsigned v) { s += static_cast<char>(v & 0xff); }
inline void Put16(std::string& s, std::uint32_t v) {
  Put8(s, v);
  Put8(s, v >> 8);
}
inline void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xffff);
  Put16(s, v >> 16);
}
inline void Set16(std::string& s, std::size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xff);
  s[at + 1] = static_cast<char>((v >> 8) & 0xff);
}
inline void Set32(std::string& s, std::size_t at, std::uint32_t v) {
  Set16(s, at, v & 0xffff);
  Set16(s, at + 2, v >> 16);
}

}  // namespace kxtest
