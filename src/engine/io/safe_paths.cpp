#include "engine/io/safe_paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace kx {

CleanName CleanEntryName(std::string_view name, std::string_view rawName) {
  CleanName out;
  // A NUL inside the stored bytes: C string functions would see a shorter name.
  if (rawName.find('\0') != std::string_view::npos || name.find('\0') != std::string_view::npos) {
    out.verdict = NameVerdict::HasNul;
    return out;
  }
  std::string work(name);
  std::replace(work.begin(), work.end(), '\\', '/');
  std::string_view rest(work);
  bool stripped = false;
  if (rest.size() >= 2 && rest[1] == ':' &&
      ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z'))) {
    rest.remove_prefix(2);
    stripped = true;
  }
  if (!rest.empty() && rest.front() == '/') stripped = true;

  std::string path;
  path.reserve(rest.size());
  for (std::string_view part : PathComponents(rest)) {
    if (part == ".") continue;
    if (part == "..") {
      out.verdict = NameVerdict::HasParent;
      return out;
    }
    if (!path.empty()) path += '/';
    path += part;
  }
  if (path.empty()) {
    out.verdict = NameVerdict::Empty;
    return out;
  }
  out.path = std::move(path);
  out.verdict = stripped ? NameVerdict::Stripped : NameVerdict::Ok;
  return out;
}

std::vector<std::string_view> PathComponents(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t slash = path.find('/', pos);
    if (slash == std::string_view::npos) slash = path.size();
    if (slash > pos) parts.push_back(path.substr(pos, slash - pos));
    pos = slash + 1;
  }
  return parts;
}

bool SymlinkStaysInside(std::string_view linkPath, std::string_view target) {
  if (target.empty() || target.front() == '/' || target.find('\0') != std::string_view::npos) return false;
  // The link resolves relative to its own folder.
  std::vector<std::string_view> stack = PathComponents(linkPath);
  if (!stack.empty()) stack.pop_back();
  for (std::string_view part : PathComponents(target)) {
    if (part == ".") continue;
    if (part == "..") {
      if (stack.empty()) return false;
      stack.pop_back();
      continue;
    }
    stack.push_back(part);
  }
  return true;
}

std::int64_t FindBadSpan(const std::vector<EntrySpan>& spans, std::uint64_t archiveEnd) {
  std::vector<std::size_t> order(spans.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return spans[a].begin < spans[b].begin; });
  std::uint64_t reached = 0;
  for (std::size_t k = 0; k < order.size(); ++k) {
    const EntrySpan& s = spans[order[k]];
    if (s.end < s.begin || s.end > archiveEnd) return static_cast<std::int64_t>(order[k]);
    if (k > 0 && s.begin < reached) return static_cast<std::int64_t>(order[k]);
    reached = s.end;
  }
  return -1;
}

std::int64_t FindDuplicateName(const std::vector<CleanName>& names, const std::vector<bool>& isFolder) {
  std::unordered_map<std::string_view, std::size_t> seen;
  seen.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!names[i].usable()) continue;
    auto [it, fresh] = seen.emplace(names[i].path, i);
    if (!fresh && !(isFolder[i] && isFolder[it->second])) return static_cast<std::int64_t>(i);
  }
  return -1;
}

DirFd OpenFolderBelow(int rootFd, const std::vector<std::string_view>& components, bool create, int& err) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  DirFd current(::dup(rootFd));
  if (!current.ok()) {
    err = errno;
    return {};
  }
  std::string part;
  for (std::string_view c : components) {
    part.assign(c);
    int fd = ::openat(current.get(), part.c_str(), kFlags);
    if (fd < 0 && errno == ENOENT && create) {
      if (::mkdirat(current.get(), part.c_str(), 0775) != 0 && errno != EEXIST) {
        err = errno;
        return {};
      }
      fd = ::openat(current.get(), part.c_str(), kFlags);
    }
    if (fd < 0) {
      err = errno;
      return {};
    }
    current = DirFd(fd);
  }
  err = 0;
  return current;
}

DirFd OpenTargetFolder(const std::string& path, bool create, int& err) {
  const std::string where = path.empty() ? std::string(".") : path;
  if (create) {
    // Make the chain like mkdir -p; the user named this folder, links allowed.
    std::string partial;
    for (std::string_view c : PathComponents(where)) {
      if (partial.empty() && where.front() == '/') partial = "/";
      else if (!partial.empty() && partial.back() != '/') partial += '/';
      partial += c;
      if (::mkdir(partial.c_str(), 0775) != 0 && errno != EEXIST) break;
    }
  }
  int fd = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  err = fd < 0 ? errno : 0;
  return DirFd(fd);
}

}  // namespace kx
