#pragma once
// The names of the stored settings that the settings dialog reads and writes,
// so that a misspelt key does not compile. The store itself is
// settings_store.h; every key here lives in the section "Startup".
#include <array>

namespace kx::key {

inline constexpr const char* Startup = "Startup";

inline constexpr const char* TargetFolder = "Standartpfad";
inline constexpr const char* ViewerInstalled = "Schnellansicht Installiert";
inline constexpr const char* IntegratedViewer = "Integrierten Viewer";
inline constexpr const char* ExternalViewer = "Externer Viewer";

// The packer paths, by the packer index of the settings page: 0 ARJ, 1 ARC,
// 2 LHA, 3 ZOO.
inline constexpr std::array<const char*, 4> ExPacker = {"ExPackerARJ", "ExPackerARC", "ExPackerLHA",
                                                        "ExPackerZOO"};

}  // namespace kx::key
