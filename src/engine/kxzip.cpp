// KxZip: runs one operation per SetAction and keeps the directory of the
// last listing for the entry getters.
#include "engine/kxzip.h"

#include <algorithm>
#include <limits>

#include "engine/cancel.h"
#include "engine/read_directory.h"
#include "engine/zip/zip_add.h"
#include "engine/zip/zip_comment.h"
#include "engine/zip/zip_delete.h"
#include "engine/zip/zip_extract.h"

namespace kx {
namespace {

std::int32_t ClampToInt32(std::uint64_t value) {
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(value > kMax ? kMax : value);
}

}  // namespace

KxZip::KxZip() = default;
KxZip::~KxZip() = default;

void KxZip::SetAction(std::int16_t code) {
  if (code == action::None) return;
  action_ = code;
  told_.clear();
  ClearCancel();
  lastResult_ = EngineEnabled ? runAction(code) : rc::NoAction;
  action_ = action::None;
  const bool told = std::find(told_.begin(), told_.end(), lastResult_) != told_.end();
  if (lastResult_ != rc::Ok && !told) tell(code, lastResult_);
}

void KxZip::tell(std::int16_t operation, Result result) {
  if (!Progress) return;
  ProgressEvent event;
  event.Operation = operation;
  event.MsgType = Code(result);
  event.ZipFile = ZipFile;
  Progress(event);
}

void KxZip::Report(ProgressEvent& event) {
  // Noted before the handler runs: it may clear MsgType once it has shown the error.
  if (event.MsgType != rc::Ok) told_.push_back(ResultOf(event.MsgType));
  if (Progress) Progress(event);
}

Result KxZip::runAction(std::int16_t code) {
  switch (code) {
    case action::ReadDirectory: {
      ArchiveDirectory fresh;
      const Result r = ReadDirectory(*this, fresh);
      directory_ = std::move(fresh);
      comment_ = directory_.comment;
      entryIndex_ = 0;
      return r;
    }
    case action::Add: return AddFiles(*this);
    case action::Delete: return DeleteEntries(*this);
    case action::Extract: return ExtractEntries(*this);
    case action::Test: return TestEntries(*this);
    default: return rc::NoAction;
  }
}

void KxZip::SetZipComment(const std::string& comment) {
  if (comment == comment_) return;
  lastResult_ = WriteArchiveComment(ZipFile, comment);
  if (lastResult_ == rc::Ok) {
    comment_ = comment;
    directory_.comment = comment;
  } else {
    tell(action::None, lastResult_);
  }
}

const EntryInfo* KxZip::Entry() const {
  if (entryIndex_ < 0 || static_cast<std::size_t>(entryIndex_) >= directory_.entries.size()) return nullptr;
  return &directory_.entries[static_cast<std::size_t>(entryIndex_)];
}

std::string KxZip::EntryName() const { return Entry() ? Entry()->name : std::string(); }
std::string KxZip::EntryDate() const { return Entry() ? FormatDate(Entry()->modified) : std::string(); }
std::string KxZip::EntryTime() const { return Entry() ? FormatTime(Entry()->modified) : std::string(); }
std::int32_t KxZip::EntrySize() const { return Entry() ? ClampToInt32(Entry()->size) : 0; }
std::int32_t KxZip::EntryPackedSize() const { return Entry() ? ClampToInt32(Entry()->packedSize) : 0; }
std::int32_t KxZip::EntryCrc() const { return Entry() ? static_cast<std::int32_t>(Entry()->crc) : 0; }
std::int16_t KxZip::EntryAttributes() const {
  return Entry() ? static_cast<std::int16_t>(Entry()->attributes & 0xffff) : 0;
}
bool KxZip::EntryEncrypted() const { return Entry() && Entry()->encrypted; }

}  // namespace kx
