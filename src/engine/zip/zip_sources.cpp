#include "engine/zip/zip_sources.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

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

class ChunkedEntry final : public ZipSourceBase {
 public:
  ChunkedEntry(DeflatePool& pool, std::size_t firstTicket, std::size_t chunks, std::uint64_t size, std::time_t mtime,
               BytesCallback onBytes)
      : ZipSourceBase(true), pool_(pool), firstTicket_(firstTicket), chunks_(chunks), size_(size), mtime_(mtime),
        onBytes_(std::move(onBytes)) {}
  ~ChunkedEntry() override { ReleaseChunk(); }
  using ZipSourceBase::CreateSource;

 private:
  zip_int64_t Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) override {
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
        if (taken_ > 0) return Fail(ZIP_ER_INTERNAL, 0);  // read once only; the chunks are gone
        return 0;
      case ZIP_SOURCE_READ: return Read(data, len);
      case ZIP_SOURCE_CLOSE: ReleaseChunk(); return 0;
      case ZIP_SOURCE_STAT: {
        zip_stat_t* st = StatArgs(data, len);
        if (!st) return -1;
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
        st->size = size_;
        st->mtime = mtime_;
        st->comp_method = ZIP_CM_DEFLATE;
        if (taken_ == chunks_) {
          st->valid |= ZIP_STAT_CRC;
          st->crc = crc_;
        }
        return sizeof(*st);
      }
      case ZIP_SOURCE_SUPPORTS: return ZIP_SOURCE_SUPPORTS_READABLE;
      default: return Fail(ZIP_ER_OPNOTSUPP, 0);
    }
  }

  zip_int64_t Read(void* data, zip_uint64_t len) {
    while (pos_ == chunk_.data.size()) {
      if (taken_ == chunks_) return 0;
      ReleaseChunk();
      chunk_ = pool_.Take(firstTicket_ + taken_++);
      held_ = true;
      pos_ = 0;
      if (chunk_.error != 0) return Fail(ZIP_ER_READ, chunk_.error);
      crc_ = static_cast<std::uint32_t>(crc32_combine(crc_, chunk_.crc, static_cast<z_off_t>(chunk_.size)));
      done_ += chunk_.size;
      if (onBytes_ && !onBytes_(done_)) return Fail(ZIP_ER_CANCELLED, 0);
    }
    const std::size_t n = std::min<std::size_t>(len, chunk_.data.size() - pos_);
    std::memcpy(data, chunk_.data.data() + pos_, n);
    pos_ += n;
    return static_cast<zip_int64_t>(n);
  }

  void ReleaseChunk() {
    if (!held_) return;
    pool_.Release(chunk_.data.size());
    std::vector<std::uint8_t>().swap(chunk_.data);
    pos_ = 0;
    held_ = false;
  }

  DeflatePool& pool_;
  std::size_t firstTicket_;
  std::size_t chunks_;
  std::uint64_t size_;
  std::time_t mtime_;
  BytesCallback onBytes_;
  DeflatedFile chunk_;
  bool held_ = false;
  std::size_t taken_ = 0;
  std::size_t pos_ = 0;
  std::uint32_t crc_ = 0;
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

zip_source_t* MakeChunkedEntrySource(zip_t* archive, DeflatePool& pool, std::size_t firstTicket, std::size_t chunks,
                                     std::uint64_t size, std::time_t mtime, BytesCallback onBytes) {
  auto* state = new ChunkedEntry(pool, firstTicket, chunks, size, mtime, std::move(onBytes));
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
