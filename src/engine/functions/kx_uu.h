#pragma once
// The library's UU functions for the windows: thin wrappers over uu/uucode.h.
#include <cstdint>
#include <string>

#include "engine/result_codes.h"

// Encodes `source` into `target`; `out` receives the size of the file written.
std::int16_t KxUUEncode(const std::string& source, const std::string& target, std::int32_t reserved1,
                      std::int32_t reserved2, std::int32_t& out);
std::int16_t KxUUDecode(const std::string& source, const std::string& targetFolder);
