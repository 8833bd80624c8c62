#pragma once
// The switch grammar of the quick functions (quick_options.cpp lists the
// switches) and the file specification's names. Pure functions, any thread.
#include <string>
#include <vector>

#include "engine/kxzip.h"
#include "engine/result_codes.h"

namespace kx {

// The file specification split into names: blanks separate, double quotes group.
std::vector<std::string> SplitFileSpec(const std::string& spec);

// Applies the switches of a quick function's option text (" -d -o -s geheim")
// to zip's options; rc::BadSwitch for a switch it does not know.
Result ApplyQuickOptions(const std::string& options, KxZip& zip);

}  // namespace kx
