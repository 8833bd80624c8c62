#include "engine/zip/byte_zip_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

namespace kx {
namespace {

constexpr std::size_t kReadAhead = 256 * 1024;
// Largest piece handed to libzip per READ, so the count fits its return value.
constexpr std::uint64_t kMaxRead = std::uint64_t(1) << 30;

struct SourceState {
  const ByteSource* src = nullptr;
  std::uint64_t pos = 0;
  std::string ahead;              // bytes from aheadAt on
  std::uint64_t aheadAt = 0;
  zip_error_t error{};

  // Copies n bytes at pos into out (pos + n lies inside the source); false
  // when the source cannot give them.
  bool Fill(void* out, std::size_t n) {
    if (n >= kReadAhead) return src->read(pos, out, n);
    const bool buffered = pos >= aheadAt && pos - aheadAt <= ahead.size() && ahead.size() - (pos - aheadAt) >= n;
    if (!buffered) {
      ahead.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kReadAhead, src->size() - pos)));
      aheadAt = pos;
      if (!src->read(pos, ahead.data(), ahead.size())) {
        ahead.clear();
        return false;
      }
    }
    std::memcpy(out, ahead.data() + (pos - aheadAt), n);
    return true;
  }

  zip_int64_t Read(void* data, zip_uint64_t len) {
    const std::uint64_t size = src->size();
    if (pos >= size) return 0;
    const std::uint64_t n = std::min({static_cast<std::uint64_t>(len), size - pos, kMaxRead});
    if (!Fill(data, static_cast<std::size_t>(n))) {
      zip_error_set(&error, ZIP_ER_READ, EIO);
      return -1;
    }
    pos += n;
    return static_cast<zip_int64_t>(n);
  }
};

zip_int64_t Callback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  auto& s = *static_cast<SourceState*>(state);
  switch (cmd) {
    case ZIP_SOURCE_OPEN: s.pos = 0; return 0;
    case ZIP_SOURCE_READ: return s.Read(data, len);
    case ZIP_SOURCE_CLOSE: return 0;
    case ZIP_SOURCE_STAT: {
      auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &s.error);
      if (!st) return -1;
      zip_stat_init(st);
      st->valid = ZIP_STAT_SIZE;
      st->size = s.src->size();
      return sizeof(*st);
    }
    case ZIP_SOURCE_SEEK: {
      const zip_int64_t to = zip_source_seek_compute_offset(s.pos, s.src->size(), data, len, &s.error);
      if (to < 0) return -1;
      s.pos = static_cast<std::uint64_t>(to);
      return 0;
    }
    case ZIP_SOURCE_TELL: return static_cast<zip_int64_t>(s.pos);
    case ZIP_SOURCE_ERROR: return zip_error_to_data(&s.error, data, len);
    case ZIP_SOURCE_FREE:
      zip_error_fini(&s.error);
      delete &s;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                            ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                                            ZIP_SOURCE_SUPPORTS, -1);
    default:
      zip_error_set(&s.error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

}  // namespace

zip_source_t* MakeZipSource(const ByteSource& src, zip_error_t* error) {
  auto* state = new (std::nothrow) SourceState;
  if (!state) {
    zip_error_set(error, ZIP_ER_MEMORY, 0);
    return nullptr;
  }
  state->src = &src;
  zip_error_init(&state->error);
  zip_source_t* source = zip_source_function_create(&Callback, state, error);
  if (!source) {
    zip_error_fini(&state->error);
    delete state;
  }
  return source;
}

}  // namespace kx
