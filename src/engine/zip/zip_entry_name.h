#pragma once
// The one name of each ZIP entry. Listing shows it, testing and extraction
// judge and write it (CleanEntryName), deletion selects by it and an add
// replaces the entry of that name: every operation asks here, so a name
// seen in the list is the name every operation means. In this order:
//   - general-purpose bit 11 set: the header name as UTF-8 (the reader
//     refuses the archive when those bytes are not UTF-8);
//   - bit 11 clear and an Info-ZIP Unicode-path field (0x7075, version 1)
//     whose CRC matches the header name and whose name is valid UTF-8 and
//     not empty: the field's name (a stale field, CRC mismatch, is ignored);
//   - a code page chosen for the archive: the header name in that page;
//   - automatic: made on Unix or macOS and the header name valid UTF-8:
//     that name (Info-ZIP's zip on Linux stores UTF-8 without the flag when
//     it finds no UTF-8 locale of its own; the peers read it as UTF-8);
//   - else the header name read as code page 437 (DOS archives).
// The archive comment has no flag: valid UTF-8 is kept, anything else is
// read in the chosen page (code page 437 when automatic).
//
// An EntryNamer holds a CodePageDecoder: one namer per thread. Failures of
// DecideNames are engine result codes.
#include <string>
#include <vector>

#include "engine/io/byte_source.h"
#include "engine/io/code_page.h"
#include "engine/result_codes.h"
#include "engine/zip/zip_central_dir.h"

namespace kx {

class EntryNamer {
 public:
  explicit EntryNamer(CodePage page);

  // With take, the header's name bytes may be moved out of rec.
  std::string NameOf(CdRecord& rec, bool take = false);
  std::string CommentOf(const std::string& raw);

 private:
  CodePage page_;
  CodePageDecoder decoder_;
};

// The names of the archive's entries in directory order, read by our own
// parse of the central directory in src.
Result DecideNames(const ByteSource& src, CodePage page, std::vector<std::string>& names);

}  // namespace kx
