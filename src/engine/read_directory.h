#pragma once
// Action 1: the directory of any archive kind IdentifyArchive knows (ZIP,
// split sets, LHA, ARJ, ZOO, ARC). Calling thread; reads its options from
// the KxZip it is given, reports through its callbacks, returns a result code.
#include "engine/entry.h"
#include "engine/kxzip.h"
#include "engine/result_codes.h"

namespace kx {

Result ReadDirectory(KxZip& zip, ArchiveDirectory& out);

}  // namespace kx
