// The comment handle of the plain functions: KxZipOpen checks the archive and
// hands out a handle owning its resolved path, KxZipNewComment writes a
// comment through it, KxZipClose frees it. Handles are checked against the
// set of open ones, so a stale or made-up handle gives rc::InvalidHandle
// rather than a crash. Calling thread; the set is guarded for callers on other threads.
#include "engine/functions/kx_comment.h"

#include <fcntl.h>
#include <mutex>
#include <set>
#include <unistd.h>

#include "engine/io/replace_file.h"
#include "engine/zip/zip_comment.h"

namespace {

struct CommentHandle {
  std::string archive;  // resolved path
};

std::mutex g_handlesMutex;
std::set<CommentHandle*> g_handles;

CommentHandle* Lookup(KxHandle handle) {
  auto* h = reinterpret_cast<CommentHandle*>(handle);
  std::lock_guard lock(g_handlesMutex);
  return g_handles.count(h) ? h : nullptr;
}

}  // namespace

namespace {

kx::Result OpenHandle(const std::string& archive, std::int32_t /*mode*/, KxHandle& handle) {
  handle = 0;
  const std::string target = kx::ResolveArchivePath(archive);
  if (::access(target.c_str(), F_OK) != 0) return kx::rc::FileNotFound;
  if (const kx::Result r = kx::RecoverCommentJournal(target); r != kx::rc::Ok) return r;
  const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kx::ResultFromErrno(errno);
  kx::EndRecordLocation end;
  const kx::Result r = kx::FindEndRecord(fd, end);
  ::close(fd);
  if (r != kx::rc::Ok) return r;
  auto* h = new CommentHandle{target};
  {
    std::lock_guard lock(g_handlesMutex);
    g_handles.insert(h);
  }
  handle = reinterpret_cast<KxHandle>(h);
  return kx::rc::Ok;
}

kx::Result WriteThroughHandle(KxHandle handle, const std::string& comment) {
  CommentHandle* h = Lookup(handle);
  if (!h) return kx::rc::InvalidHandle;
  return kx::WriteArchiveComment(h->archive, comment);
}

kx::Result CloseHandle(KxHandle& handle) {
  CommentHandle* h = Lookup(handle);
  if (!h) return kx::rc::InvalidHandle;
  {
    std::lock_guard lock(g_handlesMutex);
    g_handles.erase(h);
  }
  delete h;
  handle = 0;
  return kx::rc::Ok;
}

}  // namespace

std::int16_t KxZipOpen(const std::string& archive, std::int32_t mode, KxHandle& handle) { return kx::Code(OpenHandle(archive, mode, handle)); }

std::int16_t KxZipNewComment(KxHandle handle, const std::string& comment) { return kx::Code(WriteThroughHandle(handle, comment)); }

std::int16_t KxZipClose(KxHandle& handle) { return kx::Code(CloseHandle(handle)); }
