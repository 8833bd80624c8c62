#pragma once
// An open folder descriptor that closes itself; movable, not copyable. The
// safe-path helpers hand these out so that a folder is reached once, by
// descriptor, and never again by a path someone may have changed meanwhile.
namespace kx {

class DirFd {
 public:
  DirFd() = default;
  explicit DirFd(int fd) : fd_(fd) {}
  ~DirFd();
  DirFd(DirFd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  DirFd& operator=(DirFd&& o) noexcept;
  DirFd(const DirFd&) = delete;
  DirFd& operator=(const DirFd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace kx
