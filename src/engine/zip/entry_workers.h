#pragma once
// EntryWorkers: runs the data work of test and extract (reading, inflating,
// checking, writing a temporary file) for several entries at once on worker
// threads, while the action's own thread does everything else in entry order:
// names, folders, questions, renames and every event.
//
// Work is queued with Submit and runs in that order as threads come free;
// Wait blocks until one job is done and, while it waits, calls onTick about
// every tick so that progress and cancel keep their rhythm. Tickets are
// waited for in the order they were given, each once. Stop tells the
// running jobs to end (their `stop` flag) and drops those not yet started,
// which then end with rc::Cancelled.
//
// Ownership: the object owns its threads and jobs; the destructor stops and
// joins them. Submit, Wait and Stop on the action's thread only.
#include <atomic>
#include <cstdint>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/result_codes.h"

namespace kx {

class EntryWorkers {
 public:
  using Job = std::function<Result(std::atomic<std::uint64_t>& done, const std::atomic<bool>& stop)>;

  explicit EntryWorkers(unsigned threads);
  ~EntryWorkers();
  EntryWorkers(const EntryWorkers&) = delete;
  EntryWorkers& operator=(const EntryWorkers&) = delete;

  std::size_t Submit(Job job);
  Result Wait(std::size_t ticket, std::chrono::milliseconds tick, const std::function<void()>& onTick);
  void Stop();
  // Plain bytes all jobs have handed on so far.
  std::uint64_t bytesDone() const { return done_.load(std::memory_order_relaxed); }

 private:
  struct Slot {
    Job job;
    bool finished = false;
    Result result = rc::Ok;
  };
  void Work();

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<Slot> slots_;        // by ticket, from firstTicket_ on
  std::size_t firstTicket_ = 0;
  std::size_t nextToRun_ = 0;     // ticket
  std::size_t waitingFor_ = SIZE_MAX;  // the ticket Wait sleeps on, the only one whose end wakes it
  unsigned idle_ = 0;             // workers waiting for a job
  bool quitting_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> done_{0};
};

}  // namespace kx
