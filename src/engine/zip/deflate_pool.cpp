#include "engine/zip/deflate_pool.h"

#include <cerrno>
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/io/file_io.h"
#include "engine/zip/deflate_join.h"

namespace kx {
namespace {

int ReadWhole(const std::string& path, std::vector<std::uint8_t>& out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return err;
  }
  out.resize(static_cast<std::size_t>(st.st_size));
  std::size_t have = 0;
  for (;;) {
    // The file may grow while we read it; keep what is there at EOF.
    if (have == out.size()) out.resize(have + 65536);
    const ssize_t n = ReadSome(fd, out.data() + have, out.size() - have);
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      return err;
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  out.resize(have);
  ::close(fd);
  return 0;
}

struct CompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// One compressor per thread and level; allocating one costs more than compressing a small file.
libdeflate_compressor* CompressorFor(int level) {
  thread_local std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor;
  thread_local int compressorLevel = -1;
  if (!compressor || compressorLevel != level) {
    compressor.reset(libdeflate_alloc_compressor(level));
    compressorLevel = level;
  }
  return compressor.get();
}

int ReadRange(const std::string& path, std::uint64_t offset, std::vector<std::uint8_t>& out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int err = ReadExactAt(fd, out.data(), out.size(), offset);
  ::close(fd);
  return err;
}

// Each thread compresses into one buffer of its own, which keeps its pages,
// and the result takes a copy of exactly the packed bytes.
std::vector<std::uint8_t>& PackedScratch() {
  thread_local std::vector<std::uint8_t> scratch;
  return scratch;
}

std::size_t Compress(libdeflate_compressor* compressor, const void* data, std::size_t n) {
  std::vector<std::uint8_t>& out = PackedScratch();
  const std::size_t bound = libdeflate_deflate_compress_bound(compressor, n);
  if (out.size() < bound) out.resize(bound);
  return libdeflate_deflate_compress(compressor, data, n, out.data(), out.size());
}

}  // namespace

DeflatedFile DeflateWholeFile(const std::string& path, int level) {
  libdeflate_compressor* compressor = CompressorFor(level);
  DeflatedFile result;
  std::vector<std::uint8_t> raw;
  if ((result.error = ReadWhole(path, raw)) != 0) return result;
  if (!compressor) {
    result.error = ENOMEM;
    return result;
  }
  result.size = raw.size();
  result.crc = static_cast<std::uint32_t>(libdeflate_crc32(0, raw.data(), raw.size()));
  const std::size_t packed = raw.empty() ? 0 : Compress(compressor, raw.data(), raw.size());
  if (packed == 0 || packed >= raw.size()) {
    result.stored = true;
    result.data = std::move(raw);
  } else {
    result.data.assign(PackedScratch().begin(), PackedScratch().begin() + packed);
  }
  return result;
}

DeflatedFile DeflateFileChunk(const std::string& path, std::uint64_t offset, std::uint64_t length, bool last,
                              int level) {
  libdeflate_compressor* compressor = CompressorFor(level);
  DeflatedFile result;
  if (!compressor) {
    result.error = ENOMEM;
    return result;
  }
  // The plain bytes stay with the thread: a chunk's buffer is as large each time.
  thread_local std::vector<std::uint8_t> raw;
  raw.resize(static_cast<std::size_t>(length));
  if ((result.error = ReadRange(path, offset, raw)) != 0) return result;
  result.size = length;
  result.crc = static_cast<std::uint32_t>(libdeflate_crc32(0, raw.data(), raw.size()));
  const std::size_t packed = Compress(compressor, raw.data(), raw.size());
  result.data.assign(PackedScratch().begin(), PackedScratch().begin() + packed);
  if (packed == 0 || (!last && !LeaveDeflateStreamOpen(result.data, raw.size()))) {
    result.data = {};
    result.error = EIO;
  }
  return result;
}

DeflatePool::DeflatePool(int level, unsigned threads, std::uint64_t memoryBudget)
    : level_(level), threadCount_(threads == 0 ? 1 : threads), budget_(memoryBudget) {}

DeflatePool::~DeflatePool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (auto& t : threads_) t.join();
}

std::size_t DeflatePool::Add(std::string path, std::uint64_t size) {
  Job job;
  job.path = std::move(path);
  job.size = size;
  return Queue(std::move(job));
}

std::size_t DeflatePool::AddChunk(std::string path, std::uint64_t offset, std::uint64_t length, bool last) {
  Job job;
  job.path = std::move(path);
  job.size = length;
  job.offset = offset;
  job.chunk = true;
  job.last = last;
  return Queue(std::move(job));
}

std::size_t DeflatePool::Queue(Job job) {
  std::size_t ticket = 0;
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    ticket = jobs_.size() - 1;
  }
  changed_.notify_all();
  return ticket;
}

void DeflatePool::Start() {
  for (unsigned i = 0; i < threadCount_; ++i) threads_.emplace_back([this] { Work(); });
}

void DeflatePool::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stopping_) return;
    if (nextToStart_ >= jobs_.size()) {  // more may be queued
      changed_.wait(lock);
      continue;
    }
    const std::size_t ticket = nextToStart_;
    // Raw bytes plus the output buffer are alive at once while compressing.
    const std::uint64_t cost = jobs_[ticket].size * 2 + 4096;
    if (ticket != nextToTake_ && inFlight_ + cost > budget_) {
      changed_.wait(lock);
      continue;
    }
    ++nextToStart_;
    inFlight_ += cost;
    const Job& job = jobs_[ticket];  // the deque keeps it in place
    lock.unlock();
    DeflatedFile result = job.chunk ? DeflateFileChunk(job.path, job.offset, job.size, job.last, level_)
                                    : DeflateWholeFile(job.path, level_);
    lock.lock();
    inFlight_ = inFlight_ - cost + result.data.size();
    jobs_[ticket].result = std::move(result);
    jobs_[ticket].done = true;
    changed_.notify_all();
  }
}

DeflatedFile DeflatePool::Take(std::size_t ticket) {
  std::unique_lock lock(mutex_);
  if (ticket >= jobs_.size() || jobs_[ticket].taken) {
    DeflatedFile none;
    none.error = EINVAL;
    return none;
  }
  changed_.wait(lock, [&] { return jobs_[ticket].done; });
  Job& job = jobs_[ticket];
  job.taken = true;
  while (nextToTake_ < jobs_.size() && jobs_[nextToTake_].taken) ++nextToTake_;
  DeflatedFile result = std::move(job.result);
  changed_.notify_all();
  return result;
}

void DeflatePool::Release(std::uint64_t bytes) {
  {
    std::lock_guard lock(mutex_);
    inFlight_ -= std::min(bytes, inFlight_);
  }
  changed_.notify_all();
}

}  // namespace kx
