#pragma once
// Every rule about which archive names may become files, in one place.
//
// CleanEntryName turns the raw (already decoded) name of an entry into the
// relative path that listing shows and extraction writes, or refuses it:
//   - a NUL inside the stored bytes (strlen != length)      -> refused
//   - "\" counts as a separator                              a\b   -> a/b
//   - a drive letter is stripped                             C:\x  -> x   (stripped)
//   - leading separators are stripped                        /etc/x -> etc/x (stripped)
//   - "." and empty components vanish                        a/./b -> a/b
//   - any ".." component                                     -> refused
//   - nothing left                                           -> refused
// "stripped" is reported so the caller may tell the user; the entry is still
// extracted under the cleaned name.
//
// The DirFd helpers open folders below a target folder one component at a
// time with O_NOFOLLOW, so no write ever passes through a symbolic link.
// Failures are errno values. Pure functions and plain RAII, any thread.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/io/dir_fd.h"

namespace kx {

enum class NameVerdict : std::uint8_t {
  Ok,
  Stripped,      // absolute path or drive letter removed, otherwise fine
  HasNul,
  HasParent,     // a ".." component
  Empty,
};

struct CleanName {
  std::string path;                 // "a/b/c", no leading or trailing "/"
  NameVerdict verdict = NameVerdict::Ok;
  bool usable() const { return verdict == NameVerdict::Ok || verdict == NameVerdict::Stripped; }
};

// name is the decoded (UTF-8) name, rawName the bytes as stored.
CleanName CleanEntryName(std::string_view name, std::string_view rawName);

// Components of a cleaned path ("a/b/c" -> a, b, c).
std::vector<std::string_view> PathComponents(std::string_view cleanPath);

// True when a symbolic link stored at linkPath (cleaned, relative to the
// target folder) pointing to target stays inside the target folder when
// resolved lexically. Absolute targets never do.
bool SymlinkStaysInside(std::string_view linkPath, std::string_view target);

// Where one entry's bytes lie in the archive: from its local header to the
// end of its compressed data (a lower bound: the local extra field may add).
struct EntrySpan {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;   // one past the last byte
};

// Index of an entry whose span overlaps another's or runs past archiveEnd
// (overlapping entries let a tiny archive unpack to gigabytes); -1 when all
// spans are separate and inside.
std::int64_t FindBadSpan(const std::vector<EntrySpan>& spans, std::uint64_t archiveEnd);

// Index of the first entry whose cleaned name an earlier entry already has
// (two folder entries of the same name are harmless and allowed); -1 if none.
std::int64_t FindDuplicateName(const std::vector<CleanName>& names, const std::vector<bool>& isFolder);

// Opens (with create: makes missing folders, mode 0775 before umask) the
// folder path below root; every component with O_NOFOLLOW|O_DIRECTORY, so a
// symbolic link anywhere on the way fails with ELOOP or ENOTDIR.
// Returns an invalid DirFd and sets err on failure.
DirFd OpenFolderBelow(int rootFd, const std::vector<std::string_view>& components, bool create, int& err);

// Opens the target folder itself (following links: the user chose it).
DirFd OpenTargetFolder(const std::string& path, bool create, int& err);

}  // namespace kx
