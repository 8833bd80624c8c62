#pragma once
// Result codes of every engine function: 0 success, negative codes for the
// engine's own failures, a few positive codes for system failures. The text a
// user reads for each code belongs to the windows, not to the engine.
#include <cstdint>
#include <iosfwd>

namespace kx {

// Inside the engine a result is a Result; the 16-bit code is what crosses
// the boundary (KxZip's events and LastResult, the Kx... functions).
enum class Result : std::int16_t {
  Ok = 0,
  UnknownArchiveType = -1,
  ArchiveError = -2,
  UnknownMethod = -3,
  Cancelled = -4,
  NoFiles = -7,
  PartiallyDone = -8,
  BadSwitch = -9,
  DiskFull = -10,
  ReadPastEnd = -11,
  BadOffset = -12,
  Overflow = -18,
  NoAction = -19,
  ConflictingSwitches = -20,
  TooManyFiles = -21,
  BadDate = -22,
  BadFileMode = -23,
  WrongPassword = -24,
  CrcError = -25,
  NotWithMultiVolume = -26,
  FileNotFound = 102,
  PathNotFound = 103,
  AccessDenied = 105,
  InvalidHandle = 106,
  OutOfMemory = 108,
};

// The members under a short name, as the code reads them: rc::Ok.
namespace rc {
inline constexpr Result Ok = Result::Ok;
inline constexpr Result UnknownArchiveType = Result::UnknownArchiveType;
inline constexpr Result ArchiveError = Result::ArchiveError;
inline constexpr Result UnknownMethod = Result::UnknownMethod;
inline constexpr Result Cancelled = Result::Cancelled;
inline constexpr Result NoFiles = Result::NoFiles;
inline constexpr Result PartiallyDone = Result::PartiallyDone;
inline constexpr Result BadSwitch = Result::BadSwitch;
inline constexpr Result DiskFull = Result::DiskFull;
inline constexpr Result ReadPastEnd = Result::ReadPastEnd;
inline constexpr Result BadOffset = Result::BadOffset;
inline constexpr Result Overflow = Result::Overflow;
inline constexpr Result NoAction = Result::NoAction;
inline constexpr Result ConflictingSwitches = Result::ConflictingSwitches;
inline constexpr Result TooManyFiles = Result::TooManyFiles;
inline constexpr Result BadDate = Result::BadDate;
inline constexpr Result BadFileMode = Result::BadFileMode;
inline constexpr Result WrongPassword = Result::WrongPassword;
inline constexpr Result CrcError = Result::CrcError;
inline constexpr Result NotWithMultiVolume = Result::NotWithMultiVolume;
inline constexpr Result FileNotFound = Result::FileNotFound;
inline constexpr Result PathNotFound = Result::PathNotFound;
inline constexpr Result AccessDenied = Result::AccessDenied;
inline constexpr Result InvalidHandle = Result::InvalidHandle;
inline constexpr Result OutOfMemory = Result::OutOfMemory;
}  // namespace rc

constexpr std::int16_t Code(Result r) { return static_cast<std::int16_t>(r); }
constexpr Result ResultOf(std::int16_t code) { return static_cast<Result>(code); }
// A 16-bit code from the boundary compared with a result.
constexpr bool operator==(std::int16_t code, Result r) { return code == Code(r); }

// For test output and logs: the code as a number.
std::ostream& operator<<(std::ostream& out, Result r);

// The one mapping of system and libzip failures to result codes. An errno
// the table does not know gives `otherwise`; a libzip error without a code
// of its own gives the errno behind it, or rc::ArchiveError.
Result ResultFromErrno(int err, Result otherwise = rc::ArchiveError);
Result ResultFromZipError(int zipError, int sysErrno);

}  // namespace kx
