#pragma once
// What an add action takes from the file system, and the names it stores:
// the names of FileSpec and patterns resolved into files and
// folders, each with the entry name the StorePaths and LongNames options give.
//
// Pure functions of their arguments and the file system, any thread. Failure:
// CollectSources returns rc::FileNotFound when a named file or folder is
// missing or nothing at all was found; nothing is changed on disk.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "engine/kxzip.h"
#include "engine/result_codes.h"

namespace kx {

struct SourceItem {
  std::string path;        // as found on disk
  std::string storedName;  // entry name; folders end in "/"
  bool isFolder = false;
  std::uint64_t size = 0;
  std::time_t mtime = 0;
  mode_t mode = 0;
};

struct CollectOptions {
  StorePath storePaths = StorePath::Relative;  // full paths are kept without the root
  bool recurse = true;          // patterns also match in subfolders
  bool longNames = true;        // false: DOS 8.3 names
  // A file never to add (the archive itself), by device and inode; 0 for none.
  dev_t skipDevice = 0;
  ino_t skipInode = 0;
  // Called for each item as it is taken, with its index in the output, so
  // that work on it can begin while the rest is still being collected.
  std::function<void(std::size_t index, const SourceItem& item)> onItem;
};

Result CollectSources(const std::vector<std::string>& requested, const CollectOptions& options,
                      std::vector<SourceItem>& out);

bool HasWildcard(const std::string& text);
// fnmatch without special slashes; "*.*" matches every name, as on DOS.
bool MatchesPattern(const std::string& pattern, const std::string& name);

// One name component in DOS form: upper case, 8 + 3 characters, no blanks or
// characters DOS forbids ("Langer Name.html" → "LANGERNA.HTM").
std::string DosShortName(const std::string& component);
// Rewrites every item's stored name component by component into DOS form;
// different long names that meet in one short name get "~1", "~2", ... .
void ApplyShortNames(std::vector<SourceItem>& items);

}  // namespace kx
