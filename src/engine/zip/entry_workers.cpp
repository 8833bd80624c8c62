#include "engine/zip/entry_workers.h"

namespace kx {

EntryWorkers::EntryWorkers(unsigned threads) {
  for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

EntryWorkers::~EntryWorkers() {
  Stop();
  {
    std::lock_guard lock(mutex_);
    quitting_ = true;
  }
  queued_.notify_all();
  for (auto& t : threads_) t.join();
}

std::size_t EntryWorkers::Submit(Job job) {
  std::size_t ticket = 0;
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    slots_.push_back(Slot{std::move(job)});
    ticket = firstTicket_ + slots_.size() - 1;
    wake = idle_ > 0;
  }
  // Waking a thread costs more than a small entry's work: only an idle one.
  if (wake) queued_.notify_one();
  return ticket;
}

void EntryWorkers::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_;
    queued_.wait(lock, [&] { return quitting_ || nextToRun_ < firstTicket_ + slots_.size(); });
    --idle_;
    if (quitting_) return;
    const std::size_t ticket = nextToRun_++;
    Job job = std::move(slots_[ticket - firstTicket_].job);
    lock.unlock();
    const Result r = stop_.load() ? rc::Cancelled : job(done_, stop_);
    job = nullptr;  // whatever the job holds goes before the action hears of it
    lock.lock();
    Slot& slot = slots_[ticket - firstTicket_];
    slot.result = r;
    slot.finished = true;
    if (ticket == waitingFor_) finished_.notify_one();
  }
}

Result EntryWorkers::Wait(std::size_t ticket, std::chrono::milliseconds tick, const std::function<void()>& onTick) {
  std::unique_lock lock(mutex_);
  if (ticket < firstTicket_ || ticket >= firstTicket_ + slots_.size()) return rc::ArchiveError;
  waitingFor_ = ticket;
  while (!finished_.wait_for(lock, tick, [&] { return slots_[ticket - firstTicket_].finished; })) {
    lock.unlock();
    if (onTick) onTick();
    lock.lock();
  }
  waitingFor_ = SIZE_MAX;
  const Result r = slots_[ticket - firstTicket_].result;
  // Finished slots at the front are no longer needed.
  while (!slots_.empty() && slots_.front().finished && firstTicket_ <= ticket) {
    slots_.pop_front();
    ++firstTicket_;
  }
  return r;
}

void EntryWorkers::Stop() { stop_.store(true); }

}  // namespace kx
