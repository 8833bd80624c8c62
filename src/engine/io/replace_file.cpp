#include "engine/io/replace_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {
namespace {

constexpr const char* kTempMarker = ".kxtmp-";

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string ResolveArchivePath(const std::string& path) {
  char buf[PATH_MAX];
  if (::realpath(path.c_str(), buf)) return buf;
  // Not there yet: resolve the folder so the new file lands where a link to
  // the folder points, and keep the name as given.
  if (::realpath(FolderOf(path).c_str(), buf)) {
    std::string folder = buf;
    if (folder != "/") folder += '/';
    return folder + NameOf(path);
  }
  return path;
}

std::string TemporaryPrefix(const std::string& target) {
  std::string folder = FolderOf(target);
  if (folder != "/") folder += '/';
  return folder + "." + NameOf(target) + kTempMarker;
}

bool IsTemporaryName(const std::string& fileName) {
  return !fileName.empty() && fileName[0] == '.' && fileName.find(kTempMarker) != std::string::npos;
}

void RemoveStaleTemporaries(const std::string& target, bool wholeSplitSet) {
  const std::string folder = FolderOf(target);
  const std::string name = NameOf(target);
  const std::string marker = kTempMarker;
  const std::string prefix = "." + (wholeSplitSet && name.size() >= 3 ? name.substr(0, name.size() - 3) : name);
  const std::size_t digits = wholeSplitSet ? 3 : 0;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (dirent* e = ::readdir(dir)) {
    // Exactly the prefix, the volume number, the marker and the six characters mkstemp fills in.
    const std::string entry = e->d_name;
    if (entry.size() != prefix.size() + digits + marker.size() + 6) continue;
    if (entry.compare(0, prefix.size(), prefix) != 0) continue;
    if (entry.compare(prefix.size() + digits, marker.size(), marker) != 0) continue;
    const std::string number = entry.substr(prefix.size(), digits);
    if (number.find_first_not_of("0123456789") != std::string::npos) continue;
    ::unlinkat(::dirfd(dir), entry.c_str(), 0);
  }
  ::closedir(dir);
}

int CreateTemporaryBeside(const std::string& target, std::string& tempPath) {
  std::string templ = TemporaryPrefix(target) + "XXXXXX";
  const int fd = ::mkostemp(templ.data(), O_CLOEXEC);
  if (fd >= 0) tempPath = templ;
  return fd;
}

int SyncFolderOf(const std::string& path) {
  const int dfd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return errno;
  const int rc = ::fsync(dfd) == 0 ? 0 : errno;
  ::close(dfd);
  // Some file systems refuse fsync on folders; the rename itself still happened.
  return rc == EINVAL ? 0 : rc;
}

mode_t ModeForTarget(const std::string& target) {
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

int CommitTemporary(int fd, const std::string& tempPath, const std::string& target, mode_t mode) {
  int err = 0;
  if (::fchmod(fd, mode) != 0) err = errno;
  if (!err && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && !err) err = errno;
  if (!err && ::rename(tempPath.c_str(), target.c_str()) != 0) err = errno;
  if (err) {
    ::unlink(tempPath.c_str());
    return err;
  }
  return SyncFolderOf(target);
}

}  // namespace kx
