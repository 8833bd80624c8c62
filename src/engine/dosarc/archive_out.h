#pragma once
// Where a rewritten DOS archive goes: appended bytes, with patches of headers
// already written (sizes and checksums known only after the data) and
// truncation (a packed attempt given up for a stored copy). A file (the
// temporary file beside the archive) or memory (fuzzing, tests). Single
// thread; failures come back as false, the file's errno in error().
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/io/byte_source.h"

namespace kx::dosarc {

class ArchiveOut {
 public:
  virtual ~ArchiveOut() = default;

  bool Write(const void* data, std::size_t n);
  // n bytes of src from offset, appended.
  bool Copy(const ByteSource& src, std::uint64_t offset, std::uint64_t n);
  // Overwrites bytes already written.
  virtual bool Patch(std::uint64_t at, const void* data, std::size_t n) = 0;
  // Drops everything from size on.
  virtual bool Truncate(std::uint64_t size) = 0;
  // Everything written has reached its place.
  virtual bool Flush() = 0;
  // Reads back n bytes already written at `at`.
  virtual bool ReadBack(std::uint64_t at, void* out, std::size_t n) = 0;

  std::uint64_t Size() const { return size_; }
  int error() const { return error_; }

 protected:
  virtual bool Append(const std::uint8_t* data, std::size_t n) = 0;
  std::uint64_t size_ = 0;
  int error_ = 0;
};

// Writes into a descriptor the caller owns, at offsets from 0.
class FileArchiveOut final : public ArchiveOut {
 public:
  explicit FileArchiveOut(int fd);
  bool Patch(std::uint64_t at, const void* data, std::size_t n) override;
  bool Truncate(std::uint64_t size) override;
  bool Flush() override;
  bool ReadBack(std::uint64_t at, void* out, std::size_t n) override;

 private:
  bool Append(const std::uint8_t* data, std::size_t n) override;
  int fd_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t flushed_ = 0;  // bytes already in the file
};

class MemoryArchiveOut final : public ArchiveOut {
 public:
  bool Patch(std::uint64_t at, const void* data, std::size_t n) override;
  bool Truncate(std::uint64_t size) override;
  bool Flush() override { return true; }
  bool ReadBack(std::uint64_t at, void* out, std::size_t n) override;
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  bool Append(const std::uint8_t* data, std::size_t n) override;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace kx::dosarc
