#include "engine/dosarc/archive_out.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "engine/io/file_io.h"

namespace kx::dosarc {
namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
constexpr std::size_t kCopyChunk = 256 * 1024;

}  // namespace

bool ArchiveOut::Write(const void* data, std::size_t n) {
  if (error_ != 0) return false;
  if (n == 0) return true;
  if (!Append(static_cast<const std::uint8_t*>(data), n)) return false;
  size_ += n;
  return true;
}

bool ArchiveOut::Copy(const ByteSource& src, std::uint64_t offset, std::uint64_t n) {
  std::vector<std::uint8_t> chunk(std::size_t(std::min<std::uint64_t>(n, kCopyChunk)));
  while (n > 0) {
    const std::size_t take = std::size_t(std::min<std::uint64_t>(n, chunk.size()));
    if (!src.read(offset, chunk.data(), take)) {
      if (error_ == 0) error_ = EIO;
      return false;
    }
    if (!Write(chunk.data(), take)) return false;
    offset += take;
    n -= take;
  }
  return true;
}

FileArchiveOut::FileArchiveOut(int fd) : fd_(fd) { buffer_.reserve(kBufferSize); }

bool FileArchiveOut::Append(const std::uint8_t* data, std::size_t n) {
  if (buffer_.size() + n > kBufferSize && !Flush()) return false;
  if (n >= kBufferSize) {
    if (const int err = WriteExactAt(fd_, data, n, flushed_); err != 0) {
      error_ = err;
      return false;
    }
    flushed_ += n;
    return true;
  }
  buffer_.insert(buffer_.end(), data, data + n);
  return true;
}

bool FileArchiveOut::Flush() {
  if (error_ != 0) return false;
  if (buffer_.empty()) return true;
  if (const int err = WriteExactAt(fd_, buffer_.data(), buffer_.size(), flushed_); err != 0) {
    error_ = err;
    return false;
  }
  flushed_ += buffer_.size();
  buffer_.clear();
  return true;
}

bool FileArchiveOut::Patch(std::uint64_t at, const void* data, std::size_t n) {
  if (at > size_ || n > size_ - at || !Flush()) return false;
  if (const int err = WriteExactAt(fd_, data, n, at); err != 0) {
    error_ = err;
    return false;
  }
  return true;
}

bool FileArchiveOut::ReadBack(std::uint64_t at, void* out, std::size_t n) {
  if (at > size_ || n > size_ - at || !Flush()) return false;
  if (const int err = ReadExactAt(fd_, out, n, at); err != 0) {
    error_ = err;
    return false;
  }
  return true;
}

bool FileArchiveOut::Truncate(std::uint64_t size) {
  if (size > size_ || !Flush()) return false;
  if (::ftruncate(fd_, off_t(size)) != 0) {
    error_ = errno;
    return false;
  }
  size_ = flushed_ = size;
  return true;
}

bool MemoryArchiveOut::Append(const std::uint8_t* data, std::size_t n) {
  bytes_.insert(bytes_.end(), data, data + n);
  return true;
}

bool MemoryArchiveOut::Patch(std::uint64_t at, const void* data, std::size_t n) {
  if (at > bytes_.size() || n > bytes_.size() - at) return false;
  std::memcpy(bytes_.data() + at, data, n);
  return true;
}

bool MemoryArchiveOut::ReadBack(std::uint64_t at, void* out, std::size_t n) {
  if (at > bytes_.size() || n > bytes_.size() - at) return false;
  std::memcpy(out, bytes_.data() + at, n);
  return true;
}

bool MemoryArchiveOut::Truncate(std::uint64_t size) {
  if (size > bytes_.size()) return false;
  bytes_.resize(std::size_t(size));
  size_ = size;
  return true;
}

}  // namespace kx::dosarc
