#pragma once
// DeflatePool: compresses files with libdeflate on worker threads, ahead of
// libzip, which writes the entries one after another on the calling thread.
// A small file is one job; a large one is cut into chunks, each a job of its
// own, whose streams are left open (deflate_join.h) so that the chunks laid end
// to end are the file's one deflate stream: both cores work on one large file,
// and only a few chunks of it are in memory at a time.
// Jobs are queued (Add, AddChunk) before or after Start() lets the workers
// run, so compressing can begin while the files are still being collected;
// the workers take jobs in ticket order and stay within a memory budget,
// except that the job the writer waits for next may always start, so the
// writer is never starved.
//
// Ownership: the pool owns its threads, jobs and finished buffers; Take hands a
// buffer to the caller, who calls Release with its byte count once it is gone.
// Threads: Add/AddChunk/Start/Take/Release on the writer's thread; the workers only read
// files and compress, they never call back into the engine's callbacks.
// Failure: a file that cannot be read gives a result with `error` = its errno.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kx {

struct DeflatedFile {
  std::vector<std::uint8_t> data;  // raw deflate stream, or the plain bytes when stored
  std::uint64_t size = 0;          // uncompressed size (of the chunk, for a chunk)
  std::uint32_t crc = 0;           // of the file, or of the chunk
  bool stored = false;             // deflate did not make it smaller
  int error = 0;                   // errno of a failed read
};

// Reads `path` whole and compresses it at libdeflate `level` (1..12).
DeflatedFile DeflateWholeFile(const std::string& path, int level);

// Reads `length` bytes of `path` at `offset` and compresses them; the stream
// is left open for the next chunk unless `last`. Never stored. A file that
// ends before the chunk does gives error EIO.
DeflatedFile DeflateFileChunk(const std::string& path, std::uint64_t offset, std::uint64_t length, bool last,
                              int level);

class DeflatePool {
 public:
  DeflatePool(int level, unsigned threads, std::uint64_t memoryBudget);
  ~DeflatePool();
  DeflatePool(const DeflatePool&) = delete;
  DeflatePool& operator=(const DeflatePool&) = delete;

  // Queues a file of the given (expected) size; returns its ticket.
  std::size_t Add(std::string path, std::uint64_t size);
  // Queues one chunk of a large file (DeflateFileChunk); returns its ticket.
  std::size_t AddChunk(std::string path, std::uint64_t offset, std::uint64_t length, bool last);
  void Start();
  // Blocks until the job is done; each ticket may be taken once.
  DeflatedFile Take(std::size_t ticket);
  void Release(std::uint64_t bytes);

 private:
  struct Job {
    std::string path;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
    bool chunk = false;
    bool last = false;
    bool done = false;
    bool taken = false;
    DeflatedFile result;
  };
  std::size_t Queue(Job job);
  void Work();

  int level_;
  unsigned threadCount_;
  std::uint64_t budget_;
  std::deque<Job> jobs_;  // a job stays where it is while more are queued
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t nextToStart_ = 0;
  std::size_t nextToTake_ = 0;
  std::uint64_t inFlight_ = 0;
  bool stopping_ = false;
};

}  // namespace kx
