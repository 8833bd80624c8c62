#include "engine/io/dir_fd.h"

#include <unistd.h>

namespace kx {

DirFd::~DirFd() {
  if (fd_ >= 0) ::close(fd_);
}

DirFd& DirFd::operator=(DirFd&& o) noexcept {
  if (this != &o) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = o.fd_;
    o.fd_ = -1;
  }
  return *this;
}

}  // namespace kx
