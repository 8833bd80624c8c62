#pragma once
// Changing the archive comment in place. The comment sits at the very end of
// a ZIP, in the end-of-central-directory record, so a new comment needs no
// copy of the entries: only that record is rewritten. Cost is the same for a
// small and a huge archive.
//
// Crash safety by a journal beside the archive (".<name>.kxtmp-journal"):
//   1. the complete new record goes into the journal, which is flushed;
//   2. the record is overwritten in place, the file cut to its new end, flushed;
//   3. the journal is deleted.
// A kill before 1 is complete leaves the archive untouched (an incomplete
// journal fails its checksum and is dropped); a kill after 1 leaves a journal
// that RecoverCommentJournal rolls forward at the next open or update. Between
// the overwrite and the cut a shorter comment leaves old comment bytes after
// the new record; readers take the record's length and still see all entries.
//
// Plain functions on the calling thread; results are engine result codes.
#include <cstdint>
#include <string>

#include "engine/result_codes.h"

namespace kx {

struct EndRecordLocation {
  std::uint64_t offset = 0;      // where the record starts
  std::uint64_t fileSize = 0;
  std::string comment;           // the stored comment bytes
};

// Finds the end record of the ZIP at fd: the last signature whose record and
// comment fit in the file, preferring one that ends exactly at the end.
// rc::UnknownArchiveType when there is none.
Result FindEndRecord(int fd, EndRecordLocation& out);

std::string CommentJournalPath(const std::string& resolvedArchive);

// One comment change, in the three steps above (exposed so that tests can stop between them).
struct CommentChange {
  std::string archive;           // resolved path
  EndRecordLocation old;
  std::uint32_t oldTailCrc = 0;  // CRC-32 of the bytes from the record to the old end
  std::string newTail;           // the new record with its comment
};
Result PlanCommentChange(const std::string& resolvedArchive, const std::string& comment, CommentChange& out);
Result WriteCommentJournal(const CommentChange& change);
Result ApplyCommentChange(const CommentChange& change);   // steps 2 and 3

// Replaces the archive comment without copying the entries; an equal comment
// writes nothing. Comments longer than 65,535 bytes are refused.
Result WriteArchiveComment(const std::string& archive, const std::string& comment);

// Rolls a leftover journal forward when it is complete and belongs to the
// archive as it now is; drops it otherwise. rc::Ok also when there is none.
Result RecoverCommentJournal(const std::string& resolvedArchive);

}  // namespace kx
