#include "engine/io/folder_cache.h"

#include "engine/io/safe_paths.h"

namespace kx {
namespace {

std::string Joined(const std::vector<std::string_view>& components, std::size_t count) {
  std::string key;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) key += '/';
    key += components[i];
  }
  return key;
}

}  // namespace

FolderCache::Folder FolderCache::Open(const std::vector<std::string_view>& components, bool create, int& err) {
  err = 0;
  if (components.empty()) return root_;
  const std::string key = Joined(components, components.size());
  if (const auto hit = open_.find(key); hit != open_.end()) return hit->second;
  // The deepest ancestor already open, else the root.
  Folder from = root_;
  std::size_t have = components.size() - 1;
  for (; have > 0; --have) {
    if (const auto hit = open_.find(Joined(components, have)); hit != open_.end()) {
      from = hit->second;
      break;
    }
  }
  const std::vector<std::string_view> rest(components.begin() + static_cast<std::ptrdiff_t>(have), components.end());
  DirFd folder = OpenFolderBelow(from->get(), rest, create, err);
  if (!folder.ok()) return nullptr;
  if (open_.size() >= kMaxOpen) open_.clear();
  return open_.insert_or_assign(key, std::make_shared<const DirFd>(std::move(folder))).first->second;
}

}  // namespace kx
