#pragma once
// Every word kxpack prints: the usage, what happened to an entry, the names
// of the archive kinds and methods. Pure functions.
#include <cstdint>
#include <string>

#include "engine/dosarc/dos_problem.h"
#include "engine/functions/kx_identify.h"

namespace kxpack {

extern const char* const kUsage;

// What a report says, e.g. "CRC-Fehler"; errno detail appended where there is one.
std::string ProblemText(const kx::dosarc::Report& report);

// "ARJ", "ARC", "LHA", "ZOO".
const char* KindName(kx::ArchiveKind kind);

// A method as the list shows it: "-lh5-", "arj 1", "crunched", "gespeichert".
std::string MethodLabel(kx::ArchiveKind kind, std::uint16_t method, bool isFolder);

}  // namespace kxpack
