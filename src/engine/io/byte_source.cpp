#include "engine/io/byte_source.h"

#include "engine/io/file_io.h"

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

bool DescriptorSource::read(std::uint64_t offset, void* out, std::size_t n) const {
  return contains(offset, n) && ReadExactAt(fd_, out, n, offset) == 0;
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
  return fd_ >= 0 && contains(offset, n) && ReadExactAt(fd_, out, n, offset) == 0;
}

}  // namespace kx
