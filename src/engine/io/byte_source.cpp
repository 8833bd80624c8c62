#include "engine/io/byte_source.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {

bool MemorySource::read(std::uint64_t offset, void* out, std::size_t n) const {
  if (!contains(offset, n)) return false;
  if (n) std::memcpy(out, data_.data() + offset, n);
  return true;
}

FileSource::FileSource(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    openErrno_ = errno;
    return;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    openErrno_ = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd_);
    fd_ = -1;
    return;
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
}

FileSource::~FileSource() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileSource::read(std::uint64_t offset, void* out, std::size_t n) const {
  return fd_ >= 0 && contains(offset, n) && ReadExactAt(fd_, out, n, offset);
}

bool ReadExactAt(int fd, void* out, std::size_t n, std::uint64_t offset) {
  auto* dst = static_cast<char*>(out);
  while (n > 0) {
    const ssize_t got = ::pread(fd, dst, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    dst += got;
    offset += static_cast<std::uint64_t>(got);
    n -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace kx
