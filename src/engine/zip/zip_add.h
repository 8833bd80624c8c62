#pragma once
// Action 2: adds the files of FileSpec to a single-file ZIP archive (creating
// it), crash-safe through UpdateSession. Calling thread; options from the
// KxZip given, events through its callbacks. Split sets give
// rc::NotWithMultiVolume; a failed or cancelled add leaves the archive as it was.
#include "engine/kxzip.h"
#include "engine/result_codes.h"

namespace kx {

Result AddFiles(KxZip& zip);

}  // namespace kx
