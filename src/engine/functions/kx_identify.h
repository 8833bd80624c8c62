#pragma once
// KxIdentifyFile: the archive kind by content, never by the name's extension.
#include <cstdint>
#include <string>

#include "engine/result_codes.h"

// Archive kinds reported by KxIdentifyFile.
namespace kx::kind {
inline constexpr std::int16_t None = 0;
inline constexpr std::int16_t Zip = 1;
inline constexpr std::int16_t SplitFirst = 2;   // first volume (*.001) of a split ZIP set
inline constexpr std::int16_t SplitLater = 3;   // a later volume (*.002, ...) of such a set
inline constexpr std::int16_t Spanned = 4;      // a ZIP that begins with the spanning marker
inline constexpr std::int16_t Lha = 5;
inline constexpr std::int16_t Arj = 6;
inline constexpr std::int16_t Zoo = 7;
inline constexpr std::int16_t Arc = 8;
}  // namespace kx::kind

// Decides the archive kind by content. kind is set to 0 when none fits.
kx::Result KxIdentifyFile(const std::string& path, std::int16_t& kind);

namespace kx {
// Kinds 2 to 4: the parts of a split or spanned set, which no update may change.
bool IsSplitSetKind(std::int16_t kind);
}  // namespace kx
