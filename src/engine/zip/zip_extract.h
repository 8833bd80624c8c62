#pragma once
// Actions 6 and 7 on ZIP archives and split sets. Calling thread; options
// from the KxZip given, events through its callbacks. A name that was stripped
// or refused, a link not restored, a path blocked on disk or one entry's bad
// data is reported by a Progress event naming the entry (FileName) with the
// code in MsgType; the action goes on and returns the first such code
// (zip_extract.cpp lists them). Wrong password, full disk and cancel end it.
#include "engine/kxzip.h"
#include "engine/result_codes.h"

namespace kx {

Result ExtractEntries(KxZip& zip);
Result TestEntries(KxZip& zip);

}  // namespace kx
