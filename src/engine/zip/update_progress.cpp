#include "engine/zip/update_progress.h"

#include <algorithm>
#include <cmath>

#include "engine/cancel.h"
#include "engine/io/vector_state.h"

namespace kx {
namespace {
constexpr std::uint64_t kReportEvery = 4u << 20;
}  // namespace

void UpdateProgress::AddEntry(std::string name, std::uint64_t weight) {
  names_.push_back(std::move(name));
  startOf_.push_back(total_);
  total_ += weight;
}

void UpdateProgress::Attach(zip_t* archive) {
  // A tiny precision: libzip then calls back at every entry and every block;
  // Advance passes on only changes of entry or percent.
  zip_register_progress_callback_with_state(archive, 1e-9, &UpdateProgress::OnProgress, nullptr, this);
  zip_register_cancel_callback_with_state(archive, &UpdateProgress::OnCancel, nullptr, this);
}

void UpdateProgress::OnProgress(zip_t*, double fraction, void* state) {
  static_cast<UpdateProgress*>(state)->Advance(fraction);
}

int UpdateProgress::OnCancel(zip_t*, void* state) {
  return static_cast<UpdateProgress*>(state)->CheckCancel() ? 1 : 0;
}

bool UpdateProgress::CheckCancel() {
  if (CancelRequested()) cancelled_ = true;
  return cancelled_;
}

void UpdateProgress::Report(const std::string& fileName, std::int16_t percent) {
  if (!zip_.Progress) return;
  ProgressEvent ev;
  ev.Operation = operation_;
  ev.Percent = percent;
  ev.ZipFile = zip_.ZipFile;
  ev.FileName = fileName;
  zip_.Report(ev);
  ClearUpperVectorState();  // the handler may have painted
}

void UpdateProgress::Advance(double fraction) {
  if (names_.empty()) return;
  const double n = static_cast<double>(names_.size());
  const double scaled = std::clamp(fraction, 0.0, 1.0) * n;
  const std::size_t entry = std::min(names_.size() - 1, static_cast<std::size_t>(scaled));
  const double within = std::clamp(scaled - static_cast<double>(entry), 0.0, 1.0);
  const std::uint64_t weight = (entry + 1 < startOf_.size() ? startOf_[entry + 1] : total_) - startOf_[entry];
  Emit(entry, static_cast<double>(startOf_[entry]) + within * static_cast<double>(weight));
}

bool UpdateProgress::InsideEntry(std::size_t entry, std::uint64_t bytesDone) {
  if (entry < names_.size()) {
    const std::uint64_t end = entry + 1 < startOf_.size() ? startOf_[entry + 1] : total_;
    Emit(entry, static_cast<double>(std::min(startOf_[entry] + bytesDone, end)));
  }
  return !CheckCancel();
}

void UpdateProgress::Emit(std::size_t entry, double done) {
  // libzip's own fraction and the byte count of a streamed entry arrive
  // interleaved and do not agree exactly; the bar only ever moves forward.
  done = std::max(done, highestDone_);
  highestDone_ = done;
  const int percent = total_ == 0 ? 100 : static_cast<int>(std::floor(done * 100.0 / static_cast<double>(total_)));
  // Within one huge entry a percent can be many megabytes; report at least every few.
  const bool farOn = done - lastDone_ >= static_cast<double>(kReportEvery);
  if (entry == lastEntry_ && percent == lastPercent_ && !farOn) return;
  lastEntry_ = entry;
  lastPercent_ = percent;
  lastDone_ = done;
  Report(names_[entry], static_cast<std::int16_t>(std::clamp(percent, 0, 100)));
}

}  // namespace kx
