#pragma once
// UpdateProgress: the progress events and the cancel check of one update.
// libzip reports progress during zip_close as a fraction of the entries it has
// written (plus a fraction within the current one); knowing the entries in
// output order and their byte weights, this turns that into the engine's
// event: the entry being written and the share of all bytes, one event per
// entry and per percent. The cancel check asks CancelRequested(), which a
// Progress handler sets through KxCancel.
//
// Ownership: the object belongs to the running operation and must outlive
// zip_close/zip_discard of the archive it is attached to; it holds the KxZip by
// reference. Thread: libzip calls both callbacks on the thread running
// zip_close, which is the caller's; so Progress runs on the calling thread only.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <zip.h>

#include "engine/kxzip.h"

namespace kx {

class UpdateProgress {
 public:
  UpdateProgress(KxZip& zip, std::int16_t operation) : zip_(zip), operation_(operation) {}

  // Entries in the order libzip writes them (index order of those that remain).
  void AddEntry(std::string name, std::uint64_t weight);
  void Attach(zip_t* archive);

  // Bytes read so far of the entry at output position `entry` (for sources
  // that stream big files); false when the action is to be cancelled.
  bool InsideEntry(std::size_t entry, std::uint64_t bytesDone);
  // An event outside zip_close (for example one per deleted entry).
  void Report(const std::string& fileName, std::int16_t percent);
  // Asks the cancel switch; remembers a positive answer.
  bool CheckCancel();
  bool cancelled() const { return cancelled_; }

 private:
  static void OnProgress(zip_t*, double fraction, void* state);
  static int OnCancel(zip_t*, void* state);
  void Advance(double fraction);
  void Emit(std::size_t entry, double doneBytes);

  KxZip& zip_;
  std::int16_t operation_;
  std::vector<std::string> names_;
  std::vector<std::uint64_t> startOf_;  // bytes before each entry
  std::uint64_t total_ = 0;
  std::size_t lastEntry_ = SIZE_MAX;
  int lastPercent_ = -1;
  double lastDone_ = 0;
  double highestDone_ = 0;
  bool cancelled_ = false;
};

}  // namespace kx
