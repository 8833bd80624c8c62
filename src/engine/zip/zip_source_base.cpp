#include "engine/zip/zip_source_base.h"

namespace kx {

ZipSourceBase::ZipSourceBase(bool libzipOwns) : libzipOwns_(libzipOwns) { zip_error_init(&error_); }

ZipSourceBase::~ZipSourceBase() { zip_error_fini(&error_); }

zip_source_t* ZipSourceBase::CreateSource(zip_error_t* error) {
  return zip_source_function_create(&ZipSourceBase::Dispatch, this, error);
}

zip_source_t* ZipSourceBase::CreateSource(zip_t* archive) {
  return zip_source_function(archive, &ZipSourceBase::Dispatch, this);
}

zip_int64_t ZipSourceBase::Dispatch(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  auto* self = static_cast<ZipSourceBase*>(state);
  switch (cmd) {
    case ZIP_SOURCE_ERROR: return zip_error_to_data(&self->error_, data, len);
    case ZIP_SOURCE_FREE:
      if (self->libzipOwns_) delete self;
      return 0;
    default: return self->Handle(data, len, cmd);
  }
}

zip_int64_t ZipSourceBase::Fail(int zipError, int sysErrno) {
  zip_error_set(&error_, zipError, sysErrno);
  return -1;
}

zip_stat_t* ZipSourceBase::StatArgs(void* data, zip_uint64_t len) {
  auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &error_);
  if (st) zip_stat_init(st);
  return st;
}

zip_int64_t ZipSourceBase::Seek(std::uint64_t& pos, std::uint64_t size, void* data, zip_uint64_t len) {
  const zip_int64_t to = zip_source_seek_compute_offset(pos, size, data, len, &error_);
  if (to < 0) return -1;
  pos = static_cast<std::uint64_t>(to);
  return 0;
}

}  // namespace kx
