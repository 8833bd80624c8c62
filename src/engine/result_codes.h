#pragma once
// Result codes of every engine function: 0 success, negative codes for the
// engine's own failures, a few positive codes for system failures. The text a
// user reads for each code belongs to the windows, not to the engine.
#include <cstdint>

namespace kx {

using Result = std::int16_t;

namespace rc {
inline constexpr Result Ok = 0;
inline constexpr Result UnknownArchiveType = -1;
inline constexpr Result ArchiveError = -2;
inline constexpr Result UnknownMethod = -3;
inline constexpr Result Cancelled = -4;
inline constexpr Result NoFiles = -7;
inline constexpr Result PartiallyDone = -8;
inline constexpr Result BadSwitch = -9;
inline constexpr Result DiskFull = -10;
inline constexpr Result ReadPastEnd = -11;
inline constexpr Result BadOffset = -12;
inline constexpr Result Overflow = -18;
inline constexpr Result NoAction = -19;
inline constexpr Result ConflictingSwitches = -20;
inline constexpr Result TooManyFiles = -21;
inline constexpr Result BadDate = -22;
inline constexpr Result BadFileMode = -23;
inline constexpr Result WrongPassword = -24;
inline constexpr Result CrcError = -25;
inline constexpr Result NotWithMultiVolume = -26;
inline constexpr Result FileNotFound = 102;
inline constexpr Result PathNotFound = 103;
inline constexpr Result AccessDenied = 105;
inline constexpr Result InvalidHandle = 106;
inline constexpr Result OutOfMemory = 108;
}  // namespace rc

// The one mapping of system and libzip failures to result codes. An errno
// the table does not know gives `otherwise`; a libzip error without a code
// of its own gives the errno behind it, or rc::ArchiveError.
Result ResultFromErrno(int err, Result otherwise = rc::ArchiveError);
Result ResultFromZipError(int zipError, int sysErrno);

}  // namespace kx
