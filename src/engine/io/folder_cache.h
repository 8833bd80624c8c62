#pragma once
// FolderCache: the folders below a target folder that an extraction has
// reached, kept open by descriptor. Entries of one folder mostly follow each
// other, and reaching a folder afresh costs one openat per path component;
// a folder found here is reached by its descriptor, and a folder not found is
// opened from its deepest ancestor that is, component by component with
// OpenFolderBelow's rules (no symbolic link is ever followed).
//
// Ownership: owns the descriptors; a descriptor handed out stays valid until
// the next call of Open. Calling thread only. Failures are errno values.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/io/dir_fd.h"

namespace kx {

class FolderCache {
 public:
  explicit FolderCache(int rootFd) : rootFd_(rootFd) {}

  // The folder at components below the root (the root itself for none);
  // create makes missing folders. -1 with err set when it cannot be reached.
  int Open(const std::vector<std::string_view>& components, bool create, int& err);

 private:
  static constexpr std::size_t kMaxOpen = 64;

  int rootFd_;
  std::unordered_map<std::string, DirFd> open_;  // by the components joined with '/'
};

}  // namespace kx
