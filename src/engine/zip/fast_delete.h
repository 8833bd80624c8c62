#pragma once
// FastDelete: deletes entries from a ZIP archive by copying the byte ranges of
// the entries that stay (local header, packed data, data descriptor) into a
// new file and writing a central directory of the old records with their
// local header offsets moved. Nothing is decompressed, recompressed or
// rebuilt, so the kept entries come out byte for byte; the kernel copies the
// ranges (copy_file_range), which is what makes this fast. libzip, the other
// way to delete, reads and writes every kept entry through its own layers.
//
// Only archives whose whole layout is understood are taken: entries back to
// back in directory order from offset 0 up to the central directory, each
// span confirmed by its local header and data descriptor, each local header
// agreeing with its central record (name, method, flags, time, checksum and
// sizes), the directory, the Zip64 records and the end record adjoining,
// every entry on disk 0 and no other end record where libzip searches for
// one: so libzip would read the same entries. Names are the ones every
// operation decides (zip_entry_name.h), so a selection matches the same
// entries either way. Anything else (a self-extractor stub, gaps, overlaps,
// entries out of order, masked headers, an end record inside an entry's
// data) makes Open or CheckLayout answer false, and the caller deletes
// through libzip instead.
//
// New bytes go to a temporary file beside the archive (replace_file.h), which
// is flushed and renamed over the archive only when it is complete. A cancel,
// a failed write or a full disk removes the temporary file; the archive stays
// byte for byte as it was.
//
// Ownership: the object owns a read descriptor of the archive for its
// lifetime. Calling thread only; Write calls the progress handler on it.
// Failures are engine result codes.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/io/code_page.h"
#include "engine/result_codes.h"
#include "engine/zip/zip_central_dir.h"
#include "engine/zip/update_progress.h"

namespace kx {

class FastDelete {
 public:
  explicit FastDelete(std::string resolvedPath);
  ~FastDelete();
  FastDelete(const FastDelete&) = delete;
  FastDelete& operator=(const FastDelete&) = delete;

  // Reads the end records and the central directory, naming the entries in
  // the code page names. false when the archive cannot be read this way or
  // is not one this class takes.
  bool Open(CodePage names = CodePage::Automatic);

  std::size_t count() const { return entries_.size(); }
  // The entry's one name (zip_entry_name.h).
  const std::string& name(std::size_t i) const { return entries_[i].name; }
  std::uint64_t packedSize(std::size_t i) const { return entries_[i].packedSize; }

  // Reads every local header (and data descriptor) and checks that the
  // entries lie back to back in directory order from offset 0 up to the
  // directory, each local header agreeing with its central record. false
  // when they do not.
  bool CheckLayout();

  // Writes the archive without the entries marked in drop (one flag per
  // entry, after CheckLayout) and puts it in place of the old one. progress
  // holds the kept entries in directory order. Anything but rc::Ok leaves
  // the archive as it was.
  Result Write(const std::vector<bool>& drop, UpdateProgress& progress);

 private:
  struct Entry {
    std::string name;
    std::uint64_t localOffset = 0;
    std::uint64_t packedSize = 0;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    std::size_t recordAt = 0;       // the central record within directory_
    std::size_t recordLength = 0;
    std::size_t offsetFieldAt = 0;  // where its local header offset is stored, within directory_
    bool wideOffset = false;        // that field is the 64-bit one of the Zip64 extra field
  };

  bool CheckTail(std::uint64_t endRecordOffset, std::size_t commentLength);
  bool OnlyEndRecord(std::uint64_t endRecordOffset) const;
  bool TakeRecords(std::vector<CdRecord>& records, CodePage names);
  std::uint64_t SpanEnd(std::size_t i) const;
  bool ReadAt(std::uint64_t offset, void* out, std::size_t n) const;
  std::string DirectoryWithNewOffsets(const std::vector<bool>& drop, const std::vector<std::uint64_t>& newOffset) const;
  std::string EndRecords(std::uint64_t entries, std::uint64_t directoryOffset, std::uint64_t directorySize) const;

  std::string path_;
  int fd_ = -1;
  std::uint64_t fileSize_ = 0;
  std::uint64_t directoryOffset_ = 0;
  std::uint64_t tailStart_ = 0;         // where the Zip64 or plain end record begins
  std::string directory_;  // the raw central directory
  std::string comment_;    // the raw archive comment
  std::vector<Entry> entries_;
};

}  // namespace kx
