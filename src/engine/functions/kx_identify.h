#pragma once
// The archive kind by content, never by the name's extension (kx_identify.cpp
// tells how each kind is recognised). Calling thread; the file is only read.
#include <cstdint>
#include <string>

#include "engine/result_codes.h"

namespace kx {

enum class ArchiveKind : std::int16_t {
  None = 0,
  Zip = 1,
  SplitFirst = 2,  // first volume (*.001) of a split ZIP set
  SplitLater = 3,  // a later volume (*.002, ...) of such a set
  Spanned = 4,     // a ZIP that begins with the spanning marker
  Lha = 5,
  Arj = 6,
  Zoo = 7,
  Arc = 8,
};

// rc::FileNotFound, another open failure, rc::UnknownArchiveType (kind None) or rc::Ok.
Result IdentifyArchive(const std::string& path, ArchiveKind& kind);

// Kinds 2 to 4: the parts of a split or spanned set, which no update may change.
bool IsSplitSetKind(ArchiveKind kind);

// The kinds as the 16-bit codes KxIdentifyFile reports.
namespace kind {
inline constexpr std::int16_t None = 0;
inline constexpr std::int16_t Zip = 1;
inline constexpr std::int16_t SplitFirst = 2;
inline constexpr std::int16_t SplitLater = 3;
inline constexpr std::int16_t Spanned = 4;
inline constexpr std::int16_t Lha = 5;
inline constexpr std::int16_t Arj = 6;
inline constexpr std::int16_t Zoo = 7;
inline constexpr std::int16_t Arc = 8;
}  // namespace kind

}  // namespace kx

// Decides the archive kind by content; kind is set to 0 when none fits.
std::int16_t KxIdentifyFile(const std::string& path, std::int16_t& kind);
