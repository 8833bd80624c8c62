#pragma once
// The shared base of our libzip sources (reading a ByteSource, a pooled or
// streamed new entry, the archive being written). libzip drives a source
// through one callback with a command; this base answers ERROR from its
// zip_error_t, deletes the object on FREE when libzip owns it, and passes
// every other command to Handle. Thread: whichever thread runs libzip on
// the archive the source belongs to.
#include <cstdint>

#include <zip.h>

namespace kx {

class ZipSourceBase {
 public:
  virtual ~ZipSourceBase();
  ZipSourceBase(const ZipSourceBase&) = delete;
  ZipSourceBase& operator=(const ZipSourceBase&) = delete;

 protected:
  // libzipOwns: FREE deletes the object (it was made with new for libzip);
  // otherwise the object belongs to its creator and outlives the source.
  explicit ZipSourceBase(bool libzipOwns);

  // A source for this object; nullptr with the error set when libzip cannot
  // make one (the caller then still owns the object).
  zip_source_t* CreateSource(zip_error_t* error);
  zip_source_t* CreateSource(zip_t* archive);

  virtual zip_int64_t Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) = 0;

  // Records the error for libzip's ERROR command and returns -1.
  zip_int64_t Fail(int zipError, int sysErrno);
  // STAT's argument, cleared; nullptr (error set) when libzip passed too few bytes.
  zip_stat_t* StatArgs(void* data, zip_uint64_t len);
  // SEEK or SEEK_WRITE within [0, size]: moves pos, 0 or -1.
  zip_int64_t Seek(std::uint64_t& pos, std::uint64_t size, void* data, zip_uint64_t len);

  zip_error_t error_;

 private:
  static zip_int64_t Dispatch(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd);

  bool libzipOwns_;
};

}  // namespace kx
