#pragma once
// The per-format half of rewriting a DOS archive: what goes in front of the
// items, how kept items are copied (byte for byte, with only the fields the
// format needs changed), the header of a new member, and the end. The
// format-independent half (which items go, packing new files, the crash-safe
// replacement) is dos_update.cpp. Single thread; a false return means the
// output failed (ArchiveOut::error) or the source could not be read.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/dosarc/archive_out.h"
#include "engine/dosarc/dos_archive.h"

namespace kx::dosarc {

// A new member: its facts before packing (name, time, mode) and after
// (method, sizes, checksum).
struct NewMember {
  std::string storedName;     // code page 437, "/" between folders
  std::int64_t unixTime = 0;  // modification time, seconds since 1970 UTC
  std::uint32_t unixMode = 0644;
  std::uint16_t method = 0;
  std::uint64_t size = 0;
  std::uint64_t packed = 0;
  std::uint32_t crc = 0;
};

// Why a stored name cannot be written in a format.
enum class NameFit : std::uint8_t { Fits, TooLong, Empty };

class DosWriter {
 public:
  // existing: the archive being rewritten, or null for a new one.
  explicit DosWriter(const DosArchive* existing) : existing_(existing) {}
  virtual ~DosWriter() = default;

  virtual bool Begin(ArchiveOut& out) = 0;
  // Every item of the existing archive but the dropped ones (drop is indexed
  // like layout.items).
  virtual bool CopyItems(ArchiveOut& out, const std::vector<bool>& drop) = 0;
  // The bytes of a new member's header written at `at`, up to its data; the
  // same length whatever the sizes, so a placeholder can be patched later.
  virtual std::vector<std::uint8_t> MemberHeader(const NewMember& m, std::uint64_t at) const = 0;
  virtual bool End(ArchiveOut& out) = 0;
  // Whether a stored name (code page 437, "/" between folders) can be written.
  virtual NameFit CheckName(const std::string& storedName) const = 0;

 protected:
  const DosArchive* existing_;
};

// The writer of the kind; archiveFileName and now feed a new archive's header.
std::unique_ptr<DosWriter> MakeWriter(ArchiveKind kind, const DosArchive* existing, const std::string& archiveFileName,
                                      std::int64_t now);

// Helpers the writers share.
inline void PutLe16(std::vector<std::uint8_t>& b, std::uint32_t v) {
  b.push_back(std::uint8_t(v));
  b.push_back(std::uint8_t(v >> 8));
}
inline void PutLe32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  PutLe16(b, v & 0xffff);
  PutLe16(b, v >> 16);
}
inline void SetLe16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
}
inline void SetLe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  SetLe16(b, at, v & 0xffff);
  SetLe16(b, at + 2, v >> 16);
}

// Local DOS date (high 16 bits) and time (low 16 bits) of a Unix time,
// clamped to the years DOS can hold (1980 to 2107).
std::uint32_t DosStampOf(std::int64_t unixTime);

// "a/b/c.txt" -> "c.txt"; the folder part is what comes before.
std::string LeafOf(const std::string& storedName);
std::string FolderOf(const std::string& storedName);

}  // namespace kx::dosarc
