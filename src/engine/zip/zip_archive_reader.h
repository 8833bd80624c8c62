#pragma once
// ZipArchiveReader: a ZIP archive opened for reading, a single file or a
// split set (name.001, name.002, ...), with its entry table decoded and
// checked once, so that listing, testing and extracting all see the same
// names and the same verdicts.
//
// Open does, in this order:
//   - finishes a comment change an earlier crash left half done;
//   - opens the file (or the split set, asking through zip.Prompt kind 1 for a
//     missing volume) read-only with libzip;
//   - decides every entry's one name (zip_entry_name.h says how: the UTF-8
//     flag, Info-ZIP's Unicode-path field, the chosen code page or else the
//     host and code page 437),
//     cleans it with CleanEntryName and keeps the verdict per entry;
//   - when checkSafety is set, refuses the archive (rc::ArchiveError) if
//     entries' data overlap or run past the end, or two entries share a
//     cleaned name; problem() then says which entry or volume.
// Entries whose names are refused stay in the table with clean.usable() false.
//
// libzip reads through the same ByteSource our own parse read (one open
// descriptor per file, MakeZipSource of zip_sources.h, for single files
// and split sets alike), so a file swapped on disk between the two reads
// cannot show libzip other bytes than the ones the checks judged.
//
// Ownership: the reader owns the zip_t, the file and the split set; handle()
// is valid until the reader is destroyed. One reader serves one thread; a second
// thread opens its own reader on the same path.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <zip.h>

#include "engine/io/byte_source.h"
#include "engine/io/code_page.h"
#include "engine/entry.h"
#include "engine/kxzip.h"
#include "engine/result_codes.h"
#include "engine/io/safe_paths.h"

namespace kx {

class SplitSet;
struct CentralDirectory;

struct ZipEntryRecord {
  zip_uint64_t index = 0;        // libzip's index
  EntryInfo info;                // as listing shows it (info.name is the decoded name)
  std::string rawName;           // the header's name bytes (info.name may come from 0x7075)
  CleanName clean;               // the path extraction may write, or the refusal
  std::uint32_t unixMode = 0;    // st_mode bits when made on Unix, else 0
  bool isSymlink = false;
  std::uint16_t encryptionMethod = 0;  // ZIP_EM_NONE, ZIP_EM_TRAD_PKWARE, ZIP_EM_AES_*
  std::uint64_t dataOffset = 0;  // local header offset
  std::uint64_t dataStart = 0;   // first byte of the data after the local header; 0 until the safety check
};

class ZipArchiveReader {
 public:
  ZipArchiveReader();
  ~ZipArchiveReader();
  ZipArchiveReader(const ZipArchiveReader&) = delete;
  ZipArchiveReader& operator=(const ZipArchiveReader&) = delete;

  // Opens zip.ZipFile; prompts go to zip.Prompt (may be empty: then a
  // missing volume ends the open with an error).
  Result Open(KxZip& zip, bool checkSafety);

  // Action 1's way in: the directory as stored, names decided as Open
  // decides them, read by our own parser alone. No libzip, no name check,
  // no span check (listing writes nothing and refuses nothing); entries()
  // stays empty and handle() null, so nothing can extract through it.
  Result List(KxZip& zip, ArchiveDirectory& out);

  zip_t* handle() const { return za_; }
  // The bytes the archive was read from (pread only: any thread may read).
  const ByteSource& source() const { return *src_; }
  const std::vector<ZipEntryRecord>& entries() const { return entries_; }
  const std::string& comment() const { return comment_; }   // UTF-8
  bool isSplitSet() const { return split_ != nullptr; }
  // What an error of Open is about: an entry name or a volume's path.
  const std::string& problem() const { return problem_; }
  // Tells zip the error r of Open in an event naming problem(); nothing when
  // there is no name to give (the action's end event says it then).
  void ReportProblem(KxZip& zip, std::int16_t operation, Result r) const;

 private:
  // The single file or the split set of zip.ZipFile (a comment change an
  // earlier crash left half done is finished first); src points into *this.
  Result OpenSource(KxZip& zip, const ByteSource*& src);
  // Our own parse of the directory; names the volume of a split set that
  // fails it. Refuses a name flagged UTF-8 that is not (naming the entry).
  Result Parse(const ByteSource& src, CentralDirectory& cd);
  // Parse's verdict on a reading that gave `parsed`; badUtf8 is the first
  // name flagged UTF-8 that is not (empty for none).
  Result ParseResult(const ByteSource& src, const CentralDirectory& cd, Result parsed, const std::string& badUtf8);
  // Parses the directory from src, opens libzip on the same bytes and builds
  // the entry table; path_ is the single file's path (unused for split sets).
  Result Load(const ByteSource& src, CodePage page, bool checkSafety);

  // Refuses overlapping spans and duplicate cleaned names; sets problem_.
  Result CheckSafety(const ByteSource& src, const CentralDirectory& cd);

  std::string path_;
  zip_t* za_ = nullptr;
  // The bytes libzip reads: the single file or the split set. The
  // destructor discards za_ first, so both outlive it.
  std::unique_ptr<FileSource> file_;
  std::unique_ptr<SplitSet> split_;
  const ByteSource* src_ = nullptr;  // file_ or split_
  std::vector<ZipEntryRecord> entries_;
  std::string comment_;
  std::string problem_;
};

// True when an entry name matches one of the patterns ("*", "?" wildcards;
// "*.*" and an empty list match all). Patterns without "/" match the last
// component too, so "*.txt" finds docs/a.txt. A pattern ending in "/" (a
// folder row of the listing) matches the folder and everything below it.
// Case matters, as it does for the names on disk.
bool MatchesFileSpec(const std::string& entryName, const std::vector<std::string>& patterns);

}  // namespace kx
