#pragma once
// The engine's plain functions: quick extraction and creation for the command
// line, archive identification, the comment handle, UU coding and cancel.
// Every function runs on the calling thread and returns a result code.
#include <cstdint>
#include <string>

#include "engine/cancel.h"
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

// Creates or updates `archive` from `files` (names or patterns, blank-separated).
kx::Result KxQZip(const std::string& archive, const std::string& files, const std::string& options);
// Extracts `files` (default all) of `archive` into `folder`.
kx::Result KxQUnZip(const std::string& archive, const std::string& folder, const std::string& files,
                    const std::string& options);
// Decides the archive kind by content. kind is set to 0 when none fits.
kx::Result KxIdentifyFile(const std::string& path, std::int16_t& kind);

void KxSetCPrint(std::int16_t mode);
std::int16_t KxGetCPrint();

using KxHandle = std::intptr_t;
kx::Result KxZipOpen(const std::string& archive, std::int32_t mode, KxHandle& handle);
kx::Result KxZipNewComment(KxHandle handle, const std::string& comment);
kx::Result KxZipClose(KxHandle& handle);

// Compression ratio in percent (0 when size is 0): saved share of size.
std::int16_t KxZipPercent(std::uint64_t size, std::uint64_t packedSize);

kx::Result KxUUEncode(const std::string& source, const std::string& target, std::int32_t reserved1,
                      std::int32_t reserved2, std::int32_t& out);
kx::Result KxUUDecode(const std::string& source, const std::string& targetFolder);
