#pragma once
// The operations behind KxZip's actions and the quick functions. Each runs on
// the calling thread, reads its options from the KxZip it is given, reports
// through that KxZip's callbacks and returns a result code.
#include <string>
#include <vector>

#include "engine/entry.h"
#include "engine/kxzip.h"
#include "engine/result_codes.h"

namespace kx {

// Action 1 for every kind KxIdentifyFile knows (ZIP, split sets, LHA, ARJ, ZOO, ARC).
Result ReadDirectory(KxZip& zip, ArchiveDirectory& out);

// Actions 6 and 7 on ZIP archives and split sets. A name that was stripped
// or refused, a link not restored, a path blocked on disk or one entry's bad
// data is reported by a Progress event naming the entry (FileName) with the
// code in MsgType; the action goes on and returns the first such code
// (zip_extract.cpp lists them). Wrong password, full disk and cancel end it.
Result ExtractEntries(KxZip& zip);
Result TestEntries(KxZip& zip);

// Actions 2 and 5 on single-file ZIP archives (split sets give rc::NotWithMultiVolume).
Result AddFiles(KxZip& zip);
Result DeleteEntries(KxZip& zip);

// Replaces the archive comment without copying the entries; an equal comment
// writes nothing. Comments longer than 65,535 bytes are refused.
Result WriteArchiveComment(const std::string& archive, const std::string& comment);

// The file specification split into names: blanks separate, double quotes group.
std::vector<std::string> SplitFileSpec(const std::string& spec);

// Applies the switches of a quick function's option text (" -d -o -s geheim")
// to zip's options; rc::BadSwitch for a switch it does not know.
Result ApplyQuickOptions(const std::string& options, KxZip& zip);

}  // namespace kx
