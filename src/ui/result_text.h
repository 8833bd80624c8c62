#pragma once
// The words a user reads for an engine result code. Kept apart from the
// library proper, which only ever returns codes.
#include <cstdint>
#include <string>

namespace kx {

// The text for `code` (UTF-8); resets the caller's variable to 0 afterwards,
// so a second call with the same variable yields "No error".
std::string EngineResultText(std::int16_t& code);

}  // namespace kx
