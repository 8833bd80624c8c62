#include "engine/zip/zip_sources.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {
namespace {

class PooledEntry {
 public:
  PooledEntry(zip_t* archive, DeflatePool& pool, std::size_t ticket, std::time_t mtime)
      : archive_(archive), pool_(pool), ticket_(ticket), mtime_(mtime) {
    zip_error_init(&error_);
  }
  ~PooledEntry() {
    ReleaseBuffer();
    zip_error_fini(&error_);
  }

  static zip_int64_t Dispatch(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* self = static_cast<PooledEntry*>(state);
    if (cmd == ZIP_SOURCE_FREE) {
      delete self;
      return 0;
    }
    return self->Handle(data, len, cmd);
  }

 private:
  zip_int64_t Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
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
      case ZIP_SOURCE_ERROR: return zip_error_to_data(&error_, data, len);
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
    auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &error_);
    if (!st || !Load()) return -1;
    zip_stat_init(st);
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

  zip_int64_t Fail(int zipError, int sysErrno) {
    zip_error_set(&error_, zipError, sysErrno);
    return -1;
  }


 public:
  PooledEntryIndex index;

 private:
  zip_t* archive_;
  DeflatePool& pool_;
  std::size_t ticket_;
  std::time_t mtime_;
  DeflatedFile file_;
  bool loaded_ = false;
  bool released_ = false;
  std::size_t pos_ = 0;
  zip_error_t error_;
};

class StreamingFile {
 public:
  StreamingFile(std::string path, std::time_t mtime, BytesCallback onBytes)
      : path_(std::move(path)), mtime_(mtime), onBytes_(std::move(onBytes)) {
    zip_error_init(&error_);
  }
  ~StreamingFile() {
    if (fd_ >= 0) ::close(fd_);
    zip_error_fini(&error_);
  }

  static zip_int64_t Dispatch(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* self = static_cast<StreamingFile*>(state);
    if (cmd == ZIP_SOURCE_FREE) {
      delete self;
      return 0;
    }
    return self->Handle(data, len, cmd);
  }

 private:
  zip_int64_t Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
        if (fd_ < 0 && (fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC)) < 0) return Fail(ZIP_ER_OPEN, errno);
        if (::lseek(fd_, 0, SEEK_SET) < 0) return Fail(ZIP_ER_SEEK, errno);
        done_ = 0;
        return 0;
      case ZIP_SOURCE_READ: {
        ssize_t n;
        do {
          n = ::read(fd_, data, len);
        } while (n < 0 && errno == EINTR);
        if (n < 0) return Fail(ZIP_ER_READ, errno);
        done_ += static_cast<std::uint64_t>(n);
        if (onBytes_ && !onBytes_(done_)) return Fail(ZIP_ER_CANCELLED, 0);
        return n;
      }
      case ZIP_SOURCE_CLOSE: return 0;
      case ZIP_SOURCE_STAT: {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &error_);
        if (!st) return -1;
        struct stat fst {};
        if (::stat(path_.c_str(), &fst) != 0) return Fail(ZIP_ER_READ, errno);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
        st->size = static_cast<zip_uint64_t>(fst.st_size);
        st->mtime = mtime_;
        st->comp_method = ZIP_CM_STORE;
        return sizeof(*st);
      }
      case ZIP_SOURCE_ERROR: return zip_error_to_data(&error_, data, len);
      case ZIP_SOURCE_SUPPORTS: return ZIP_SOURCE_SUPPORTS_READABLE;
      default: return Fail(ZIP_ER_OPNOTSUPP, 0);
    }
  }

  zip_int64_t Fail(int zipError, int sysErrno) {
    zip_error_set(&error_, zipError, sysErrno);
    return -1;
  }

  std::string path_;
  std::time_t mtime_;
  BytesCallback onBytes_;
  int fd_ = -1;
  std::uint64_t done_ = 0;
  zip_error_t error_;
};

}  // namespace

zip_source_t* MakeStreamingFileSource(zip_t* archive, const std::string& path, std::time_t mtime,
                                      BytesCallback onBytes) {
  auto* state = new StreamingFile(path, mtime, std::move(onBytes));
  zip_source_t* src = zip_source_function(archive, &StreamingFile::Dispatch, state);
  if (!src) delete state;
  return src;
}

zip_source_t* MakePooledEntrySource(zip_t* archive, DeflatePool& pool, std::size_t ticket, std::time_t mtime,
                                    PooledEntryIndex*& index) {
  auto* state = new PooledEntry(archive, pool, ticket, mtime);
  index = &state->index;
  zip_source_t* src = zip_source_function(archive, &PooledEntry::Dispatch, state);
  if (!src) delete state;
  return src;
}

}  // namespace kx
