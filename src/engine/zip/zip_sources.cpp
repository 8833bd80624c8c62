#include "engine/zip/zip_sources.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/io/file_io.h"
#include "engine/zip/zip_source_base.h"

namespace kx {
namespace {

constexpr std::size_t kReadAhead = 256 * 1024;
// Largest piece handed to libzip per READ, so the count fits its return value.
constexpr std::uint64_t kMaxRead = std::uint64_t(1) << 30;

class ByteSourceReader final : public ZipSourceBase {
 public:
  explicit ByteSourceReader(const ByteSource& src) : ZipSourceBase(true), src_(src) {}
  using ZipSourceBase::CreateSource;

 private:
  zip_int64_t Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) override {
    switch (cmd) {
      case ZIP_SOURCE_OPEN: pos_ = 0; return 0;
      case ZIP_SOURCE_READ: return Read(data, len);
      case ZIP_SOURCE_CLOSE: return 0;
      case ZIP_SOURCE_STAT: {
        zip_stat_t* st = StatArgs(data, len);
        if (!st) return -1;
        st->valid = ZIP_STAT_SIZE;
        st->size = src_.size();
        return sizeof(*st);
      }
      case ZIP_SOURCE_SEEK: return Seek(pos_, src_.size(), data, len);
      case ZIP_SOURCE_TELL: return static_cast<zip_int64_t>(pos_);
      case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                                              ZIP_SOURCE_SUPPORTS, -1);
      default: return Fail(ZIP_ER_OPNOTSUPP, 0);
    }
  }

  // Copies n bytes at pos into out (pos + n lies inside the source); false
  // when the source cannot give them.
  bool Fill(void* out, std::size_t n) {
    if (n >= kReadAhead) return src_.read(pos_, out, n);
    const bool buffered =
        pos_ >= aheadAt_ && pos_ - aheadAt_ <= ahead_.size() && ahead_.size() - (pos_ - aheadAt_) >= n;
    if (!buffered) {
      ahead_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kReadAhead, src_.size() - pos_)));
      aheadAt_ = pos_;
      if (!src_.read(pos_, ahead_.data(), ahead_.size())) {
        ahead_.clear();
        return false;
      }
    }
    std::memcpy(out, ahead_.data() + (pos_ - aheadAt_), n);
    return true;
  }

  zip_int64_t Read(void* data, zip_uint64_t len) {
    const std::uint64_t size = src_.size();
    if (pos_ >= size) return 0;
    const std::uint64_t n = std::min({static_cast<std::uint64_t>(len), size - pos_, kMaxRead});
    if (!Fill(data, static_cast<std::size_t>(n))) return Fail(ZIP_ER_READ, EIO);
    pos_ += n;
    return static_cast<zip_int64_t>(n);
  }

  const ByteSource& src_;
  std::uint64_t pos_ = 0;
  std::string ahead_;  // bytes from aheadAt_ on
  std::uint64_t aheadAt_ = 0;
};

class PooledEntry final : public ZipSourceBase {
 public:
  PooledEntry(zip_t* archive, DeflatePool& pool, std::size_t ticket, std::time_t mtime)
      : ZipSourceBase(true), archive_(archive), pool_(pool), ticket_(ticket), mtime_(mtime) {}
  ~PooledEntry() override { ReleaseBuffer(); }
  using ZipSourceBase::CreateSource;

  PooledEntryIndex index;

