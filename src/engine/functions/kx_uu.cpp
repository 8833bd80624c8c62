// The library's UU functions: thin wrappers over uucode.h for the windows.
#include "engine/functions/kx_uu.h"

#include <sys/stat.h>

#include <limits>

#include "engine/uu/uucode.h"

namespace {

kx::Result Encode(const std::string& source, const std::string& target, std::int32_t /*reserved1*/,
                      std::int32_t /*reserved2*/, std::int32_t& out) {
  out = 0;
  kx::Result r = kx::UuEncodeFile(source, target);
  if (r != kx::rc::Ok) return r;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    // The caller's value is 32 bits wide; larger results are reported as its maximum.
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    out = st.st_size > kMax ? kMax : static_cast<std::int32_t>(st.st_size);
  }
  return r;
}

kx::Result Decode(const std::string& source, const std::string& targetFolder) {
  return kx::UuDecodeFile(source, targetFolder);
}

}  // namespace

std::int16_t KxUUEncode(const std::string& source, const std::string& target, std::int32_t reserved1,
                        std::int32_t reserved2, std::int32_t& out) { return kx::Code(Encode(source, target, reserved1, reserved2, out)); }

std::int16_t KxUUDecode(const std::string& source, const std::string& targetFolder) { return kx::Code(Decode(source, targetFolder)); }
