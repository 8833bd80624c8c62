#include "start_dialog/file_facts.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <system_error>

namespace kx {
namespace {

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

LocalDateTime ToLocal(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return {};
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

bool Passes(std::uint32_t attributes, std::uint32_t mask) { return mask == 0 || (attributes & mask) != 0; }

}  // namespace

std::string ProperCase(const std::string& text) {
  std::string out = text;
  bool wordStart = true;
  for (char& c : out) {
    const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\0';
    if (c >= 'a' && c <= 'z' && wordStart) c = static_cast<char>(c - 'a' + 'A');
    else if (c >= 'A' && c <= 'Z' && !wordStart) c = static_cast<char>(c - 'A' + 'a');
    wordStart = blank;
  }
  return out;
}

bool ReadFileFacts(const std::filesystem::path& path, FileFacts& facts) {
  struct statx sx {};
  if (statx(AT_FDCWD, path.c_str(), AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
    return false;
  facts = FileFacts{};
  const bool folder = S_ISDIR(sx.stx_mode);
  facts.longName = path.filename().string();
  facts.attributes = folder ? fileattr::Directory : fileattr::Archive;
  if (access(path.c_str(), W_OK) != 0) facts.attributes |= fileattr::ReadOnly;
  if (facts.longName.starts_with('.')) facts.attributes |= fileattr::Hidden;
  // Not every file system keeps a birth time (statx leaves the bit clear);
  // the status-change time is then the nearest stand-in.
  facts.createdIsBirthTime = (sx.stx_mask & STATX_BTIME) != 0;
  facts.created = ToLocal(facts.createdIsBirthTime ? sx.stx_btime.tv_sec : sx.stx_ctime.tv_sec);
  facts.modified = ToLocal(sx.stx_mtime.tv_sec);
  facts.accessed = ToLocal(sx.stx_atime.tv_sec);
  facts.size = static_cast<std::uint32_t>(sx.stx_size & 0xFFFFFFFFu);
  facts.name = ProperCase(facts.longName);
  return true;
}

std::string FileSearch::findFirst(const std::string& pattern, std::uint32_t mask, FileFacts& facts) {
  found_.clear();
  next_ = 0;
  mask_ = mask;
  const std::filesystem::path asked(pattern);
  const std::string last = asked.filename().string();
  if (last.empty()) return {};
  if (!HasWildcard(last)) {
    found_.push_back(asked);
  } else {
    // "*.*" names every entry, also those without a dot.
    const std::string glob = last == "*.*" ? "*" : last;
    const std::filesystem::path folder = asked.has_parent_path() ? asked.parent_path() : ".";
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (fnmatch(glob.c_str(), name.c_str(), FNM_CASEFOLD) == 0) found_.push_back(it->path());
    }
    std::sort(found_.begin(), found_.end());
  }
  return findNext(facts);
}

std::string FileSearch::findNext(FileFacts& facts) {
  while (next_ < found_.size()) {
    FileFacts candidate;
    if (ReadFileFacts(found_[next_++], candidate) && Passes(candidate.attributes, mask_)) {
      facts = candidate;
      return facts.name;
    }
  }
  found_.clear();
  next_ = 0;
  return {};
}

}  // namespace kx
