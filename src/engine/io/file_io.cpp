#include "engine/io/file_io.h"

#include <algorithm>
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

ssize_t ReadSomeAt(int fd, void* out, std::size_t n, std::uint64_t offset) {
  for (;;) {
    const ssize_t got = ::pread(fd, out, n, static_cast<off_t>(offset));
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

int CopyRange(int in, std::uint64_t from, int out, std::uint64_t to, std::uint64_t n,
              std::vector<std::uint8_t>& buffer, bool& kernelCopies) {
  while (n > 0 && kernelCopies) {
    loff_t inPos = static_cast<loff_t>(from), outPos = static_cast<loff_t>(to);
    const ssize_t c = ::copy_file_range(in, &inPos, out, &outPos, n, 0);
    if (c < 0 && errno == EINTR) continue;
    if (c < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
      kernelCopies = false;
      break;
    }
    if (c < 0) return errno;
    if (c == 0) return EIO;
    from += static_cast<std::uint64_t>(c);
    to += static_cast<std::uint64_t>(c);
    n -= static_cast<std::uint64_t>(c);
  }
  constexpr std::size_t kBufferSize = 1u << 20;
  if (n > 0 && buffer.size() < kBufferSize) buffer.resize(kBufferSize);
  while (n > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(n, buffer.size()));
    const ssize_t r = ReadSomeAt(in, buffer.data(), want, from);
    if (r < 0) return errno;
    if (r == 0) return EIO;
    if (const int err = WriteExactAt(out, buffer.data(), static_cast<std::size_t>(r), to)) return err;
    from += static_cast<std::uint64_t>(r);
    to += static_cast<std::uint64_t>(r);
    n -= static_cast<std::uint64_t>(r);
  }
  return 0;
}

}  // namespace kx
