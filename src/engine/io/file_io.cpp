#include "engine/io/file_io.h"

#include <cerrno>
#include <unistd.h>

namespace kx {

int ReadExactAt(int fd, void* out, std::size_t n, std::uint64_t offset) {
  auto* dst = static_cast<char*>(out);
  while (n > 0) {
    const ssize_t got = ::pread(fd, dst, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return EIO;
    dst += got;
    offset += static_cast<std::uint64_t>(got);
    n -= static_cast<std::size_t>(got);
  }
  return 0;
}

ssize_t ReadSome(int fd, void* out, std::size_t n) {
  for (;;) {
    const ssize_t got = ::read(fd, out, n);
    if (got >= 0 || errno != EINTR) return got;
  }
}

int WriteExactAt(int fd, const void* data, std::size_t n, std::uint64_t offset) {
  const auto* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = ::pwrite(fd, p, n, static_cast<off_t>(offset));
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) return errno;
    if (w == 0) return ENOSPC;
    p += w;
    n -= static_cast<std::size_t>(w);
    offset += static_cast<std::uint64_t>(w);
  }
  return 0;
}

int WriteAll(int fd, const void* data, std::size_t n) {
  const auto* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) return errno;
    if (w == 0) return ENOSPC;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return 0;
}

}  // namespace kx
