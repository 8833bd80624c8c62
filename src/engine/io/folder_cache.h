#pragma once
// FolderCache: the folders below a target folder that an extraction has
// reached, kept open by descriptor. Entries of one folder mostly follow each
// other, and reaching a folder afresh costs one openat per path component;
// a folder found here is reached by its descriptor, and a folder not found is
// opened from its deepest ancestor that is, component by component with
// OpenFolderBelow's rules (no symbolic link is ever followed).
//
// Ownership: owns the root and the folders; a folder handed out is shared, so
// it stays open as long as its holder keeps it, also when the cache drops it.
// Calling thread only. Failures are errno values.
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/io/dir_fd.h"

namespace kx {

class FolderCache {
 public:
  using Folder = std::shared_ptr<const DirFd>;

  explicit FolderCache(DirFd root) : root_(std::make_shared<const DirFd>(std::move(root))) {}

  // The folder at components below the root (the root itself for none);
  // create makes missing folders. nullptr with err set when it cannot be reached.
  Folder Open(const std::vector<std::string_view>& components, bool create, int& err);

 private:
  static constexpr std::size_t kMaxOpen = 64;

  Folder root_;
  std::unordered_map<std::string, Folder> open_;  // by the components joined with '/'
};

}  // namespace kx
