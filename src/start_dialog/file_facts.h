#pragma once
// The file search: find-first / find-next over the entries a pattern names,
// each delivered as a FileFacts record (attributes, times in local time,
// size and names). A pattern is a path whose last part may hold "*" and "?"
// (matched regardless of letter case, "*.*" meaning every name); without
// them it names one entry exactly. Plain C++ over std::filesystem and statx,
// no Qt. A search belongs to its FileSearch object; any thread, one at a
// time. Failures are not reported: the search then finds nothing.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kx {

// The attribute bits of a found entry.
namespace fileattr {
inline constexpr std::uint32_t ReadOnly = 1;   // this user cannot write it
inline constexpr std::uint32_t Hidden = 2;     // its name begins with "."
inline constexpr std::uint32_t Directory = 16;
inline constexpr std::uint32_t Archive = 32;   // every entry that is no folder
}  // namespace fileattr

// A point in local time, to the second.
struct LocalDateTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

struct FileFacts {
  std::uint32_t attributes = 0;
  // The birth time where the file system keeps one (statx), else the time
  // of the last status change; createdIsBirthTime says which.
  LocalDateTime created;
  LocalDateTime modified;
  LocalDateTime accessed;
  std::uint32_t size = 0;  // the low 32 bits of the size
  // Display name: without a short name (always so here: this file system
  // keeps no 8.3 names) the long name in proper case. For showing only;
  // longName is the name on disk.
  std::string name;
  std::string longName;
  std::string shortName;  // always empty here
  bool createdIsBirthTime = false;
};

class FileSearch {
 public:
  // Starts a search; the display name of the first entry whose attributes
  // share a bit with mask (any entry when mask is 0), its facts in facts;
  // empty when nothing matches.
  std::string findFirst(const std::string& pattern, std::uint32_t mask, FileFacts& facts);
  // The next matching entry the same way; empty (and the search closed)
  // when there is none.
  std::string findNext(FileFacts& facts);

 private:
  std::vector<std::filesystem::path> found_;
  std::size_t next_ = 0;
  std::uint32_t mask_ = 0;
};

// Reads the facts of one entry (symbolic links followed); false when it
// cannot be read.
bool ReadFileFacts(const std::filesystem::path& path, FileFacts& facts);

// The first letter of each blank-separated word upper case, the rest lower
// case (ASCII letters; other bytes are kept).
std::string ProperCase(const std::string& text);

}  // namespace kx
