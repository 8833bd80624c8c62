#pragma once
// The engine's loops around read(2), write(2), pread(2) and pwrite(2): short
// transfers are continued and EINTR retried here, so no caller writes such a
// loop again. Any thread; failures come back as errno values (0 for success),
// which ResultFromErrno turns into result codes.
#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <vector>

namespace kx {

// Reads exactly n bytes at offset; EIO when the file ends before them.
int ReadExactAt(int fd, void* out, std::size_t n, std::uint64_t offset);

// Reads up to n bytes at the file position: the count (0 at the end), or -1
// with errno set.
ssize_t ReadSome(int fd, void* out, std::size_t n);

// Reads up to n bytes at offset: the count (0 at the end), or -1 with errno set.
ssize_t ReadSomeAt(int fd, void* out, std::size_t n, std::uint64_t offset);

// Writes all n bytes at offset, or at the file position.
int WriteExactAt(int fd, const void* data, std::size_t n, std::uint64_t offset);
int WriteAll(int fd, const void* data, std::size_t n);

// Copies n bytes from `in` at `from` to `out` at `to`: in the kernel
// (copy_file_range, which may share blocks) while the two files allow it,
// else through `buffer` (grown as needed). kernelCopies is cleared once the
// kernel refuses these two files, so later calls go straight to the buffer.
// EIO when `in` ends before n bytes.
int CopyRange(int in, std::uint64_t from, int out, std::uint64_t to, std::uint64_t n,
              std::vector<std::uint8_t>& buffer, bool& kernelCopies);

}  // namespace kx
