#pragma once
// Random-access bytes for the directory readers: a file on disk or a buffer in
// memory (fuzz targets, tests). Every read states offset and length and fails
// rather than returning short data, so readers never see bytes that are not there.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kx {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  // Reads exactly n bytes at offset; false when the range is not wholly inside.
  virtual bool read(std::uint64_t offset, void* out, std::size_t n) const = 0;

  bool contains(std::uint64_t offset, std::uint64_t n) const {
    return offset <= size() && n <= size() - offset;
  }
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> data) : data_(data) {}
  std::uint64_t size() const override { return data_.size(); }
  bool read(std::uint64_t offset, void* out, std::size_t n) const override;

 private:
  std::span<const std::uint8_t> data_;
};

// Reads a descriptor the caller keeps open (and owns), up to the size the
// caller measured; the bytes come from that file even if its path is replaced.
class DescriptorSource final : public ByteSource {
 public:
  DescriptorSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  std::uint64_t size() const override { return size_; }
  bool read(std::uint64_t offset, void* out, std::size_t n) const override;

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Owns a read-only file descriptor; ok() is false when the file cannot be opened.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(const std::string& path);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  bool ok() const { return fd_ >= 0; }
  int openError() const { return openErrno_; }
  std::uint64_t size() const override { return size_; }
  bool read(std::uint64_t offset, void* out, std::size_t n) const override;

 private:
  int fd_ = -1;
  int openErrno_ = 0;
  std::uint64_t size_ = 0;
};

// Little-endian field helpers over a byte buffer the caller has bounds-checked.
inline std::uint16_t Le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}
inline std::uint64_t Le64(const std::uint8_t* p) {
  return std::uint64_t(Le32(p)) | (std::uint64_t(Le32(p + 4)) << 32);
}

}  // namespace kx
