#pragma once
// Action 5: deletes the entries FileSpec names from a single-file ZIP
// archive, by copying byte ranges (FastDelete) when the layout allows, else
// through libzip; crash-safe either way. Calling thread; events through the
// KxZip's callbacks. Split sets give rc::NotWithMultiVolume.
#include "engine/kxzip.h"
#include "engine/result_codes.h"

namespace kx {

Result DeleteEntries(KxZip& zip);

}  // namespace kx
