#include "engine/zip/zip_add_collect.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <filesystem>
#include <fnmatch.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unordered_set>

#include "engine/io/replace_file.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

std::string WithoutTrailingSlashes(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

fs::path Absolute(const std::string& p) {
  std::error_code ec;
  fs::path abs = fs::absolute(p, ec);
  if (ec) abs = p;
  return abs.lexically_normal();
}

bool MatchesEverything(const std::string& pattern) { return pattern == "*" || pattern == "*.*"; }

// Collects into `out`, giving stored names relative to `base` (StorePath::Relative),
// absolute without the root (1) or bare names (0).
class Collector {
 public:
  Collector(const CollectOptions& options, std::vector<SourceItem>& out) : options_(options), out_(out) {}

  void AddFile(const fs::path& absPath, const struct stat& st, const fs::path& base) {
    if (SkipInode(st) || IsTemporaryName(absPath.filename().string())) return;
    SourceItem item;
    item.path = absPath.string();
    item.storedName = StoredName(absPath, base);
    item.size = static_cast<std::uint64_t>(st.st_size);
    item.mtime = st.st_mtime;
    item.mode = st.st_mode;
    Push(std::move(item));
  }

  void AddFolder(const fs::path& absPath, const struct stat& st, const fs::path& base) {
    if (options_.storePaths == StorePath::NamesOnly) return;  // a bare name has no folder to keep
    SourceItem item;
    item.path = absPath.string();
    item.storedName = StoredName(absPath, base);
    if (item.storedName.empty() || item.storedName == ".") return;
    item.storedName += '/';
    item.isFolder = true;
    item.mtime = st.st_mtime;
    item.mode = st.st_mode;
    Push(std::move(item));
  }

  // Files of `folder` matching `pattern`; subfolders when `descend`.
  void Walk(const fs::path& folder, const std::string& pattern, bool descend, const fs::path& base) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;  // an unreadable folder contributes nothing
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
      const fs::path child = folder / name;
      struct stat lst {}, st {};
      if (::lstat(child.c_str(), &lst) != 0 || ::stat(child.c_str(), &st) != 0) continue;  // dangling link
      if (S_ISDIR(st.st_mode)) {
        // Links to folders are not followed: they can lead in circles.
        if (!descend || S_ISLNK(lst.st_mode)) continue;
        if (MatchesEverything(pattern)) AddFolder(child, st, base);
        Walk(child, pattern, descend, base);
      } else if (S_ISREG(st.st_mode) && MatchesPattern(pattern, name)) {
        AddFile(child, st, base);
      }
    }
  }

 private:
  bool SkipInode(const struct stat& st) const {
    return options_.skipInode != 0 && st.st_dev == options_.skipDevice && st.st_ino == options_.skipInode;
  }

  std::string StoredName(const fs::path& absPath, const fs::path& base) const {
    switch (options_.storePaths) {
      case StorePath::NamesOnly: return absPath.filename().string();
      case StorePath::Full: return absPath.relative_path().generic_string();
      default: return absPath.lexically_relative(base).generic_string();
    }
  }

  void Push(SourceItem item) {
    if (item.storedName.empty() || !seen_.insert(item.storedName).second) return;  // first one wins
    out_.push_back(std::move(item));
    if (options_.onItem) options_.onItem(out_.size() - 1, out_.back());
  }

  const CollectOptions& options_;
  std::vector<SourceItem>& out_;
  std::unordered_set<std::string> seen_;
};

// Replaces runs of bytes that DOS does not allow in names.
std::string DosChars(const std::string& s) {
  static const std::string kForbidden = " .\"*+,/:;<=>?[\\]|";
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      // One '_' per UTF-8 character, not per byte.
      while (i + 1 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xc0) == 0x80) ++i;
      out += '_';
    } else if (c == ' ' || c == '.') {
      // DOS drops blanks and inner dots.
    } else if (c < 0x20 || kForbidden.find(static_cast<char>(c)) != std::string::npos) {
      out += '_';
    } else {
      out += static_cast<char>(std::toupper(c));
    }
  }
  return out;
}

std::string WithTilde(const std::string& shortName, int n) {
  const auto dot = shortName.find('.');
  const std::string base = shortName.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : shortName.substr(dot);
  const std::string suffix = "~" + std::to_string(n);
  return base.substr(0, 8 - std::min<std::size_t>(8, suffix.size())) + suffix + ext;
}

}  // namespace

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

bool MatchesPattern(const std::string& pattern, const std::string& name) {
  return MatchesEverything(pattern) || ::fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
}

Result CollectSources(const std::vector<std::string>& requested, const CollectOptions& options,
                      std::vector<SourceItem>& out) {
  Collector collector(options, out);
  for (const auto& rawName : requested) {
    if (rawName.empty()) continue;
    const std::string request = WithoutTrailingSlashes(rawName);
    const auto slash = request.rfind('/');
    const std::string last = slash == std::string::npos ? request : request.substr(slash + 1);
    if (HasWildcard(last)) {
      const std::string folderPart = slash == std::string::npos ? "" : request.substr(0, slash == 0 ? 1 : slash);
      const fs::path folder = Absolute(folderPart.empty() ? "." : folderPart);
      // "sub/*.txt" keeps "sub/" in the names; "*.txt" names files of the current folder.
      const fs::path base = folderPart.empty() ? folder : folder.parent_path();
      collector.Walk(folder, last, options.recurse, base);
      continue;
    }
    const fs::path abs = Absolute(request);
    struct stat st {};
    if (::stat(abs.c_str(), &st) != 0) return rc::FileNotFound;
    const fs::path base = abs.parent_path();
    if (S_ISDIR(st.st_mode)) {
      collector.AddFolder(abs, st, base);
      collector.Walk(abs, "*", true, base);  // a named folder always comes with its contents
    } else if (S_ISREG(st.st_mode)) {
      collector.AddFile(abs, st, base);
    }
  }
  return out.empty() ? rc::FileNotFound : rc::Ok;
}

std::string DosShortName(const std::string& component) {
  std::string stem = component;
  std::string ext;
  const auto dot = component.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    stem = component.substr(0, dot);
    ext = component.substr(dot + 1);
  }
  std::string base = DosChars(stem).substr(0, 8);
  ext = DosChars(ext).substr(0, 3);
  if (base.empty()) base = "_";
  return ext.empty() ? base : base + "." + ext;
}

void ApplyShortNames(std::vector<SourceItem>& items) {
  // Per short parent folder: long component → short component, and the short ones in use.
  std::map<std::string, std::map<std::string, std::string>> chosen;
  std::map<std::string, std::set<std::string>> used;
  for (auto& item : items) {
    std::string name = item.storedName;
    const bool folder = !name.empty() && name.back() == '/';
    if (folder) name.pop_back();
    std::string shortPath;
    std::size_t start = 0;
    while (start <= name.size()) {
      const auto end = std::min(name.find('/', start), name.size());
      const std::string longPart = name.substr(start, end - start);
      auto& mine = chosen[shortPath];
      auto it = mine.find(longPart);
      if (it == mine.end()) {
        std::string shortPart = DosShortName(longPart);
        auto& taken = used[shortPath];
        for (int n = 1; taken.count(shortPart); ++n) shortPart = WithTilde(DosShortName(longPart), n);
        taken.insert(shortPart);
        it = mine.emplace(longPart, shortPart).first;
      }
      shortPath += (shortPath.empty() ? "" : "/") + it->second;
      start = end + 1;
    }
    item.storedName = folder ? shortPath + "/" : shortPath;
  }
}

}  // namespace kx