 private:
  zip_int64_t Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) override {
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
        if (!Load()) return -1;
        if (released_) return Fail(ZIP_ER_INTERNAL, 0);  // read once only; the bytes are gone
        pos_ = 0;
        return 0;
      case ZIP_SOURCE_READ: {
        const std::size_t n = std::min<std::size_t>(len, file_.data.size() - pos_);
        std::memcpy(data, file_.data.data() + pos_, n);
        pos_ += n;
        return static_cast<zip_int64_t>(n);
      }
      case ZIP_SOURCE_CLOSE:
        // libzip reads an entry's data once; free it now, not at the end of zip_close.
        if (pos_ == file_.data.size()) ReleaseBuffer();
        return 0;
      case ZIP_SOURCE_STAT: return Stat(data, len);
      case ZIP_SOURCE_SUPPORTS: return ZIP_SOURCE_SUPPORTS_READABLE;
      default: return Fail(ZIP_ER_OPNOTSUPP, 0);
    }
  }

  bool Load() {
    if (loaded_) return file_.error == 0 || Fail(ZIP_ER_READ, file_.error) == 0;
    file_ = pool_.Take(ticket_);
    loaded_ = true;
    if (file_.error != 0) {
      Fail(ZIP_ER_READ, file_.error);
      return false;
    }
    return true;
  }

  zip_int64_t Stat(void* data, zip_uint64_t len) {
    zip_stat_t* st = StatArgs(data, len);
    if (!st || !Load()) return -1;
    st->valid = ZIP_STAT_SIZE | ZIP_STAT_CRC | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
    st->size = file_.size;
    st->crc = file_.crc;
    st->mtime = mtime_;
    if (file_.stored) {
      st->comp_method = ZIP_CM_STORE;
      zip_set_file_compression(archive_, index.value, ZIP_CM_STORE, 0);
    } else {
      st->valid |= ZIP_STAT_COMP_SIZE;
      st->comp_method = ZIP_CM_DEFLATE;
      st->comp_size = file_.data.size();
    }
    return sizeof(*st);
  }

  void ReleaseBuffer() {
    if (released_ || !loaded_) return;
    pool_.Release(file_.data.size());
    std::vector<std::uint8_t>().swap(file_.data);  // "= {}" would keep the capacity
    released_ = true;
  }

  zip_t* archive_;
  DeflatePool& pool_;
  std::size_t ticket_;
  std::time_t mtime_;
  DeflatedFile file_;
  bool loaded_ = false;
  bool released_ = false;
  std::size_t pos_ = 0;
};

class StreamingFile final : public ZipSourceBase {
 public:
  StreamingFile(std::string path, std::time_t mtime, BytesCallback onBytes)
      : ZipSourceBase(true), path_(std::move(path)), mtime_(mtime), onBytes_(std::move(onBytes)) {}
  ~StreamingFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  using ZipSourceBase::CreateSource;

 private:
  zip_int64_t Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) override {
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
        if (fd_ < 0 && (fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC)) < 0) return Fail(ZIP_ER_OPEN, errno);
        if (::lseek(fd_, 0, SEEK_SET) < 0) return Fail(ZIP_ER_SEEK, errno);
        done_ = 0;
        return 0;
      case ZIP_SOURCE_READ: {
        const ssize_t n = ReadSome(fd_, data, len);
        if (n < 0) return Fail(ZIP_ER_READ, errno);
        done_ += static_cast<std::uint64_t>(n);
        if (onBytes_ && !onBytes_(done_)) return Fail(ZIP_ER_CANCELLED, 0);
        return n;
      }
      case ZIP_SOURCE_CLOSE: return 0;
      case ZIP_SOURCE_STAT: {
        zip_stat_t* st = StatArgs(data, len);
        if (!st) return -1;
        struct stat fst {};
        if (::stat(path_.c_str(), &fst) != 0) return Fail(ZIP_ER_READ, errno);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
        st->size = static_cast<zip_uint64_t>(fst.st_size);
        st->mtime = mtime_;
        st->comp_method = ZIP_CM_STORE;
        return sizeof(*st);
      }
      case ZIP_SOURCE_SUPPORTS: return ZIP_SOURCE_SUPPORTS_READABLE;
      default: return Fail(ZIP_ER_OPNOTSUPP, 0);
    }
  }

  std::string path_;
  std::time_t mtime_;
  BytesCallback onBytes_;
  int fd_ = -1;
  std::uint64_t done_ = 0;
};

}  // namespace

zip_source_t* MakeZipSource(const ByteSource& src, zip_error_t* error) {
  auto* state = new (std::nothrow) ByteSourceReader(src);
  if (!state) {
    zip_error_set(error, ZIP_ER_MEMORY, 0);
    return nullptr;
  }
  zip_source_t* source = state->CreateSource(error);
  if (!source) delete state;
  return source;
}

zip_source_t* MakeStreamingFileSource(zip_t* archive, const std::string& path, std::time_t mtime,
                                      BytesCallback onBytes) {
  auto* state = new StreamingFile(path, mtime, std::move(onBytes));
  zip_source_t* src = state->CreateSource(archive);
  if (!src) delete state;
  return src;
}

zip_source_t* MakePooledEntrySource(zip_t* archive, DeflatePool& pool, std::size_t ticket, std::time_t mtime,
                                    PooledEntryIndex*& index) {
  auto* state = new PooledEntry(archive, pool, ticket, mtime);
  index = &state->index;
  zip_source_t* src = state->CreateSource(archive);
  if (!src) delete state;
  return src;
}

}  // namespace kx
