#pragma once
// The engine's loops around read(2), write(2), pread(2) and pwrite(2): short
// transfers are continued and EINTR retried here, so no caller writes such a
// loop again. Any thread; failures come back as errno values (0 for success),
// which ResultFromErrno turns into result codes.
#include <cstddef>
#include <cstdint>
#include <sys/types.h>

namespace kx {

// Reads exactly n bytes at offset; EIO when the file ends before them.
int ReadExactAt(int fd, void* out, std::size_t n, std::uint64_t offset);

// Reads up to n bytes at the file position: the count (0 at the end), or -1
// with errno set.
ssize_t ReadSome(int fd, void* out, std::size_t n);

// Writes all n bytes at offset, or at the file position.
int WriteExactAt(int fd, const void* data, std::size_t n, std::uint64_t offset);
int WriteAll(int fd, const void* data, std::size_t n);

}  // namespace kx
